// Console text and the names it shows: the UTF-16 round trip of Windows
// names, the decision to keep a console window open, and (on Windows) the
// Japanese texts as a console shows them.
#include "console.h"

#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "widepath.h"

namespace {

TEST(Console, WaitsOnlyInAConsoleOfItsOwn) {
  EXPECT_TRUE(stampo::shouldwait(1, true));    // started from Explorer
  EXPECT_FALSE(stampo::shouldwait(2, true));   // from a command prompt, which shares it
  EXPECT_FALSE(stampo::shouldwait(1, false));  // input redirected: no key to read
  EXPECT_FALSE(stampo::shouldwait(0, false));  // no console at all
}

TEST(WidePath, EveryWindowsNameSurvivesTheRoundTrip) {
  const std::u16string names[] = {
      u"r\u00E4ksm\u00F6rg\u00E5s_\uD55C\uAE00.html",
      u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u2713.html",
      u"\U0001F4BF disc.html",                      // beyond the 16-bit plane: a surrogate pair
      std::u16string(u"lone ") + char16_t(0xD800),  // Windows allows unpaired surrogates
      std::u16string(1, char16_t(0xDC00)) + u"x",
  };
  for (const std::u16string& name : names) EXPECT_EQ(stampo::toutf16(stampo::toutf8(name)), name);
  EXPECT_EQ(stampo::toutf8(u"\u00E4\U0001F4BF"), "\xC3\xA4\xF0\x9F\x92\xBF");
  // Bytes that are no UTF-8: each becomes U+FFFD, and nothing is read
  // beyond the end.
  EXPECT_EQ(stampo::toutf16("\xFF"
                            "a\xC3"),
            u"\uFFFDa\uFFFD");
  EXPECT_EQ(stampo::toutf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // an overlong '/'
}

#ifdef _WIN32
TEST(Console, JapaneseTextsReadRightOnAnyCodePage) {
  EXPECT_EQ(stampo::fromsjis(stampo::kUsageJa),
            L"\u4F7F\u3044\u65B9 : \u30D7\u30ED\u30B0\u30E9\u30E0\u672C\u4F53\u306Bhtml"
            L"\u30D5\u30A1\u30A4\u30EB\u3092\u30C9\u30ED\u30C3\u30D7\u3057\u3066\u304F\u3060"
            L"\u3055\u3044\u3002\n");
  EXPECT_EQ(stampo::fromsjis(stampo::kNoMarker),
            L"Plextools Professional\u3067\u51FA\u529B\u3055\u308C\u3066\u306A\u3044\u3067\u3059"
            L"\u3002\n");
  EXPECT_EQ(stampo::fromsjis(stampo::kCloseJa),
            L"Enter\u30AD\u30FC\u3092\u62BC\u3059\u3068\u9589\u3058\u307E\u3059\u3002\n");
}
#endif

}  // namespace

// Console text and the names it shows: the UTF-16 round trip of Windows
// names, the decision to keep a console window open, and (on Windows) the
// Japanese texts as a console shows them.
#include "console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "file.h"
#include "texts.h"
#include "widepath.h"

namespace {

// Shift_JIS bytes as UTF-16, through the system's own converter.
std::u16string fromsjis(const std::string& sjis) {
#ifdef _WIN32
  std::wstring wide(sjis.size(), L'\0');
  wide.resize(std::size_t(
      MultiByteToWideChar(932, 0, sjis.data(), int(sjis.size()), &wide[0], int(wide.size()))));
  return std::u16string(wide.begin(), wide.end());
#else
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == iconv_t(-1)) return u"(no CP932 converter)";
  std::string in = sjis, out(sjis.size() * 4, '\0');
  char* from = &in[0];
  char* to = &out[0];
  std::size_t left = in.size(), room = out.size();
  iconv(cd, &from, &left, &to, &room);
  iconv_close(cd);
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < out.size() - room; i += 2)
    wide += char16_t(std::uint8_t(out[i]) | std::uint8_t(out[i + 1]) << 8);
  return wide;
#endif
}

TEST(Console, WaitsOnlyForAPersonAtAConsoleOfItsOwn) {
  EXPECT_TRUE(stampo::shouldwait(1, true, true));     // started from Explorer
  EXPECT_FALSE(stampo::shouldwait(2, true, true));    // from a command prompt, which shares it
  EXPECT_FALSE(stampo::shouldwait(1, false, true));   // input redirected: no key to read
  EXPECT_FALSE(stampo::shouldwait(1, true, false));   // output redirected: no one sees a prompt
  EXPECT_FALSE(stampo::shouldwait(0, false, false));  // no console at all
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

// Every text of the table: both spellings of each Japanese text say the
// same, every spelling has a place for each argument, a text written alike
// in every language is ASCII with one spelling, and no text is empty.
TEST(Console, EveryTextHasTheSameWordsInEverySpelling) {
  using namespace stampo;
  const auto places = [](const std::string& t) { return std::count(t.begin(), t.end(), '\x01'); };
  int texts = 0;
  for (const TextEntry& t : kAllTexts) {
    SCOPED_TRACE(t.name);
    ++texts;
    const Message& ja = t.said != nullptr ? t.said->ja : *t.message;
    EXPECT_FALSE(std::string(ja.utf8).empty());
    EXPECT_EQ(fromsjis(ja.sjis), toutf16(ja.utf8));
    EXPECT_EQ(places(ja.sjis), places(ja.utf8));
    if (t.said == nullptr) continue;
    const std::string en = t.said->en;
    EXPECT_EQ(places(en), places(ja.utf8));
    EXPECT_TRUE(std::all_of(en.begin(), en.end(), [](char c) { return c > 0 && c < 0x7F; }));
    if (en == ja.utf8) {  // written alike in every language
      EXPECT_EQ(en, ja.sjis);
    }
  }
  EXPECT_GT(texts, 90);
}

// Names in the order a file manager shows them: numbers by their value,
// case ignored.
TEST(Names, ComeInExplorersOrder) {
  std::vector<std::string> names = {"disc10.html", "Disc2.html", "disc1.html", "disc02b.html",
                                    "b.html",      "A.html",     "disc2a.html"};
  stampo::sortnames(names);
  const std::vector<std::string> want = {"A.html",      "b.html",       "disc1.html",
                                         "Disc2.html",  "disc2a.html",  "disc02b.html",
                                         "disc10.html"};
  EXPECT_EQ(names, want);
}

}  // namespace

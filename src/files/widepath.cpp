#include "widepath.h"

namespace stampo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool ishigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool islow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void pututf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | c >> 18);
    out += char(0x80 | (c >> 12 & 0x3F));
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string toutf8(const std::u16string& wide) {
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (ishigh(c) && i + 1 < wide.size() && islow(wide[i + 1]))
      c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(wide[++i]) - 0xDC00);
    pututf8(out, c);  // a lone surrogate goes out as its own three bytes
  }
  return out;
}

std::u16string toutf16(const std::string& utf8) {
  std::u16string out;
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    // The sequence's length and the smallest code point it may encode.
    const int length = b < 0x80                ? 1
                       : b >= 0xC2 && b < 0xE0 ? 2
                       : b >= 0xE0 && b < 0xF0 ? 3
                       : b >= 0xF0 && b < 0xF5 ? 4
                                               : 0;
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    bool valid = length != 0 && i + std::size_t(length) <= n;
    for (int k = 1; valid && k < length; ++k) {
      const unsigned char t = static_cast<unsigned char>(utf8[i + std::size_t(k)]);
      valid = (t & 0xC0) == 0x80;
      c = c << 6 | (t & 0x3F);
    }
    if (!valid || c < kLeast[length] || c > 0x10FFFF) {
      out += char16_t(kReplacement);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
    i += std::size_t(length);
  }
  return out;
}

}  // namespace stampo

#include "decimal.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace stampo {
namespace {

bool isblank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isdigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipblanks(const std::string& s, std::size_t i) {
  while (i < s.size() && isblank(s[i])) ++i;
  return i;
}

std::size_t skipdigits(const std::string& s, std::size_t i) {
  while (i < s.size() && isdigit(s[i])) ++i;
  return i;
}

}  // namespace

std::int32_t parseint(const std::string& text) {
  std::size_t i = skipblanks(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && isdigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) magnitude = kLimit;  // saturated; stays put
  }
  if (negative) return std::int32_t(-magnitude);
  return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max() : std::int32_t(magnitude);
}

double parsereal(const std::string& text) {
  const std::size_t start = skipblanks(text, 0);
  std::size_t i = start;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t intdigits = i;
  i = skipdigits(text, i);
  std::size_t ndigits = i - intdigits;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = i + 1;
    i = skipdigits(text, fraction);
    ndigits += i - fraction;
  }
  if (ndigits == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && isdigit(text[e])) i = skipdigits(text, e);
  }
  // Only plain decimal notation reaches strtod, so no platform's extras
  // (hexadecimal, "inf", "nan") can make the result differ.
  const std::string number = text.substr(start, i - start);
  return std::strtod(number.c_str(), nullptr);
}

float tofloat(double value) {
  constexpr double kMax = 0x1.fffffep127;       // the largest float, 2^128 - 2^104
  constexpr double kInfinite = 0x1.ffffffp127;  // half a step above: 2^128 - 2^103
  constexpr float kInf = std::numeric_limits<float>::infinity();
  if (value >= kInfinite) return kInf;
  if (value <= -kInfinite) return -kInf;
  if (value > kMax) return float(kMax);
  if (value < -kMax) return float(-kMax);
  return float(value);  // in range (or NaN): defined
}

std::string fixed2(double value) {
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isnan(value)) return sign + "nan";
  if (std::isinf(value)) return sign + "inf";
  // Exact: the binary value rounded to two decimals, ties to even, as the
  // C standard asks of printf, and the same on every platform.
  char text[320];  // the largest double has 309 integer digits
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, r.ptr);
}

}  // namespace stampo

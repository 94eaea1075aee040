#include "decimal.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

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

// Decimal digits of a non-negative integer held as base-10^9 limbs,
// least significant first.
std::string limbstext(const std::vector<std::uint32_t>& limbs) {
  std::string text = std::to_string(limbs.back());
  for (std::size_t i = limbs.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(limbs[i]);
    text.append(9 - part.size(), '0').append(part);
  }
  return text;
}

}  // namespace

std::int32_t textint(const std::string& text) {
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

double textreal(const std::string& text) {
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

  // value = mantissa * 2^exponent exactly, with a 53-bit mantissa; then
  // value * 100 = mantissa * 100 * 2^exponent, where mantissa * 100 < 2^60.
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(value), &exponent);
  const std::uint64_t scaled = std::uint64_t(std::ldexp(fraction, 53)) * 100;
  exponent -= 53;

  std::vector<std::uint32_t> limbs;  // value * 100, rounded to an integer
  if (exponent >= 0) {
    for (std::uint64_t v = scaled; v != 0; v /= 1000000000)
      limbs.push_back(std::uint32_t(v % 1000000000));
    for (int k = 0; k < exponent; ++k) {
      std::uint32_t carry = 0;
      for (std::uint32_t& limb : limbs) {
        const std::uint32_t doubled = limb * 2 + carry;
        carry = doubled >= 1000000000 ? 1 : 0;
        limb = doubled - carry * 1000000000;
      }
      if (carry != 0) limbs.push_back(carry);
    }
  } else {
    const int shift = -exponent;
    std::uint64_t whole = 0;
    if (shift < 64) {
      whole = scaled >> shift;
      const std::uint64_t rest = scaled & ((std::uint64_t(1) << shift) - 1);
      const std::uint64_t half = std::uint64_t(1) << (shift - 1);
      if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
    }  // else value * 100 < 2^60 / 2^64 rounds to 0
    for (std::uint64_t v = whole; v != 0; v /= 1000000000)
      limbs.push_back(std::uint32_t(v % 1000000000));
  }
  if (limbs.empty()) limbs.push_back(0);

  std::string digits = limbstext(limbs);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  digits.insert(digits.size() - 2, 1, '.');
  return sign + digits;
}

}  // namespace stampo

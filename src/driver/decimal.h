#pragma once
// Decimal text of the report figures, in and out. The conversions behave
// like the C library's atoi and atof, but the same on every platform:
// plain decimal notation only, and integers saturate at the 32-bit limits
// instead of overflowing.
#include <cstdint>
#include <string>

namespace stampo {

// Leading white space, an optional sign, then digits; stops at the first
// other byte. No digits gives 0; out of range gives INT32_MAX or INT32_MIN.
std::int32_t parseint(const std::string& text);

// Leading white space, an optional sign, digits with an optional point,
// then an optional exponent; stops at the first other byte. No digits
// gives 0. Correctly rounded to double.
double parsereal(const std::string& text);

// The double as the nearest float, as IEEE arithmetic narrows it: beyond
// the largest float by half a step or more it becomes infinity.
float tofloat(double value);

// The value rounded to two decimals as "%.2f" prints it under the C
// standard: the exact binary value rounded to nearest, ties to even
// ("inf", "nan" with a sign where negative).
std::string fixed2(double value);

}  // namespace stampo

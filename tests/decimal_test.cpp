// Figure text conversions and the console's two-decimal format.
#include "decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using stampo::fixed2;
using stampo::parseint;
using stampo::parsereal;

TEST(TextInt, StopsAtTheFirstNonDigitAndSaturates) {
  EXPECT_EQ(parseint("1,234"), 1);
  EXPECT_EQ(parseint(" \t-42x"), -42);
  EXPECT_EQ(parseint("+7"), 7);
  EXPECT_EQ(parseint(""), 0);
  EXPECT_EQ(parseint("- 5"), 0);
  EXPECT_EQ(parseint("2147483647"), 2147483647);
  EXPECT_EQ(parseint("2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(parseint("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(parseint("-99999999999999999999999"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(parseint("00000000000000000000012"), 12);
}

TEST(TextReal, PlainDecimalNotationOnly) {
  EXPECT_EQ(parsereal("12.34"), 12.34);
  EXPECT_EQ(parsereal(" .5e1x"), 5.0);
  EXPECT_EQ(parsereal("3e"), 3.0);
  EXPECT_EQ(parsereal("-2.E+2"), -200.0);
  EXPECT_EQ(parsereal("."), 0.0);
  EXPECT_EQ(parsereal("inf"), 0.0);
  EXPECT_EQ(parsereal("nan"), 0.0);
  EXPECT_EQ(parsereal("0x10"), 0.0);
  EXPECT_TRUE(std::isinf(parsereal("1e999")));
}

// Exactly the C library's blanks are skipped (space, and tab to carriage
// return), and exactly '0' to '9' are digits: the bytes on either side of
// each range end a figure.
TEST(FigureText, BlanksAndDigitsAreExactlyTheCLibrarys) {
  for (const char* blank : {" ", "\t", "\n", "\v", "\f", "\r"}) {
    EXPECT_EQ(parseint(std::string(blank) + "7"), 7) << int(blank[0]);
    EXPECT_EQ(parsereal(std::string(blank) + "1.5"), 1.5) << int(blank[0]);
  }
  for (const char* notblank : {"\x08", "\x0E", "\x1F", "!"}) {
    EXPECT_EQ(parseint(std::string(notblank) + "7"), 0) << int(notblank[0]);
    EXPECT_EQ(parsereal(std::string(notblank) + "1.5"), 0.0) << int(notblank[0]);
  }
  EXPECT_EQ(parseint("09"), 9);
  EXPECT_EQ(parseint("90/1"), 90);  // '/' and ':' sit beside the digits
  EXPECT_EQ(parseint("90:1"), 90);
  EXPECT_EQ(parseint("/9"), 0);
  EXPECT_EQ(parsereal("9.09"), 9.09);
  EXPECT_EQ(parsereal("0.9/1"), 0.9);
  EXPECT_EQ(parsereal("9:1"), 9.0);
  EXPECT_EQ(parsereal(":9"), 0.0);
  EXPECT_EQ(parsereal("1.5e9/"), 1.5e9);
}

TEST(TextReal, RoundsCorrectlyOnEveryPlatform) {
  EXPECT_EQ(parsereal("9007199254740993"), 9007199254740992.0);  // tie: to even
  EXPECT_EQ(parsereal("1.00000000000000011102230246251565404236316680908203125"), 1.0);
  EXPECT_EQ(parsereal("1.00000000000000011102230246251565404236316680908203126"), 1.0 + 0x1p-52);
  EXPECT_EQ(parsereal("0.285"), 0.285);
}

TEST(ToFloat, NarrowsLikeIeeeWithoutOverflow) {
  EXPECT_EQ(stampo::tofloat(0.285), 0.285f);
  EXPECT_EQ(stampo::tofloat(0x1.fffffe8p127), std::numeric_limits<float>::max());
  EXPECT_TRUE(std::isinf(stampo::tofloat(0x1.ffffffp127)));
  EXPECT_TRUE(std::isinf(stampo::tofloat(-1e300)));
}

TEST(Fixed2, RoundsTheExactValueTiesToEven) {
  EXPECT_EQ(fixed2(0.285f), "0.28");  // 0.284999996...
  EXPECT_EQ(fixed2(0.29f), "0.29");
  EXPECT_EQ(fixed2(9.999f), "10.00");
  EXPECT_EQ(fixed2(0.125), "0.12");  // exact halves go to the even digit
  EXPECT_EQ(fixed2(0.375), "0.38");
  EXPECT_EQ(fixed2(2.625), "2.62");
  EXPECT_EQ(fixed2(0.0), "0.00");
  EXPECT_EQ(fixed2(0.005), "0.01");  // 0.005000000000000000104...
  EXPECT_EQ(fixed2(1e-300), "0.00");
  EXPECT_EQ(fixed2(-0.0), "-0.00");
  EXPECT_EQ(fixed2(-1.5), "-1.50");
  EXPECT_EQ(fixed2(1e30f), "1000000015047466219876688855040.00");
  EXPECT_EQ(fixed2(std::numeric_limits<float>::infinity()), "inf");
  EXPECT_EQ(fixed2(-std::numeric_limits<float>::infinity()), "-inf");
}

}  // namespace

#include "table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "band.h"

namespace stampo {
namespace {

constexpr int kGridLeft = 30;
constexpr int kGridRight = 437;
constexpr int kGridColumns[] = {30, 31, 132, 233, 334, 335, 436, 437};

constexpr int kPitch = DigitFont::kWidth;  // pen advance after a digit
constexpr int kPointWidth = 3;             // columns of the point glyph copied
constexpr int kPointAdvance = 4;

// A figure's integer cell: its centre column and how many digits it was
// made for. The leading digit at that count is the value divided by its
// weight, without a remainder, so a larger value gives an index with no
// glyph rather than a wrong digit.
struct IntCell {
  int centre;
  int maxdigits;
};
constexpr IntCell kMaximumCell = {183, 4};
constexpr IntCell kTotalCell = {284, 8};
constexpr IntCell kPofCell = {385, 5};
constexpr int kAverageCentre = 81;

void putdigit(PlaneCanvas& canvas, const DigitFont& font, int digit, int x) {
  putglyph(canvas, font, digit, x, kFigureTop, DigitFont::kWidth);
}

// A digit held in a double: its glyph index, or -1 where it names no glyph.
int glyphof(double d) { return d >= 0 && d <= 9 ? int(d) : -1; }

// The average as a decimal: the shortest one that reads back as the same
// float, so the figure the report gave ("0.29") is drawn as given rather
// than as its binary neighbour (0.28999999). Decimals beyond the second
// are cut, never rounded: 3.138 draws 3.13.
void drawdecimal(PlaneCanvas& canvas, const DigitFont& font, float average) {
  char text[64];  // the longest fixed text of a float below 10000 is 50 bytes
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, std::fabs(average), std::chars_format::fixed);
  const char* point = std::find(text, r.ptr, '.');
  const int whole = int(point - text);  // 1 to 4 integer digits
  const int n = whole + 3;              // characters: digits, point, two decimals
  int x = kAverageCentre - (kPitch * n - kPitch) / 2;
  for (const char* c = text; c != point; ++c, x += kPitch) putdigit(canvas, font, *c - '0', x);
  putglyph(canvas, font, DigitFont::kPoint, x, kFigureTop, kPointWidth);
  x += kPointAdvance;
  for (int k = 1; k <= 2; ++k, x += kPitch)
    putdigit(canvas, font, point + k < r.ptr ? point[k] - '0' : 0, x);
}

void drawaverage(PlaneCanvas& canvas, const DigitFont& font, float average) {
  if (average >= 0 && average < 10000) return drawdecimal(canvas, font, average);
  // Averages the cell was not made for (negative, 10000 or more, not a
  // finite number) are drawn from the binary value, digit by digit; a
  // digit without a glyph shows as a white box.
  const double a = average;
  const int n = a >= 1000 ? 7 : a >= 100 ? 6 : a >= 10 ? 5 : 4;  // characters
  int x = kAverageCentre - (kPitch * n - kPitch) / 2;
  const double whole = std::trunc(a);
  auto place = [&](double digit) {
    putdigit(canvas, font, glyphof(digit), x);
    x += kPitch;
  };
  if (n == 7) place(std::trunc(whole / 1000));
  if (n >= 6) place(std::trunc(std::fmod(whole, 1000) / 100));
  if (n >= 5) place(std::trunc(std::fmod(whole, 100) / 10));
  place(std::fmod(whole, 10));
  putglyph(canvas, font, DigitFont::kPoint, x, kFigureTop, kPointWidth);
  x += kPointAdvance;
  // Times 10 and times 100 are exact in double, so these decimals are cut
  // from the value itself.
  place(std::fmod(std::trunc(a * 10), 10));
  place(std::fmod(std::trunc(a * 100), 10));
}

void drawinteger(PlaneCanvas& canvas, const DigitFont& font, const IntCell& cell,
                 std::int32_t value) {
  std::int32_t weights[9] = {1};
  for (int j = 1; j < 9; ++j) weights[j] = weights[j - 1] * 10;
  int k = 1;
  for (int m = cell.maxdigits; m > 1; --m) {
    if (value / weights[m - 1] > 0) {
      k = m;
      break;
    }
  }
  int x = cell.centre - kPitch * k / 2;
  for (int j = k - 1; j >= 0; --j, x += kPitch) {
    const std::int32_t digit =
        j == cell.maxdigits - 1 ? value / weights[j] : value % weights[j + 1] / weights[j];
    putdigit(canvas, font, digit >= 0 && digit <= 9 ? int(digit) : -1, x);
  }
}

}  // namespace

void drawgrid(PlaneCanvas& canvas) {
  // Column by column, all five lines at once: a column's band samples lie
  // together, where a line across the columns touches a new place in
  // memory at every pixel.
  for (int x = kGridLeft; x <= kGridRight; ++x)
    for (int y : kGridRows) canvas.set(x, y, kGridGrey);
  for (int x : kGridColumns) canvas.fill(x, x, kGridTop, kGridBottom, kGridGrey);
}

void drawfigures(PlaneCanvas& canvas, const DigitFont& font, const ScanSummary& summary) {
  drawaverage(canvas, font, summary.average);
  drawinteger(canvas, font, kMaximumCell, summary.maximum);
  drawinteger(canvas, font, kTotalCell, summary.total);
  drawinteger(canvas, font, kPofCell, summary.pof);
}

}  // namespace stampo

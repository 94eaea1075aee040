#include "table.h"

#include <cmath>

namespace stampo {
namespace {

constexpr int kGridLeft = 30;
constexpr int kGridRight = 437;
constexpr int kGridTop = 296;     // vertical lines run from here ...
constexpr int kGridBottom = 333;  // ... to here
constexpr int kGridRows[] = {295, 296, 314, 333, 334};
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

void drawaverage(PlaneCanvas& canvas, const DigitFont& font, float average) {
  // The float widened to double: times 10 and times 100 are then exact,
  // so the decimals are cut from the value itself, never rounded up.
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
  for (int y : kGridRows) canvas.fill(kGridLeft, kGridRight, y, y, kGridGrey);
  for (int x : kGridColumns) canvas.fill(x, x, kGridTop, kGridBottom, kGridGrey);
}

void drawfigures(PlaneCanvas& canvas, const DigitFont& font, const ScanSummary& summary) {
  drawaverage(canvas, font, summary.average);
  drawinteger(canvas, font, kMaximumCell, summary.maximum);
  drawinteger(canvas, font, kTotalCell, summary.total);
  drawinteger(canvas, font, kPofCell, summary.pof);
}

}  // namespace stampo

// The statistics band: digit font, grid, figures and labels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "canvas.h"
#include "digitfont.h"
#include "labels.h"
#include "modes.h"
#include "support/canvas.h"
#include "table.h"

namespace {

using stampo::DigitFont;
using stampo::PlaneCanvas;

DigitFont font() {
  DigitFont f;
  stampo::mkfont(f);
  return f;
}

// Black pixels of the red plane in a box (all planes are checked equal
// where that matters).
int blacks(const PlaneCanvas& c, int x0, int x1, int y0, int y1) {
  int n = 0;
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) n += fixtures::at(c, PlaneCanvas::kRed, x, y) == 0;
  return n;
}

// Which glyph (0-10), if any, lies in the 9 x 13 box at (x0, 317); -1 for
// a white box, -2 for anything else.
int glyphat(const PlaneCanvas& c, const DigitFont& f, int x0, int w = 9) {
  for (int g = -1; g < DigitFont::kGlyphs; ++g) {
    bool same = true;
    for (int u = 0; u < w && same; ++u)
      for (int v = 0; v < 13 && same; ++v)
        same = fixtures::at(c, PlaneCanvas::kGreen, x0 + u, 317 + v) ==
               (g < 0 ? 255 : f.cell(g, u, v));
    if (same) return g;
  }
  return -2;
}

TEST(DigitFont, GlyphsHaveTheirInkCountsAndWhiteBorders) {
  const DigitFont f = font();
  const int ink[] = {24, 14, 20, 23, 23, 26, 26, 16, 25, 26, 1};
  int all = 0;
  for (int g = 0; g < DigitFont::kGlyphs; ++g) {
    int n = 0;
    for (int u = 0; u < 9; ++u) {
      for (int v = 0; v < 13; ++v) {
        const int cell = f.cell(g, u, v);
        ASSERT_TRUE(cell == 0 || cell == 255);
        if (u == 0 || u == 8 || v == 0 || v == 12) {
          EXPECT_EQ(cell, 255) << g;
        }
        n += cell == 0;
      }
    }
    EXPECT_EQ(n, ink[g]) << "glyph " << g;
    all += n;
  }
  EXPECT_EQ(all, 224);
  EXPECT_EQ(f.cell(DigitFont::kPoint, 1, 11), 0);  // on the digits' baseline
}

TEST(PutGlyph, IsOpaqueOverItsBoxOnly) {
  const DigitFont f = font();
  PlaneCanvas c;
  c.fill(100, 120, 10, 30, 0);
  stampo::putglyph(c, f, 8, 101, 11, 9);
  EXPECT_EQ(blacks(c, 101, 109, 11, 23), 25);
  for (int p = PlaneCanvas::kRed; p <= PlaneCanvas::kBlue; ++p)
    for (int u = 0; u < 9; ++u)
      for (int v = 0; v < 13; ++v)
        EXPECT_EQ(fixtures::at(c, PlaneCanvas::Plane(p), 101 + u, 11 + v), f.cell(8, u, v));
  EXPECT_EQ(blacks(c, 100, 120, 10, 30), 21 * 21 - 117 + 25);  // nothing else changed

  stampo::putglyph(c, f, DigitFont::kPoint, 110, 11, 3);  // three columns only
  EXPECT_EQ(blacks(c, 110, 112, 11, 23), 1);
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kBlue, 111, 22), 0);
  EXPECT_EQ(blacks(c, 113, 113, 11, 23), 13);  // column x0 + 3 untouched

  stampo::putglyph(c, f, 11, 114, 11, 9);  // no such glyph: a white box
  EXPECT_EQ(blacks(c, 114, 120, 11, 23), 0);
  EXPECT_EQ(blacks(c, 114, 120, 24, 30), 7 * 7);
}

TEST(Grid, LinesAreGreyAndCellsAreClear) {
  PlaneCanvas c;
  stampo::drawgrid(c);
  int grey = 0;
  for (int x = 0; x < PlaneCanvas::kColumns; ++x)
    for (int y = 280; y < PlaneCanvas::kRows; ++y)
      grey += fixtures::at(c, PlaneCanvas::kBlue, x, y) == 178;
  EXPECT_EQ(grey, 5 * 408 + 8 * 38 - 8 * 3);  // crossings counted once
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, 132, 333), 178);
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, 132, 334), 178);
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, 132, 335), 255);
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, 29, 295), 255);
}

struct Figures {
  float average;
  std::int32_t maximum, total, pof;
};

PlaneCanvas drawn(const Figures& s, const DigitFont& f) {
  PlaneCanvas c;
  c.fill(0, 467, 300, 339, 0);  // black, so every written box shows
  stampo::ScanSummary summary;
  summary.average = s.average;
  summary.maximum = s.maximum;
  summary.total = s.total;
  summary.pof = s.pof;
  stampo::drawfigures(c, f, summary);
  return c;
}

// The glyphs from column x0 at a pitch of 9, as text; a point glyph is
// three columns wide and advances 4.
std::string readglyphs(const PlaneCanvas& c, const DigitFont& f, int x0, int count) {
  std::string s;
  for (int x = x0; count-- > 0;) {
    if (glyphat(c, f, x, 3) == DigitFont::kPoint && glyphat(c, f, x) != 1) {
      s += '.';
      x += 4;
      continue;
    }
    const int g = glyphat(c, f, x);
    s += g >= 0 ? char('0' + g) : g == -1 ? '_' : '?';
    x += 9;
  }
  return s;
}

TEST(Figures, AverageIsTruncatedAndCentred) {
  const DigitFont f = font();
  struct Case {
    float average;
    int x0;
    const char* text;
  } cases[] = {
      // the report's decimal, cut after two places
      {0.0f, 68, "0.00"},        {0.29f, 68, "0.29"},     {9.999f, 68, "9.99"},
      {12.5f, 63, "12.50"},      {123.45f, 59, "123.45"}, {1234.56f, 54, "1234.56"},
      {9999.99f, 54, "9999.99"}, {0.285f, 68, "0.28"},    {3.138f, 68, "3.13"},
      {0.059f, 68, "0.05"},      {16.15f, 63, "16.15"},   {1e-7f, 68, "0.00"},
  };
  for (const Case& k : cases) {
    const PlaneCanvas c = drawn({k.average, 0, 0, 0}, f);
    const std::string text = k.text;
    EXPECT_EQ(readglyphs(c, f, k.x0, int(text.size())), text) << k.average;
    EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, k.x0 - 1, 320), 0) << "starts at " << k.x0;
  }
  // Every two-decimal average a report can give below 20 is drawn as given.
  PlaneCanvas sweep;
  for (int i = 0; i < 2000; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "%d.%02d", i / 100, i % 100);
    stampo::ScanSummary summary;
    summary.average = std::strtof(text, nullptr);
    stampo::drawfigures(sweep, f, summary);
    ASSERT_EQ(readglyphs(sweep, f, i < 1000 ? 68 : 63, i < 1000 ? 4 : 5), text);
  }
  const PlaneCanvas c = drawn({1234.56f, 0, 0, 0}, f);
  EXPECT_EQ(glyphat(c, f, 90, 3), DigitFont::kPoint);
  EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, 112, 320), 0);  // last glyph ends at 111
}

TEST(Figures, IntegersAreCentredByDigitCount) {
  const DigitFont f = font();
  struct Case {
    std::int32_t value;
    int maximum, total, pof;  // start column in each cell, 0 where not made for
  } cases[] = {
      {0, 179, 280, 381},   {7, 179, 280, 381},    {10, 174, 275, 376},
      {456, 170, 271, 372}, {4567, 165, 266, 367}, {99999, 0, 262, 363},
      {123456, 0, 257, 0},  {1234567, 0, 253, 0},  {12345678, 0, 248, 0},
  };
  for (const Case& k : cases) {
    const PlaneCanvas c = drawn({0, k.value, k.value, k.value}, f);
    const std::string text = std::to_string(k.value);
    const int n = int(text.size());
    if (k.maximum) {
      EXPECT_EQ(readglyphs(c, f, k.maximum, n), text) << "maximum " << k.value;
    }
    EXPECT_EQ(readglyphs(c, f, k.total, n), text) << "total " << k.value;
    if (k.pof) {
      EXPECT_EQ(readglyphs(c, f, k.pof, n), text) << "POF " << k.value;
    }
    EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, k.total - 1, 320), 0);
    EXPECT_EQ(fixtures::at(c, PlaneCanvas::kRed, k.total + 9 * n, 320), 0);
  }
}

TEST(Figures, OutOfRangeValuesDrawBlanksForMissingGlyphs) {
  const DigitFont f = font();
  const float inf = std::numeric_limits<float>::infinity();
  // The leading digit at the cap weight is the quotient: 12 has no glyph.
  EXPECT_EQ(readglyphs(drawn({0, 12345, 0, 0}, f), f, 165, 4), "_345");
  EXPECT_EQ(readglyphs(drawn({0, 0, 0, 123456}, f), f, 363, 5), "_3456");
  EXPECT_EQ(readglyphs(drawn({0, 0, 2147483647, 0}, f), f, 248, 8), "_7483647");
  // Negative values have one digit, the remainder: -7 has none, -10 is 0.
  EXPECT_EQ(readglyphs(drawn({0, -7, 0, 0}, f), f, 179, 1), "_");
  EXPECT_EQ(readglyphs(drawn({0, 0, std::numeric_limits<std::int32_t>::min(), 0}, f), f, 280, 1),
            "_");
  EXPECT_EQ(readglyphs(drawn({0, 0, 0, -10}, f), f, 381, 1), "0");
  // 12345.67f is 12345.669921875.
  EXPECT_EQ(readglyphs(drawn({12345.67f, 0, 0, 0}, f), f, 54, 7), "_345.66");
  EXPECT_EQ(readglyphs(drawn({-1.5f, 0, 0, 0}, f), f, 68, 4), "_._0");
  EXPECT_EQ(readglyphs(drawn({inf, 0, 0, 0}, f), f, 54, 7), "____.__");
  EXPECT_EQ(readglyphs(drawn({std::nanf(""), 0, 0, 0}, f), f, 68, 4), "_.__");
  const std::string huge = readglyphs(drawn({3e38f, 0, 0, 0}, f), f, 54, 7);
  EXPECT_EQ(huge.substr(0, 1), "_");  // the thousands "digit" is a 35-digit number
  EXPECT_EQ(huge.substr(4, 1), ".");
  EXPECT_EQ(huge.find('?'), std::string::npos);
}

PlaneCanvas labelled(stampo::ScanMode mode) {
  PlaneCanvas c;
  stampo::putlabels(c, mode);
  return c;
}

TEST(Labels, EachSetHasItsInkInsideTheLabelRow) {
  EXPECT_EQ(blacks(labelled(stampo::ScanMode(1)), 0, 467, 0, 339), 501);
  EXPECT_EQ(blacks(labelled(stampo::ScanMode(1)), 0, 467, 300, 310), 501);
  EXPECT_EQ(blacks(labelled(stampo::ScanMode(2)), 0, 467, 300, 310), 483);
  EXPECT_EQ(blacks(labelled(stampo::ScanMode(0)), 0, 467, 0, 339), 0);
  EXPECT_EQ(blacks(labelled(stampo::kModeEnd), 0, 467, 0, 339), 0);
  EXPECT_EQ(blacks(labelled(stampo::ScanMode(-1)), 0, 467, 0, 339), 0);
  // Cell by cell: PIE Ave, Max, Total, POF; then the PIF set.
  const int cells[][2] = {{55, 105}, {156, 208}, {254, 312}, {373, 400}};
  const int pie[] = {131, 144, 150, 76}, pif[] = {125, 138, 144, 76};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(blacks(labelled(stampo::kModePie), cells[i][0], cells[i][1], 300, 310), pie[i]);
    EXPECT_EQ(blacks(labelled(stampo::kModePif), cells[i][0], cells[i][1], 300, 310), pif[i]);
  }
}

TEST(Labels, NeverMeetTheGridOrTheFigures) {
  const DigitFont f = font();
  for (const stampo::ModeRow& row : stampo::kModes) {
    const stampo::ScanMode mode = row.mode;
    SCOPED_TRACE(row.name);
    // Each label's ink stays in the label row, within its cell's walls.
    const PlaneCanvas alone = labelled(mode);
    const int walls[] = {31, 132, 233, 335, 436};
    for (int cell = 0; cell < 4; ++cell)
      EXPECT_EQ(blacks(alone, walls[cell] + 1, walls[cell + 1] - 1, 300, 310),
                blacks(alone, walls[cell] + 1, walls[cell + 1] - 1, 0, 339));
    EXPECT_EQ(blacks(alone, 0, 467, 300, 310), blacks(alone, 0, 467, 0, 339));
    PlaneCanvas c;
    stampo::drawgrid(c);
    stampo::ScanSummary s;
    s.average = 8888.88f, s.maximum = 8888, s.total = 88888888, s.pof = 88888;
    stampo::drawfigures(c, f, s);
    PlaneCanvas plain = c;
    stampo::putlabels(c, mode);
    for (int x = 0; x < PlaneCanvas::kColumns; ++x)
      for (int y = 0; y < PlaneCanvas::kRows; ++y)
        if (fixtures::at(c, PlaneCanvas::kRed, x, y) !=
            fixtures::at(plain, PlaneCanvas::kRed, x, y)) {
          ASSERT_EQ(fixtures::at(plain, PlaneCanvas::kRed, x, y), 255) << x << "," << y;
        }
  }
}

TEST(Labels, PieAndPifMaximumDifferOnlyInTheBottomBarOfE) {
  const PlaneCanvas pie = labelled(stampo::kModePie), pif = labelled(stampo::kModePif);
  int differ = 0;
  for (int x = 133; x <= 232; ++x)
    for (int y = 297; y <= 313; ++y)
      if (fixtures::at(pie, PlaneCanvas::kRed, x, y) !=
          fixtures::at(pif, PlaneCanvas::kRed, x, y)) {
        ++differ;
        EXPECT_EQ(y, 310);
        EXPECT_TRUE(x >= 171 && x <= 176) << x;
      }
  EXPECT_EQ(differ, 6);
}

}  // namespace

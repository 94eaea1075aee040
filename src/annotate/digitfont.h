#pragma once
// DigitFont: the band's only typeface, eleven 9 x 13 black-and-white
// glyphs, the digits 0 to 9 and then the decimal point (index 10).
// Columns 0 and 8 and rows 0 and 12 of every glyph are white, so glyphs
// set at a pitch of 9 columns never run into each other.
#include <array>
#include <cstdint>

#include "canvas.h"

namespace stampo {

struct DigitFont {
  static constexpr int kGlyphs = 11;
  static constexpr int kPoint = 10;  // index of the decimal point
  static constexpr int kWidth = 9;
  static constexpr int kHeight = 13;

  // Cell (g, u, v): glyph g, column u from the left, row v from the top,
  // stored glyph by glyph, column by column; 255 white, 0 black.
  std::array<std::uint8_t, kGlyphs * kWidth * kHeight> cells{};

  std::uint8_t cell(int g, int u, int v) const { return cells[(g * kWidth + u) * kHeight + v]; }
};

// Fills the font from its built-in drawings.
void mkfont(DigitFont& font);

// Copies columns 0 to w - 1 of glyph g, white cells too, into all three
// planes with its top-left cell at (x0, y0). An index with no glyph
// writes a white box of the same size instead.
void putglyph(PlaneCanvas& canvas, const DigitFont& font, int g, int x0, int y0, int w);

}  // namespace stampo

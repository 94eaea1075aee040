#include "digitfont.h"

namespace stampo {
namespace {

// One text line per glyph row, top row first; X is black, '.' white.
constexpr char kGlyphArt[DigitFont::kGlyphs][DigitFont::kWidth * DigitFont::kHeight + 1] = {
    // digit 0
    "........."
    "...XXX..."
    "..X...X.."
    ".X.....X."
    ".X.....X."
    ".X.....X."
    ".X.....X."
    ".X.....X."
    ".X.....X."
    ".X.....X."
    "..X...X.."
    "...XXX..."
    ".........",
    // digit 1
    "........."
    "....X...."
    "...XX...."
    "..XXX...."
    "....X...."
    "....X...."
    "....X...."
    "....X...."
    "....X...."
    "....X...."
    "....X...."
    "....X...."
    ".........",
    // digit 2
    "........."
    "...XX...."
    "..X..X..."
    ".X....X.."
    ".X....X.."
    "......X.."
    ".....X..."
    "....X...."
    "...X....."
    "..X......"
    ".X......."
    ".XXXXXX.."
    ".........",
    // digit 3
    "........."
    "..XXXX..."
    ".X....X.."
    ".X....X.."
    "......X.."
    "......X.."
    "....XX..."
    "......X.."
    ".X....X.."
    ".X....X.."
    ".X....X.."
    "..XXXX..."
    ".........",
    // digit 4
    "........."
    "......X.."
    ".....XX.."
    "....X.X.."
    "...X..X.."
    "...X..X.."
    "..X...X.."
    ".X....X.."
    ".XXXXXXX."
    "......X.."
    "......X.."
    "......X.."
    ".........",
    // digit 5
    "........."
    ".XXXXXX.."
    ".X......."
    ".X......."
    ".XXXXX..."
    ".X....X.."
    "......X.."
    "......X.."
    "......X.."
    ".X....X.."
    ".X....X.."
    "..XXXX..."
    ".........",
    // digit 6
    "........."
    "...XXX..."
    "..X...X.."
    ".X....X.."
    ".X......."
    ".X.XXX..."
    ".XX...X.."
    ".X....X.."
    ".X....X.."
    ".X....X.."
    "..X...X.."
    "...XXX..."
    ".........",
    // digit 7
    "........."
    ".XXXXXX.."
    "......X.."
    "......X.."
    ".....X..."
    ".....X..."
    ".....X..."
    "....X...."
    "....X...."
    "....X...."
    "...X....."
    "...X....."
    ".........",
    // digit 8
    "........."
    "...XXX..."
    "..X...X.."
    ".X.....X."
    ".X.....X."
    "..X...X.."
    "...XXX..."
    "..X...X.."
    ".X.....X."
    ".X.....X."
    "..X...X.."
    "...XXX..."
    ".........",
    // digit 9
    "........."
    "..XXX...."
    ".X...X..."
    ".X....X.."
    ".X....X.."
    ".X....X.."
    ".X...XX.."
    "..XXX.X.."
    "......X.."
    ".X....X.."
    ".X...X..."
    "..XXX...."
    ".........",
    // decimal point (index 10)
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    ".X......."
    ".........",
};

}  // namespace

void mkfont(DigitFont& font) {
  for (int g = 0; g < DigitFont::kGlyphs; ++g)
    for (int v = 0; v < DigitFont::kHeight; ++v)
      for (int u = 0; u < DigitFont::kWidth; ++u)
        font.cells[(g * DigitFont::kWidth + u) * DigitFont::kHeight + v] =
            kGlyphArt[g][v * DigitFont::kWidth + u] == 'X' ? 0 : 255;
}

void putglyph(PlaneCanvas& canvas, const DigitFont& font, int g, int x0, int y0, int w) {
  const bool known = g >= 0 && g < DigitFont::kGlyphs;
  for (int u = 0; u < w; ++u)
    for (int v = 0; v < DigitFont::kHeight; ++v)
      canvas.set(x0 + u, y0 + v, known ? font.cell(g, u, v) : 255);
}

}  // namespace stampo

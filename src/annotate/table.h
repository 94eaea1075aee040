#pragma once
// The statistics table under the graph: a grey grid of four cells and,
// in each cell's lower row, one figure set in the DigitFont and centred.
//
//   cell 1 (columns 32-131)   average, two decimals of its shortest decimal, cut
//   cell 2 (columns 133-232)  maximum
//   cell 3 (columns 234-333)  total
//   cell 4 (columns 336-435)  POF
#include <cstdint>

#include "canvas.h"
#include "digitfont.h"
#include "summary.h"

namespace stampo {

constexpr std::uint8_t kGridGrey = 178;

// Grey lines: rows 295, 296, 314, 333, 334 across columns 30 to 437, then
// columns 30, 31, 132, 233, 334, 335, 436, 437 down rows 296 to 333.
void drawgrid(PlaneCanvas& canvas);

// The four figures of the summary (its mode is the labels' business).
// Figures the cells were not made for (negative, too many digits, an
// average that is not a finite number) still draw every digit that has a
// glyph; one that has none becomes a white box of a digit's width.
void drawfigures(PlaneCanvas& canvas, const DigitFont& font, const ScanSummary& summary);

}  // namespace stampo

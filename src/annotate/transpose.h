#pragma once
// Moving pixels between the file's order (rows of blue, green, red bytes)
// and the canvas's (three planes, column by column). This is where the
// time of reading and writing a picture goes, so it works on bands of
// rows: each column then takes a run of adjacent samples, and with SSE2
// whole 16 x 16 blocks are turned at once.
#include <cstdint>

#include "canvas.h"

namespace stampo {

constexpr int kBandRows = 16;

// rows[k] (k < n <= 16) holds `pixels` pixels of picture row y0 + k.
void rowstocanvas(const std::uint8_t* const* rows, int n, int pixels, int y0, PlaneCanvas& canvas);

void canvastorows(const PlaneCanvas& canvas, int y0, int n, int pixels, std::uint8_t* const* rows);

}  // namespace stampo

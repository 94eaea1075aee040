#pragma once
// Moving pixels between the file's order (rows of blue, green, red bytes)
// and the canvas's (three planes, column by column).
#include <cstdint>

#include "canvas.h"

namespace stampo {

// rows[k] (k < n) holds `pixels` pixels of picture row y0 + k.
void rowstocanvas(const std::uint8_t* const* rows, int n, int pixels, int y0, PlaneCanvas& canvas);

void canvastorows(const PlaneCanvas& canvas, int y0, int n, int pixels, std::uint8_t* const* rows);

}  // namespace stampo

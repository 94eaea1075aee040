#pragma once
// New BMP files from a canvas, for the sample generator, the benchmarks
// and the tests: Stampo itself only ever rewrites pictures it was given.
#include <cstdint>
#include <vector>

#include "bmp.h"
#include "canvas.h"

namespace stampo {

// A plain header for a new W x H picture (72 dpi).
BmpHeader bmpnewheader(int width, int height);

// The header bytes followed by `rows` rows of the canvas (row rows - 1
// first), columns 0 to W.
void bmpencode(const BmpHeader& header, const PlaneCanvas& canvas, int rows,
               std::vector<std::uint8_t>& out);

}  // namespace stampo

#pragma once
// Stamping in memory: a picture file's bytes in, the stamped picture's
// bytes out.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "summary.h"

namespace stampo {

// Checks the picture; if it can be stamped, draws the band (white strip,
// grid, the labels of the summary's mode, the figures) under the graph and
// encodes the 340-row result into `out`. A refused picture leaves `out`
// empty. The canvas is working space; what it held before does not matter.
BmpError stamppicture(const std::uint8_t* data, std::size_t size, const ScanSummary& summary,
                      PlaneCanvas& canvas, std::vector<std::uint8_t>& out);

// Whether `original` is the picture that `stamped` was stamped from:
// `stamped` is 340 rows high, and `original` is a picture of the same
// width whose graph rows (0 to 294, or all of its rows if it has fewer)
// are byte for byte those of `stamped`.
bool isstampof(const std::uint8_t* stamped, std::size_t stampedsize, const std::uint8_t* original,
               std::size_t originalsize);

}  // namespace stampo

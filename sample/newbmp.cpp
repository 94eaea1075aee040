#include "newbmp.h"

#include <cstring>

namespace stampo {
namespace {

// Writes the low `n` bytes of `v` at `p`, least significant first.
void put(std::uint8_t* p, std::uint32_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

BmpHeader bmpnewheader(int width, int height) {
  BmpHeader header;
  header.width = width;
  header.height = height;
  std::uint8_t* b = header.bytes.data();
  const std::uint32_t image = std::uint32_t(bmprowbytes(header) * std::size_t(height));
  b[0] = 'B';
  b[1] = 'M';
  put(b + 2, image + kBmpHeaderSize, 4);  // file size
  put(b + 10, kBmpHeaderSize, 4);         // where the pixels start
  put(b + 14, 40, 4);                     // the info header's size
  put(b + 18, std::uint32_t(width), 4);
  put(b + 22, std::uint32_t(height), 4);  // positive: bottom-up
  put(b + 26, 1, 2);                      // planes
  put(b + 28, 24, 2);                     // bits a pixel
  put(b + 34, image, 4);
  put(b + 38, 2835, 4);  // 72 dpi, as pixels a metre
  put(b + 42, 2835, 4);
  return header;
}

void bmpencode(const BmpHeader& header, const PlaneCanvas& canvas, int rows,
               std::vector<std::uint8_t>& out) {
  out.resize(kBmpHeaderSize + bmprowbytes(header) * std::size_t(rows));
  std::memcpy(out.data(), header.bytes.data(), kBmpHeaderSize);
  BmpHeader shape = header;
  shape.height = rows;
  bmpwriterows(canvas, shape, 0, rows - 1, out.data());
}

}  // namespace stampo

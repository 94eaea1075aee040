#include "newbmp.h"

#include <cstring>

#include "le.h"

namespace stampo {

BmpHeader bmpnewheader(int width, int height) {
  BmpHeader header;
  header.width = width;
  header.height = height;
  std::uint8_t* b = header.bytes.data();
  const std::uint32_t image = std::uint32_t(bmprowbytes(header) * std::size_t(height));
  b[0] = 'B';
  b[1] = 'M';
  writele(b + 2, image + kBmpHeaderSize, 4);  // file size
  writele(b + 10, kBmpHeaderSize, 4);         // where the pixels start
  writele(b + 14, 40, 4);                     // the info header's size
  writele(b + 18, std::uint32_t(width), 4);
  writele(b + 22, std::uint32_t(height), 4);  // positive: bottom-up
  writele(b + 26, 1, 2);                      // planes
  writele(b + 28, 24, 2);                     // bits a pixel
  writele(b + 34, image, 4);
  writele(b + 38, 2835, 4);  // 72 dpi, as pixels a metre
  writele(b + 42, 2835, 4);
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

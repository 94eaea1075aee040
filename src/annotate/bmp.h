#pragma once
// The scan graph picture: a Windows BMP file, 24 bits per pixel,
// uncompressed, rows stored bottom-up.
//
// Byte layout of the 54-byte header (all fields little-endian):
//
//   file header (14 bytes)
//     0  2  signature "BM"
//     2  4  file size
//     6  4  reserved
//    10  4  offset of the pixel data: 54, the pixels right after the header
//   info header (40 bytes, at byte 14)
//    14  4  info header size, 40
//    18  4  width W
//    22  4  height H (positive: bottom-up)
//    26  2  planes
//    28  2  bits per pixel, 24
//    30  4  compression, 0
//    34  4  image size
//    38 16  resolution and palette counts, passed through untouched
//
// Pixel data: H rows, the bottom row first; each row is W + 1 pixels of
// three bytes in the order blue, green, red. Stampo only takes widths with
// W + 1 a multiple of four: then 3 * (W + 1) bytes is exactly the padded
// row length, and the pad bytes form one extra pixel (column W) that is
// carried through like any other. The usual graph is 467 x 300.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace stampo {

constexpr std::size_t kBmpHeaderSize = 54;
constexpr int kBmpMaxWidth = 467;
constexpr int kOutputRows = PlaneCanvas::kRows;  // 340
// The largest picture file taken, trailing bytes included: far beyond any
// scan graph (under half a megabyte), small enough to hold in memory.
constexpr std::size_t kMaxPictureFile = std::size_t(64) << 20;

struct BmpHeader {
  std::array<std::uint8_t, kBmpHeaderSize> bytes{};
  int width = 0;   // W; rows hold W + 1 pixels
  int height = 0;  // H, rows in the file
};

// Why a picture cannot be stamped (the driver tells each in its own
// words).
enum class BmpError {
  kNone,
  kNotBmp,
  kInfoSize,
  kDataOffset,
  kBitCount,
  kCompression,
  kWidth,
  kHeight,
  kTruncated,
  kTooLarge,
};

// Checks the whole file: whether it can be stamped and written back
// exactly. If so, fills the header.
BmpError bmpcheck(const std::uint8_t* data, std::size_t size, BmpHeader& header);

// Bytes in one file row of a checked picture: W + 1 pixels of three bytes.
std::size_t bmprowbytes(const BmpHeader& header);

// Where row y of a checked picture (row 0 at the top) starts in its file.
std::size_t bmprowat(const BmpHeader& header, int y);

// Rows y0 to y1 of the picture's file bytes into the canvas, and back.
void bmpreadrows(const std::uint8_t* data, const BmpHeader& header, int y0, int y1,
                 PlaneCanvas& canvas);
void bmpwriterows(const PlaneCanvas& canvas, const BmpHeader& header, int y0, int y1,
                  std::uint8_t* data);

// The header of the stamped picture: height 340, image size and file
// size to match. Only the low bytes of those fields change in the bytes:
// the three low bytes of each size, the two low bytes of the height. The
// high bytes stay as the scanner wrote them, so that a stamped picture's
// header differs from its original's in those bytes alone, as stamped
// pictures always have.
void bmpsetoutputsize(BmpHeader& header);

}  // namespace stampo

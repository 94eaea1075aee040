#include "bmp.h"

#include <algorithm>
#include <cstring>

#include "le.h"
#include "transpose.h"

namespace stampo {
namespace {

constexpr std::size_t kFileSizeAt = 2;
constexpr std::size_t kDataOffsetAt = 10;
constexpr std::size_t kInfo = 14;  // start of the info header
constexpr std::size_t kInfoSizeAt = kInfo + 0;
constexpr std::size_t kWidthAt = kInfo + 4;
constexpr std::size_t kHeightAt = kInfo + 8;
constexpr std::size_t kBitCountAt = kInfo + 14;
constexpr std::size_t kCompressionAt = kInfo + 16;
constexpr std::size_t kImageSizeAt = kInfo + 20;
constexpr std::uint32_t kInfoSize = 40;
constexpr std::uint32_t kBitCount = 24;

std::size_t rowbytes(int width) { return 3 * (std::size_t(width) + 1); }

}  // namespace

BmpError bmpcheck(const std::uint8_t* data, std::size_t size, BmpHeader& header) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return BmpError::kNotBmp;
  if (size > kMaxPictureFile) return BmpError::kTooLarge;
  if (size < kBmpHeaderSize) return BmpError::kTruncated;
  if (readle32(data + kInfoSizeAt) != kInfoSize) return BmpError::kInfoSize;
  // Pixels anywhere else would be written back at byte 54 under a header
  // that still points elsewhere: a broken picture.
  if (readle32(data + kDataOffsetAt) != kBmpHeaderSize) return BmpError::kDataOffset;
  if (readle16(data + kBitCountAt) != kBitCount) return BmpError::kBitCount;
  if (readle32(data + kCompressionAt) != 0) return BmpError::kCompression;
  const std::uint32_t width = readle32(data + kWidthAt);
  if (width < 1 || width > std::uint32_t(kBmpMaxWidth) || (width + 1) % 4 != 0)
    return BmpError::kWidth;
  const std::int32_t height = std::int32_t(readle32(data + kHeightAt));
  if (height < 1 || height > kOutputRows) return BmpError::kHeight;
  const int w = int(width);
  const int h = int(height);
  if ((size - kBmpHeaderSize) / rowbytes(w) < std::size_t(h)) return BmpError::kTruncated;

  std::memcpy(header.bytes.data(), data, kBmpHeaderSize);
  header.width = w;
  header.height = h;
  return BmpError::kNone;
}

std::size_t bmprowbytes(const BmpHeader& header) { return rowbytes(header.width); }

std::size_t bmprowat(const BmpHeader& header, int y) {
  // Bottom-up: the file's last row is the picture's row 0.
  return kBmpHeaderSize + rowbytes(header.width) * std::size_t(header.height - 1 - y);
}

void bmpreadrows(const std::uint8_t* data, const BmpHeader& header, int y0, int y1,
                 PlaneCanvas& canvas) {
  const std::uint8_t* rows[kOutputRows];
  for (int y = y0; y <= y1; ++y) rows[y - y0] = data + bmprowat(header, y);
  rowstocanvas(rows, y1 - y0 + 1, header.width + 1, y0, canvas);
}

void bmpwriterows(const PlaneCanvas& canvas, const BmpHeader& header, int y0, int y1,
                  std::uint8_t* data) {
  std::uint8_t* rows[kOutputRows];
  for (int y = y0; y <= y1; ++y) rows[y - y0] = data + bmprowat(header, y);
  canvastorows(canvas, y0, y1 - y0 + 1, header.width + 1, rows);
}

void bmpsetoutputsize(BmpHeader& header) {
  const std::uint32_t image = std::uint32_t(rowbytes(header.width) * kOutputRows);
  std::uint8_t* b = header.bytes.data();
  writele(b + kFileSizeAt, image + kBmpHeaderSize, 3);
  writele(b + kImageSizeAt, image, 3);
  writele(b + kHeightAt, kOutputRows, 2);
  header.height = kOutputRows;
}

}  // namespace stampo

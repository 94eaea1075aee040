#include "png.h"

#include <zlib.h>

#include <cstring>

#include "bmp.h"

namespace stampo {
namespace {

// Chosen by measurement on scan graphs (bench/stamp_bench.cpp, PngEncode):
// each row takes whichever of the filters None, Sub and Up gives the
// smallest sum of its bytes read as signed (the usual heuristic), and
// zlib's fastest level. Graph pictures are long runs of one colour, which
// Sub turns into zeros, and rows like the one above, which Up does: level
// 1 packs the sample into 9 KB (level 6 into 5.5 KB at twice the time).
constexpr int kLevel = 1;

void putbe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void putchunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data,
              std::size_t size) {
  putbe32(out, std::uint32_t(size));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  putbe32(out, std::uint32_t(crc32(crc32(0, nullptr, 0), out.data() + start, uInt(size + 4))));
}

// The sum of a filtered row's bytes read as signed: small for rows of
// zeros and small differences.
std::uint32_t cost(const std::uint8_t* row, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int v = std::int8_t(row[i]);
    sum += std::uint32_t(v < 0 ? -v : v);
  }
  return sum;
}

}  // namespace

PngEncoder::PngEncoder() : z_(new z_stream_s()) {}

PngEncoder::~PngEncoder() {
  if (ready_) deflateEnd(z_.get());
}

bool PngEncoder::encode(const std::uint8_t* bmp, std::size_t size, std::vector<std::uint8_t>& out) {
  out.clear();
  BmpHeader header;
  if (bmpcheck(bmp, size, header) != BmpError::kNone) return false;
  const std::size_t w = std::size_t(header.width);
  const std::size_t h = std::size_t(header.height);
  const std::size_t n = 3 * w;
  z_stream& z = *z_;
  if (!ready_) {
    if (deflateInit(&z, kLevel) != Z_OK) return false;
    ready_ = true;
  } else if (deflateReset(&z) != Z_OK) {
    return false;
  }
  const std::size_t bound = deflateBound(&z, uLong((n + 1) * h));
  if (idat_.size() < bound) idat_.resize(bound);
  rows_.resize(2 * n);
  line_.resize(n + 1);
  sub_.resize(n);
  up_.resize(n);
  z.next_out = idat_.data();
  z.avail_out = uInt(idat_.size());

  for (std::size_t y = 0; y < h; ++y) {
    // The row in red, green, blue order; the row above in the other half.
    std::uint8_t* row = rows_.data() + n * (y & 1);
    const std::uint8_t* above = rows_.data() + n * (~y & 1);
    const std::uint8_t* from = bmp + bmprowat(header, int(y));
    for (std::size_t i = 0; i < n; i += 3) {
      row[i] = from[i + 2];
      row[i + 1] = from[i + 1];
      row[i + 2] = from[i];
    }
    std::memcpy(sub_.data(), row, 3);
    for (std::size_t i = 3; i < n; ++i) sub_[i] = std::uint8_t(row[i] - row[i - 3]);
    if (y == 0) {
      std::memcpy(up_.data(), row, n);
    } else {
      for (std::size_t i = 0; i < n; ++i) up_[i] = std::uint8_t(row[i] - above[i]);
    }
    const std::uint32_t none = cost(row, n), bysub = cost(sub_.data(), n),
                        byup = cost(up_.data(), n);
    const std::uint8_t* pick = row;
    line_[0] = 0;
    if (byup <= bysub && byup < none) {
      line_[0] = 2;
      pick = up_.data();
    } else if (bysub < none) {
      line_[0] = 1;
      pick = sub_.data();
    }
    std::memcpy(line_.data() + 1, pick, n);
    z.next_in = line_.data();
    z.avail_in = uInt(n + 1);
    if (deflate(&z, y + 1 == h ? Z_FINISH : Z_NO_FLUSH) != (y + 1 == h ? Z_STREAM_END : Z_OK))
      return false;
  }
  const std::size_t packed = idat_.size() - z.avail_out;

  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.assign(kSignature, kSignature + 8);
  std::vector<std::uint8_t> ihdr;
  putbe32(ihdr, std::uint32_t(w));
  putbe32(ihdr, std::uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  putchunk(out, "IHDR", ihdr.data(), ihdr.size());
  putchunk(out, "IDAT", idat_.data(), packed);
  putchunk(out, "IEND", nullptr, 0);
  return true;
}

}  // namespace stampo

#include "png.h"

#include <zlib.h>

#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// What a row costs filtered each way: the sum of its filtered bytes read
// as signed (the usual heuristic: small differences pack well), where the
// filtered byte is the byte less the one it is predicted by: 0 for None,
// the byte a pixel to the left for Sub, the byte above for Up. A pixel's
// three bytes count alike, so the sums are the same in the BMP's blue,
// green, red order as in the PNG's red, green, blue: they are taken on
// the BMP's bytes as they lie.
struct Costs {
  std::uint32_t none = 0, sub = 0, up = 0;
};

std::uint32_t magnitude(std::uint8_t a, std::uint8_t b) {
  const int v = std::int8_t(std::uint8_t(a - b));
  return std::uint32_t(v < 0 ? -v : v);
}

Costs costs(const std::uint8_t* row, const std::uint8_t* above, std::size_t n) {
  Costs c;
  const auto add = [&](std::size_t i) {
    c.none += magnitude(row[i], 0);
    c.sub += magnitude(row[i], i >= 3 ? row[i - 3] : 0);
    c.up += magnitude(row[i], above != nullptr ? above[i] : 0);
  };
  std::size_t i = 0;
  for (; i < n && i < 3; ++i) add(i);
#if defined(__SSE2__)
  // Sixteen bytes at a time, as add() does one at a time: a difference's
  // magnitude as a signed byte is the distance of (difference ^ 0x80)
  // from 0x80, which _mm_sad_epu8 sums for each half's eight bytes.
  const __m128i zero = _mm_setzero_si128();
  const __m128i middle = _mm_set1_epi8(char(0x80));
  const auto sum = [&](__m128i x, __m128i by) {
    return _mm_sad_epu8(_mm_xor_si128(_mm_sub_epi8(x, by), middle), middle);
  };
  __m128i none = zero, sub = zero, up = zero;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i - 3));
    const __m128i y =
        above != nullptr ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i)) : zero;
    none = _mm_add_epi64(none, sum(x, zero));
    sub = _mm_add_epi64(sub, sum(x, left));
    up = _mm_add_epi64(up, sum(x, y));
  }
  const auto total = [](__m128i v) {
    return std::uint32_t(_mm_cvtsi128_si32(v) + _mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
  };
  c.none += total(none);
  c.sub += total(sub);
  c.up += total(up);
#endif
  for (; i < n; ++i) add(i);
  return c;
}

// The row filtered as `filter` says, into `out`, turned from the BMP's
// blue, green, red into the PNG's red, green, blue.
void filterrow(const std::uint8_t* row, const std::uint8_t* above, std::size_t n, int filter,
               std::uint8_t* out) {
  if (filter == 0) {
    std::memcpy(out, row, n);
  } else if (filter == 1) {
    std::memcpy(out, row, 3);
    for (std::size_t i = 3; i < n; ++i) out[i] = std::uint8_t(row[i] - row[i - 3]);
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = std::uint8_t(row[i] - above[i]);
  }
  for (std::size_t i = 0; i + 2 < n; i += 3) std::swap(out[i], out[i + 2]);
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
  line_.resize(n + 1);
  z.next_out = idat_.data();
  z.avail_out = uInt(idat_.size());

  for (std::size_t y = 0; y < h; ++y) {
    // The rows as the BMP holds them, top first.
    const std::uint8_t* row = bmp + bmprowat(header, int(y));
    const std::uint8_t* above = y > 0 ? bmp + bmprowat(header, int(y) - 1) : nullptr;
    const Costs c = costs(row, above, n);
    int filter = 0;
    if (c.up <= c.sub && c.up < c.none)
      filter = 2;
    else if (c.sub < c.none)
      filter = 1;
    line_[0] = std::uint8_t(filter);
    filterrow(row, above, n, filter, line_.data() + 1);
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

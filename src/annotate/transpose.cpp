#include "transpose.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stampo {
namespace {

// The canvas plane that takes byte p (0, 1, 2) of a file pixel.
constexpr PlaneCanvas::Plane kPlaneOfByte[3] = {PlaneCanvas::kBlue, PlaneCanvas::kGreen,
                                                PlaneCanvas::kRed};

#if defined(__SSE2__)
constexpr int kBlock = 16;  // 16 rows by 16 bytes

// Transposes a 16 x 16 byte matrix held as 16 rows: four perfect shuffles
// of the rows, each interleaving row i with row i + 8.
void transpose16(__m128i v[kBlock]) {
#pragma GCC unroll 4
  for (int round = 0; round < 4; ++round) {
    __m128i t[kBlock];
#pragma GCC unroll 8
    for (int i = 0; i < kBlock / 2; ++i) {
      t[2 * i] = _mm_unpacklo_epi8(v[i], v[i + kBlock / 2]);
      t[2 * i + 1] = _mm_unpackhi_epi8(v[i], v[i + kBlock / 2]);
    }
#pragma GCC unroll 16
    for (int i = 0; i < kBlock; ++i) v[i] = t[i];
  }
}

// Byte b of a run of 16 pixels (48 bytes) is byte b % 3 of pixel b / 3:
// its run of samples starts in that plane at column x + b / 3, row y0.
template <typename Byte>
Byte* columnat(Byte* const planes[3], int x, int y0, int b) {
  return planes[b % 3] + PlaneCanvas::index(x + b / 3, y0);
}
#endif

}  // namespace

void rowstocanvas(const std::uint8_t* const* rows, int n, int pixels, int y0, PlaneCanvas& canvas) {
  std::uint8_t* const planes[3] = {canvas.plane(kPlaneOfByte[0]), canvas.plane(kPlaneOfByte[1]),
                                   canvas.plane(kPlaneOfByte[2])};
  int x = 0;
#if defined(__SSE2__)
  // 16 rows of 48 bytes, turned as three 16 x 16 blocks: column b of the
  // turned block is byte b of one pixel down all 16 rows, a ready run for
  // one canvas column.
  if (n == kBlock) {
    for (; x + kBlock <= pixels; x += kBlock) {
#pragma GCC unroll 3
      for (int part = 0; part < 3; ++part) {
        __m128i v[kBlock];
#pragma GCC unroll 16
        for (int k = 0; k < kBlock; ++k)
          v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + 3 * x + 16 * part));
        transpose16(v);
#pragma GCC unroll 16
        for (int c = 0; c < kBlock; ++c)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(columnat(planes, x, y0, 16 * part + c)),
                           v[c]);
      }
    }
  }
#endif
  for (; x < pixels; ++x) {
    const std::size_t i = PlaneCanvas::index(x, y0);
    for (int p = 0; p < 3; ++p)
      for (int k = 0; k < n; ++k) planes[p][i + k] = rows[k][3 * x + p];
  }
}

void canvastorows(const PlaneCanvas& canvas, int y0, int n, int pixels, std::uint8_t* const* rows) {
  const std::uint8_t* const planes[3] = {
      canvas.plane(kPlaneOfByte[0]), canvas.plane(kPlaneOfByte[1]), canvas.plane(kPlaneOfByte[2])};
  int x = 0;
#if defined(__SSE2__)
  if (n == kBlock) {  // the same turn the other way
    for (; x + kBlock <= pixels; x += kBlock) {
#pragma GCC unroll 3
      for (int part = 0; part < 3; ++part) {
        __m128i v[kBlock];
#pragma GCC unroll 16
        for (int c = 0; c < kBlock; ++c)
          v[c] = _mm_loadu_si128(
              reinterpret_cast<const __m128i*>(columnat(planes, x, y0, 16 * part + c)));
        transpose16(v);
#pragma GCC unroll 16
        for (int k = 0; k < kBlock; ++k)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[k] + 3 * x + 16 * part), v[k]);
      }
    }
  }
#endif
  for (; x < pixels; ++x) {
    const std::size_t i = PlaneCanvas::index(x, y0);
    for (int p = 0; p < 3; ++p)
      for (int k = 0; k < n; ++k) rows[k][3 * x + p] = planes[p][i + k];
  }
}

}  // namespace stampo

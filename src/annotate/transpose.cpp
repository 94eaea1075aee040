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

// Rows y0 to y0 + 15, columns x to x + 15, from the canvas to the rows:
// byte b of a run of 16 pixels (48 bytes) is byte b % 3 of pixel b / 3,
// so column b of the turned block is one canvas column's run of samples.
void blocktorows(const std::uint8_t* const planes[3], int x, int y0, std::uint8_t* const* rows) {
#pragma GCC unroll 3
  for (int part = 0; part < 3; ++part) {
    __m128i v[kBlock];
#pragma GCC unroll 16
    for (int c = 0; c < kBlock; ++c) {
      const int b = 16 * part + c;
      v[c] = _mm_loadu_si128(
          reinterpret_cast<const __m128i*>(planes[b % 3] + PlaneCanvas::index(x + b / 3, y0)));
    }
    transpose16(v);
#pragma GCC unroll 16
    for (int k = 0; k < kBlock; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[k] + 3 * x + 16 * part), v[k]);
  }
}
#endif

}  // namespace

// Column by column, so each plane is written in runs of n adjacent
// samples.
void rowstocanvas(const std::uint8_t* const* rows, int n, int pixels, int y0, PlaneCanvas& canvas) {
  for (int p = 0; p < 3; ++p) {
    std::uint8_t* plane = canvas.plane(kPlaneOfByte[p]);
    for (int x = 0; x < pixels; ++x) {
      std::uint8_t* column = plane + PlaneCanvas::index(x, y0);
      for (int k = 0; k < n; ++k) column[k] = rows[k][3 * x + p];
    }
  }
}

// Writing the band back is where a stamp's time goes: a plain loop stores
// one byte at a time. With SSE2, blocks of 16 rows by 16 pixels are
// turned in registers and stored 16 bytes at a time; the last block of
// rows is moved up to end at the last row, so it may cover rows already
// written, with the same bytes.
void canvastorows(const PlaneCanvas& canvas, int y0, int n, int pixels, std::uint8_t* const* rows) {
  const std::uint8_t* const planes[3] = {
      canvas.plane(kPlaneOfByte[0]), canvas.plane(kPlaneOfByte[1]), canvas.plane(kPlaneOfByte[2])};
  int x = 0;
#if defined(__SSE2__)
  if (n >= kBlock) {
    for (; x + kBlock <= pixels; x += kBlock) {
      for (int k = 0;; k += kBlock) {
        if (k > n - kBlock) k = n - kBlock;
        blocktorows(planes, x, y0 + k, rows + k);
        if (k == n - kBlock) break;
      }
    }
  }
#endif
  for (int k = 0; k < n; ++k) {
    std::uint8_t* row = rows[k];
    for (int c = x; c < pixels; ++c) {
      const std::size_t i = PlaneCanvas::index(c, y0 + k);
      row[3 * c] = planes[0][i];
      row[3 * c + 1] = planes[1][i];
      row[3 * c + 2] = planes[2][i];
    }
  }
}

}  // namespace stampo

#include "canvas.h"

#include <cstring>

namespace stampo {

void PlaneCanvas::fill(int x0, int x1, int y0, int y1, std::uint8_t v) {
  if (x0 > x1 || y0 > y1) return;
  const std::size_t run = std::size_t(y1 - y0 + 1);
  for (int p = kRed; p <= kBlue; ++p) {
    std::uint8_t* samples = plane(Plane(p));
    if (run == 1) {  // a horizontal line: one sample per column
      for (int x = x0; x <= x1; ++x) samples[index(x, y0)] = v;
    } else {
      for (int x = x0; x <= x1; ++x) std::memset(samples + index(x, y0), v, run);
    }
  }
}

}  // namespace stampo

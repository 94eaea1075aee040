#pragma once
// Reading one sample of a canvas, for tests that look at what was drawn.
#include <cstdint>

#include "canvas.h"

namespace fixtures {

inline std::uint8_t at(const stampo::PlaneCanvas& c, stampo::PlaneCanvas::Plane p, int x, int y) {
  return c.plane(p)[stampo::PlaneCanvas::index(x, y)];
}

}  // namespace fixtures

#pragma once
// PlaneCanvas: the picture being stamped, as three 8-bit planes (red,
// green, blue) of 468 columns by 340 rows. Each plane is stored column
// by column: the sample of column x, row y (row 0 at the top) lies at
// index x * 340 + y.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace stampo {

class PlaneCanvas {
 public:
  static constexpr int kColumns = 468;
  static constexpr int kRows = 340;
  static constexpr std::size_t kPlaneSize = std::size_t(kColumns) * kRows;

  enum Plane { kRed = 0, kGreen = 1, kBlue = 2 };

  // A new canvas is white all over.
  PlaneCanvas() : samples_(3 * kPlaneSize, 255) {}

  static std::size_t index(int x, int y) { return std::size_t(x) * kRows + std::size_t(y); }

  std::uint8_t* plane(Plane p) { return samples_.data() + p * kPlaneSize; }
  const std::uint8_t* plane(Plane p) const { return samples_.data() + p * kPlaneSize; }

  // The band is grey-scale: every drawing step writes one value to all
  // three planes.
  void set(int x, int y, std::uint8_t v) {
    const std::size_t i = index(x, y);
    samples_[i] = v;
    samples_[kPlaneSize + i] = v;
    samples_[2 * kPlaneSize + i] = v;
  }

  // Sets rows y0..y1 (inclusive) of columns x0..x1 (inclusive) to v.
  void fill(int x0, int x1, int y0, int y1, std::uint8_t v);

 private:
  std::vector<std::uint8_t> samples_;
};

}  // namespace stampo

#pragma once
// Little-endian byte helpers for the BMP headers.
#include <cstddef>
#include <cstdint>

namespace stampo {

inline std::uint32_t readle16(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

inline std::uint32_t readle32(const std::uint8_t* p) { return readle16(p) | readle16(p + 2) << 16; }

// Writes the low `n` bytes of `v` at `p`, least significant first.
inline void writele(std::uint8_t* p, std::uint32_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace stampo

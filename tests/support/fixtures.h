#pragma once
// Test fixtures written from scratch, independent of the code under
// test: scan reports and BMP pictures as bytes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// A report as Plextools Professional lays it out: some preamble, the
// marker line, then ten lines of which 1, 2, 3 and 10 carry the figures
// after 18 bytes of markup.
std::string report(const std::string& marker, const std::string& average,
                   const std::string& maximum, const std::string& total, const std::string& pof);
std::string piereport(const std::string& average, const std::string& maximum,
                      const std::string& total, const std::string& pof);
std::string pifreport(const std::string& average, const std::string& maximum,
                      const std::string& total, const std::string& pof);

// A 24-bit bottom-up BMP of W x H whose rows hold W + 1 pixels; the
// colour of column x, row y (row 0 at the top) comes from `pixel`.
Bytes bmp(int width, int height, const std::function<Rgb(int x, int y)>& pixel);

// A picture with no symmetry, coloured so a channel swap or a flipped row
// order shows: red follows x, green follows y, blue the two together.
Rgb pattern(int x, int y);

// Column x, row y of a bottom-up BMP with W + 1 pixels a row.
Rgb pixelat(const Bytes& file, int width, int height, int x, int y);

std::uint32_t le32(const Bytes& b, std::size_t at);
void setle32(Bytes& b, std::size_t at, std::uint32_t v);

Bytes readfile(const std::string& path);
void writefile(const std::string& path, const Bytes& data);
void writefile(const std::string& path, const std::string& data);

}  // namespace fixtures

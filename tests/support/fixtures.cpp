#include "fixtures.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fixtures {

std::string report(const std::string& marker, const std::string& average,
                   const std::string& maximum, const std::string& total, const std::string& pof) {
  const std::string cell = "<td align=\"right\">";  // 18 bytes
  std::string r = "<html><body>\n<table>\n<tr>\n";
  r += marker + "\n";
  r += cell + average + "</td>\n";
  r += cell + maximum + "</td>\n";
  r += cell + total + "</td>\n";
  for (int i = 4; i <= 9; ++i) r += cell + "-</td>\n";
  r += cell + pof + "</td>\n";
  r += "</tr>\n</table>\n</body></html>\n";
  return r;
}

std::string piereport(const std::string& a, const std::string& m, const std::string& t,
                      const std::string& p) {
  return report("<td width=\"86\">PIE</td>", a, m, t, p);
}

std::string pifreport(const std::string& a, const std::string& m, const std::string& t,
                      const std::string& p) {
  return report("<td width=\"86\">PIF</td>", a, m, t, p);
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

void setle32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

Bytes bmp(int width, int height, const std::function<Rgb(int, int)>& pixel) {
  const std::size_t row = 3 * std::size_t(width + 1);
  Bytes b(54 + row * std::size_t(height));
  b[0] = 'B';
  b[1] = 'M';
  setle32(b, 2, std::uint32_t(b.size()));
  setle32(b, 10, 54);
  setle32(b, 14, 40);
  setle32(b, 18, std::uint32_t(width));
  setle32(b, 22, std::uint32_t(height));
  b[26] = 1;
  b[28] = 24;
  setle32(b, 34, std::uint32_t(row * std::size_t(height)));
  setle32(b, 38, 3780);  // resolution: something other than zero to pass through
  setle32(b, 42, 3779);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = &b[54 + row * std::size_t(height - 1 - y)];  // bottom row first
    for (int x = 0; x <= width; ++x, p += 3) {
      const Rgb c = pixel(x, y);
      p[0] = c.b;  // blue, green, red
      p[1] = c.g;
      p[2] = c.r;
    }
  }
  return b;
}

Rgb pattern(int x, int y) {
  return Rgb{std::uint8_t(x * 7 + 1), std::uint8_t(y * 3 + 2), std::uint8_t(x * 5 + y * 11 + 3)};
}

Rgb pixelat(const Bytes& file, int width, int height, int x, int y) {
  const std::size_t at = 54 + 3 * (std::size_t(width + 1) * std::size_t(height - 1 - y) + x);
  return Rgb{file.at(at + 2), file.at(at + 1), file.at(at)};
}

Bytes readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writefile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void writefile(const std::string& path, const std::string& data) {
  writefile(path, Bytes(data.begin(), data.end()));
}

}  // namespace fixtures

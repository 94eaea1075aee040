// Draws Stampo.exe's icon and writes it as a Windows .ico file: a
// recordable disc with a grey statistics band across its foot, as Stampo
// stamps one under a scan graph. Every shape is a few numbers below, on a
// canvas 0..1 wide and high; change them and run again to redraw it:
//
//   build/mkicon icon/stampo.ico
//
// Each size is drawn at 4 x 4 samples a pixel, so the edges are smooth at
// every size: 16, 24, 32, 48, 64 and 256 pixels, and the sizes Explorer
// asks for when the display is scaled to 125 %, 150 % or 200 % (20, 40,
// 96), which it would otherwise scale from another size and blur. The
// 256-pixel image is stored as a PNG, as Windows expects for that size
// (and as keeps the file small); the others as 32-bit DIBs.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Rgba {
  double r, g, b, a;
};

// The colour at (x, y), both 0..1, y downwards; a = 0 outside the icon.
Rgba shade(double x, double y) {
  const double dx = x - 0.5, dy = y - 0.44;
  const double d = std::sqrt(dx * dx + dy * dy);
  // The band: grey, with a black frame and three cell walls, over the
  // disc's lower part.
  if (y >= 0.66 && y <= 0.94 && x >= 0.06 && x <= 0.94) {
    const bool frame = y < 0.69 || y > 0.91 || x < 0.09 || x > 0.91;
    const bool wall =
        std::fabs(x - 0.305) < 0.015 || std::fabs(x - 0.5) < 0.015 || std::fabs(x - 0.695) < 0.015;
    // Figures: a dark stroke in each cell.
    const double cell = std::fmod((x - 0.09) / 0.205, 1.0);
    const bool figure = y > 0.75 && y < 0.85 && cell > 0.25 && cell < 0.75;
    const double v = frame || wall ? 0.0 : figure ? 0.25 : 178.0 / 255.0;
    return {v, v, v, 1};
  }
  if (d > 0.40) return {0, 0, 0, 0};
  if (d < 0.05) return {0, 0, 0, 0};            // the spindle hole
  if (d < 0.13) return {0.86, 0.88, 0.90, 1};   // the clear hub
  if (d > 0.385) return {0.55, 0.58, 0.62, 1};  // the rim
  // The recorded surface: silver with a rainbow sheen that turns with the
  // angle, as light on a disc does.
  const double angle = std::atan2(dy, dx);
  const double sheen = 0.5 + 0.5 * std::cos(2 * angle);
  const double hue = angle * 3 / 3.14159265;
  return {0.70 + 0.25 * sheen * (0.5 + 0.5 * std::cos(hue)),
          0.72 + 0.25 * sheen * (0.5 + 0.5 * std::cos(hue - 2.1)),
          0.78 + 0.20 * sheen * (0.5 + 0.5 * std::cos(hue + 2.1)), 1};
}

void put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void putbe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

// The icon drawn at `size` pixels: rows top first, each pixel red, green,
// blue, alpha (not premultiplied).
std::vector<std::uint8_t> draw(int size) {
  std::vector<std::uint8_t> out;
  constexpr int kSamples = 4;
  for (int row = 0; row < size; ++row) {
    for (int col = 0; col < size; ++col) {
      Rgba sum = {0, 0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Rgba c =
              shade((col + (sx + 0.5) / kSamples) / size, (row + (sy + 0.5) / kSamples) / size);
          sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
        }
      }
      const double a = sum.a / (kSamples * kSamples);
      auto channel = [&](double v) {
        return std::uint8_t(std::lround(sum.a > 0 ? 255 * v / sum.a : 0));
      };
      out.push_back(channel(sum.r));
      out.push_back(channel(sum.g));
      out.push_back(channel(sum.b));
      out.push_back(std::uint8_t(std::lround(255 * a)));
    }
  }
  return out;
}

// One image of the .ico as a DIB: a 40-byte BITMAPINFOHEADER (height
// doubled for the mask), 32-bit BGRA pixels bottom-up, then the 1-bit AND
// mask (all clear: the alpha channel says what shows).
std::vector<std::uint8_t> dib(int size) {
  const std::vector<std::uint8_t> rgba = draw(size);
  std::vector<std::uint8_t> out;
  put32(out, 40);
  put32(out, std::uint32_t(size));
  put32(out, std::uint32_t(size * 2));
  put16(out, 1);
  put16(out, 32);
  put32(out, 0);
  const int maskrow = (size + 31) / 32 * 4;
  put32(out, std::uint32_t(size * size * 4 + maskrow * size));
  for (int i = 0; i < 4; ++i) put32(out, 0);
  for (int row = size - 1; row >= 0; --row) {
    for (int col = 0; col < size; ++col) {
      const std::uint8_t* p = rgba.data() + 4 * (std::size_t(row) * std::size_t(size) + std::size_t(col));
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  out.insert(out.end(), std::size_t(maskrow * size), 0);
  return out;
}

// One image of the .ico as a PNG: signature, IHDR (8-bit RGBA), one IDAT
// of the rows (filter byte 0 before each), IEND; zlib packs and checks.
std::vector<std::uint8_t> png(int size) {
  const std::vector<std::uint8_t> rgba = draw(size);
  std::vector<std::uint8_t> rows;
  const std::size_t line = 4 * std::size_t(size);
  for (int row = 0; row < size; ++row) {
    rows.push_back(0);
    rows.insert(rows.end(), rgba.begin() + long(line) * row, rgba.begin() + long(line) * (row + 1));
  }
  uLongf packed = compressBound(uLong(rows.size()));
  std::vector<std::uint8_t> idat(packed);
  if (compress2(idat.data(), &packed, rows.data(), uLong(rows.size()), 9) != Z_OK) return {};
  idat.resize(packed);
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    putbe32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putbe32(out, std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
  };
  std::vector<std::uint8_t> ihdr;
  putbe32(ihdr, std::uint32_t(size));
  putbe32(ihdr, std::uint32_t(size));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  chunk("IHDR", ihdr);
  chunk("IDAT", idat);
  chunk("IEND", {});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkicon OUT.ico\n");
    return 2;
  }
  const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 96, 256};
  constexpr int kCount = sizeof sizes / sizeof sizes[0];
  std::vector<std::uint8_t> file, images;
  put16(file, 0);  // ICONDIR: reserved, type 1 (icon), count
  put16(file, 1);
  put16(file, kCount);
  std::uint32_t offset = 6 + 16 * kCount;
  for (const int size : sizes) {
    const std::vector<std::uint8_t> one = size < 256 ? dib(size) : png(size);
    if (one.empty()) return 1;
    // ICONDIRENTRY: width and height (0 for 256), colours, reserved,
    // planes, bits a pixel, size, offset.
    file.push_back(std::uint8_t(size & 0xFF));
    file.push_back(std::uint8_t(size & 0xFF));
    file.push_back(0);
    file.push_back(0);
    put16(file, 1);
    put16(file, 32);
    put32(file, std::uint32_t(one.size()));
    put32(file, offset);
    offset += std::uint32_t(one.size());
    images.insert(images.end(), one.begin(), one.end());
  }
  file.insert(file.end(), images.begin(), images.end());
  std::FILE* out = std::fopen(argv[1], "wb");
  const bool written =
      out != nullptr && std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (out == nullptr || std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

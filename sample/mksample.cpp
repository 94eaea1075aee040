// Makes the bundled sample: a PIE Sum8 scan report (disc.html) and its
// 467 x 300 scan graph (disc.bmp), from a made-up scan of a 4.7 GB disc.
// Usage: mksample OUTDIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "newbmp.h"

namespace {

using stampo::PlaneCanvas;

constexpr int kWidth = 467;
constexpr int kHeight = 300;
// Plot area of the graph.
constexpr int kLeft = 36, kRight = 456, kTop = 12, kBottom = 272;
constexpr int kSamples = kRight - kLeft + 1;  // one per ECC block group shown
constexpr int kScaleMax = 20;                 // PIE at the top of the plot

struct Rgb {
  std::uint8_t r, g, b;
};

void put(PlaneCanvas& c, int x, int y, Rgb colour) {
  c.plane(PlaneCanvas::kRed)[PlaneCanvas::index(x, y)] = colour.r;
  c.plane(PlaneCanvas::kGreen)[PlaneCanvas::index(x, y)] = colour.g;
  c.plane(PlaneCanvas::kBlue)[PlaneCanvas::index(x, y)] = colour.b;
}

// A small fixed pseudo-random sequence, so the sample is the same on
// every machine.
std::uint32_t rng = 20261207;
double uniform() {
  rng = rng * 1664525u + 1013904223u;
  return (rng >> 8) / 16777216.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mksample OUTDIR\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];

  // PIE Sum8 per sample: low on the inner disc, rising towards the rim,
  // with noise and a few bursts (a scratch near 3.1 GB).
  std::vector<int> pie(kSamples);
  for (int i = 0; i < kSamples; ++i) {
    const double t = double(i) / (kSamples - 1);
    double v = 1.2 + 2.5 * t * t + 1.6 * uniform() * uniform() * 3;
    if (i > 270 && i < 280) v += 6 + 4 * uniform();
    pie[i] = int(v);
  }
  long long sum = 0;
  for (int v : pie) sum += v;
  char averagetext[32];
  std::snprintf(averagetext, sizeof averagetext, "%.2f", double(sum) / kSamples);
  int maximum = 0;
  for (int v : pie)
    if (v > maximum) maximum = v;
  // The report's totals count every ECC block, about 2,295 per sample.
  const long long total = sum * 2295;

  PlaneCanvas canvas;  // white
  const Rgb black{0, 0, 0}, grid{200, 200, 200}, bars{0, 160, 0}, speed{230, 40, 40},
      frame{240, 240, 240};
  for (int x = 0; x <= kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) put(canvas, x, y, frame);
  for (int x = kLeft; x <= kRight; ++x)
    for (int y = kTop; y <= kBottom; ++y) put(canvas, x, y, Rgb{255, 255, 255});
  for (int g = 0; g <= 4; ++g) {  // PIE 0, 5, 10, 15, 20
    const int y = kBottom - g * (kBottom - kTop) / 4;
    for (int x = kLeft; x <= kRight; x += 2) put(canvas, x, y, grid);
  }
  for (int g = 0; g <= 9; ++g) {  // every half gigabyte
    const int x = kLeft + g * (kRight - kLeft) * 10 / 47 / 2;
    for (int y = kTop; y <= kBottom; y += 2) put(canvas, x, y, grid);
  }
  for (int i = 0; i < kSamples; ++i) {
    const int top = kBottom - pie[i] * (kBottom - kTop) / kScaleMax;
    for (int y = top; y < kBottom; ++y) put(canvas, kLeft + i, y, bars);
  }
  for (int i = 0; i < kSamples; ++i) {  // reading speed, 2.4x rising to 8x (CAV)
    const double t = double(i) / (kSamples - 1);
    const int y = kBottom - int((kBottom - kTop) * (0.3 + 0.62 * std::sqrt(t)));
    put(canvas, kLeft + i, y, speed);
    put(canvas, kLeft + i, y + 1, speed);
  }
  for (int x = kLeft - 1; x <= kRight + 1; ++x) {  // axes and frame
    put(canvas, x, kTop - 1, black);
    put(canvas, x, kBottom, black);
  }
  for (int y = kTop - 1; y <= kBottom; ++y) {
    put(canvas, kLeft - 1, y, black);
    put(canvas, kRight + 1, y, black);
  }
  for (int x = kLeft; x <= kRight; x += (kRight - kLeft) / 47)  // ticks
    for (int y = kBottom; y < kBottom + 4; ++y) put(canvas, x, y, black);

  std::vector<std::uint8_t> bmp;
  stampo::bmpencode(stampo::bmpnewheader(kWidth, kHeight), canvas, kHeight, bmp);

  char figures[256];
  std::snprintf(figures, sizeof figures,
                "<td align=\"right\">%s</td>\n"
                "<td align=\"right\">%d</td>\n"
                "<td align=\"right\">%lld</td>\n",
                averagetext, maximum, total);
  std::string html =
      "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html\">\n"
      "<title>Scan report</title>\n</head>\n<body>\n"
      "<h2>PIE/PIF test</h2>\n"
      "<table border=\"1\">\n<tr>\n"
      "<td width=\"86\">Disc</td>\n<td>DVD+R 4.7GB</td>\n</tr>\n<tr>\n"
      "<td width=\"86\">Speed</td>\n<td>8x CAV</td>\n</tr>\n"
      "</table>\n<table border=\"1\">\n<tr>\n"
      "<td width=\"86\">PIE</td>\n";
  html += figures;
  html +=
      "<td align=\"right\">Sum8</td>\n"
      "<td align=\"right\">0:00:00</td>\n"
      "<td align=\"right\">4.38 GB</td>\n"
      "<td align=\"right\">2295</td>\n"
      "<td align=\"right\">-</td>\n"
      "<td align=\"right\">-</td>\n"
      "<td align=\"right\">0</td>\n"
      "</tr>\n</table>\n"
      "<img src=\"disc.bmp\">\n</body>\n</html>\n";

  const auto* text = reinterpret_cast<const std::uint8_t*>(html.data());
  const struct {
    std::string path;
    const std::uint8_t* data;
    std::size_t size;
  } files[] = {{dir + "/disc.html", text, html.size()},
               {dir + "/disc.bmp", bmp.data(), bmp.size()}};
  for (const auto& f : files) {
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(f.data, 1, f.size, out) == f.size;
    if (out == nullptr || std::fclose(out) != 0 || !written) {
      std::perror(f.path.c_str());
      return 1;
    }
  }
  return 0;
}

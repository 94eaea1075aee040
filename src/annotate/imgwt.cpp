#include "imgwt.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "digitfont.h"
#include "fileio.h"
#include "labels.h"
#include "table.h"

namespace stampo {
namespace {

constexpr int kStripTop = 300;  // the white strip holds rows 300 to 339

bool failed(const char* call) {
  std::perror(call);
  return false;
}

}  // namespace

bool imgwt(const std::string& path, const ScanSummary& summary) {
  DigitFont font;
  mkfont(font);

  std::vector<std::uint8_t> input;
  if (const char* call = readwhole(path, input)) return failed(call);
  BmpHeader header;
  PlaneCanvas canvas;
  const BmpError error = bmpparse(input.data(), input.size(), header, canvas);
  if (error != BmpError::kNone) {
    std::fputs(bmpmessage(error), stdout);
    return false;
  }

  // The backup is the input file exactly, trailing bytes and all.
  if (const char* call = writewhole(path + ".bak", input.data(), input.size()))
    return failed(call);

  canvas.fill(0, header.width, kStripTop, kOutputRows - 1, 255);
  drawgrid(canvas);
  putlabels(canvas, summary.mode);
  drawfigures(canvas, font, summary);

  // Encode first and open the picture last, so the time in which it lies
  // emptied on disk is one write long.
  bmpgrow(header);
  std::vector<std::uint8_t> output;
  bmpencode(header, canvas, kOutputRows, output);
  if (const char* call = writewhole(path, output.data(), output.size())) return failed(call);
  return true;
}

}  // namespace stampo

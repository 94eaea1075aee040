#include "stamp.h"

#include <algorithm>

#include "canvas.h"
#include "digitfont.h"
#include "labels.h"
#include "table.h"

namespace stampo {
namespace {

constexpr int kStripTop = 300;  // the white strip holds rows 300 to 339

}  // namespace

BmpError stamppicture(const std::uint8_t* data, std::size_t size, const ScanSummary& summary,
                      PlaneCanvas& canvas, std::vector<std::uint8_t>& out) {
  DigitFont font;
  mkfont(font);
  BmpHeader header;
  const BmpError error = bmpparse(data, size, header, canvas);
  if (error != BmpError::kNone) {
    out.clear();
    return error;
  }

  // The white strip, from row 300 or from the foot of a shorter graph.
  canvas.fill(0, header.width, std::min(header.height, kStripTop), kOutputRows - 1, 255);
  drawgrid(canvas);
  putlabels(canvas, summary.mode);
  drawfigures(canvas, font, summary);
  bmpgrow(header);
  bmpencode(header, canvas, kOutputRows, out);
  return BmpError::kNone;
}

}  // namespace stampo

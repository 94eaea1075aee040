#include "stamp.h"

#include "canvas.h"
#include "digitfont.h"
#include "labels.h"
#include "table.h"

namespace stampo {
namespace {

constexpr int kStripTop = 300;  // the white strip holds rows 300 to 339

}  // namespace

BmpError stamppicture(const std::uint8_t* data, std::size_t size, const ScanSummary& summary,
                      std::vector<std::uint8_t>& out) {
  out.clear();
  DigitFont font;
  mkfont(font);
  BmpHeader header;
  PlaneCanvas canvas;
  const BmpError error = bmpparse(data, size, header, canvas);
  if (error != BmpError::kNone) return error;

  canvas.fill(0, header.width, kStripTop, kOutputRows - 1, 255);
  drawgrid(canvas);
  putlabels(canvas, summary.mode);
  drawfigures(canvas, font, summary);
  bmpgrow(header);
  bmpencode(header, canvas, kOutputRows, out);
  return BmpError::kNone;
}

}  // namespace stampo

#include "stamp.h"

#include <algorithm>
#include <cstring>

#include "canvas.h"
#include "digitfont.h"
#include "labels.h"
#include "table.h"

namespace stampo {
namespace {

constexpr int kStripTop = 300;   // the white strip holds rows 300 to 339
constexpr int kGraphRows = 295;  // rows 0 to 294 lie above the table's top line

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

bool isstampof(const std::uint8_t* stamped, std::size_t stampedsize, const std::uint8_t* original,
               std::size_t originalsize) {
  BmpHeader s, o;
  if (bmpcheck(stamped, stampedsize, s) != BmpError::kNone || s.height != kOutputRows ||
      bmpcheck(original, originalsize, o) != BmpError::kNone || o.width != s.width)
    return false;
  const std::size_t row = bmprowbytes(s);
  for (int y = 0; y < std::min(o.height, kGraphRows); ++y)
    if (std::memcmp(bmprow(stamped, s, y), bmprow(original, o, y), row) != 0) return false;
  return true;
}

}  // namespace stampo

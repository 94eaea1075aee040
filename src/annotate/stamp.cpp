#include "stamp.h"

#include <algorithm>
#include <cstring>

#include "band.h"
#include "canvas.h"
#include "digitfont.h"
#include "labels.h"
#include "table.h"

namespace stampo {
namespace {

constexpr int kGraphRows = kBandTop;  // rows 0 to 294 lie above the table's top line

}  // namespace

BmpError stamppicture(const std::uint8_t* data, std::size_t size, const ScanSummary& summary,
                      PlaneCanvas& canvas, std::vector<std::uint8_t>& out) {
  BmpHeader header;
  const BmpError error = bmpcheck(data, size, header);
  if (error != BmpError::kNone) {
    out.clear();
    return error;
  }
  BmpHeader stamped = header;
  bmpsetoutputsize(stamped);
  const std::size_t row = bmprowbytes(header);
  out.resize(kBmpHeaderSize + row * kOutputRows);
  std::memcpy(out.data(), stamped.bytes.data(), kBmpHeaderSize);

  // The graph rows above the table go through as they are. Bottom-up, rows
  // 0 to k - 1 are the last k rows of either file, in one run.
  const int h = header.height;
  const int kept = std::min(h, kGraphRows);
  std::memcpy(out.data() + bmprowat(stamped, kept - 1), data + bmprowat(header, kept - 1),
              row * std::size_t(kept));
  if (h < kGraphRows)  // a short graph: white down to the table
    std::memset(out.data() + bmprowat(stamped, kGraphRows - 1), 255,
                row * std::size_t(kGraphRows - h));

  // The band, rows 295 to 339, is drawn on the canvas: the graph's last
  // rows where it has them, then the white strip from row 300 or from the
  // foot of a shorter graph.
  const int graphend = std::min(h, kStripTop);
  if (graphend > kGraphRows) bmpreadrows(data, header, kGraphRows, graphend - 1, canvas);
  canvas.fill(0, header.width, std::max(graphend, kGraphRows), kOutputRows - 1, 255);
  DigitFont font;
  mkfont(font);
  drawgrid(canvas);
  putlabels(canvas, summary.mode);
  drawfigures(canvas, font, summary);
  bmpwriterows(canvas, stamped, kGraphRows, kOutputRows - 1, out.data());
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
    if (std::memcmp(stamped + bmprowat(s, y), original + bmprowat(o, y), row) != 0) return false;
  return true;
}

}  // namespace stampo

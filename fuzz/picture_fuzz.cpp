// Fuzz target: arbitrary bytes taken as a picture file and stamped.
//
// Input: 17 bytes of figures (average as a float, maximum, total and POF as
// 32-bit integers, mode as one byte), then the picture file. A refused
// picture must give a message and no output; an accepted one must come out
// 54 + 3 * (W + 1) * 340 bytes long, with a header that says so, and with
// the graph rows above the band exactly as they went in (white below a
// short graph), and its PNG must encode.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bmp.h"
#include "le.h"
#include "png.h"
#include "run.h"
#include "stamp.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr std::size_t kFigures = 17;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kFigures) return 0;
  stampo::ScanSummary summary;
  std::memcpy(&summary.average, data, 4);
  summary.maximum = std::int32_t(stampo::readle32(data + 4));
  summary.total = std::int32_t(stampo::readle32(data + 8));
  summary.pof = std::int32_t(stampo::readle32(data + 12));
  // Every mode of the table, none, and a value that is no mode.
  summary.mode = stampo::ScanMode(data[16] % (stampo::kModeEnd + 1));
  const std::uint8_t* file = data + kFigures;
  const std::size_t length = size - kFigures;

  // A canvas full of junk: stamping must not depend on what it held.
  stampo::PlaneCanvas canvas;
  canvas.fill(0, stampo::PlaneCanvas::kColumns - 1, 0, stampo::PlaneCanvas::kRows - 1, 0x5a);
  std::vector<std::uint8_t> out(3, 0x5a);
  const stampo::BmpError error = stampo::stamppicture(file, length, summary, canvas, out);
  if (error != stampo::BmpError::kNone) {
    check(out.empty());
    check(std::strlen(stampo::bmpmessage(error)) > 1);
    return 0;
  }

  const std::uint32_t w = stampo::readle32(file + 18);
  const std::uint32_t h = stampo::readle32(file + 22);
  const std::size_t row = 3 * (std::size_t(w) + 1);
  const std::size_t expected = 54 + row * 340;
  check(out.size() == expected);
  check(out[0] == 'B' && out[1] == 'M');
  check((stampo::readle32(out.data() + 2) & 0xffffff) == expected);
  check(stampo::readle16(out.data() + 22) == 340);
  check((stampo::readle32(out.data() + 34) & 0xffffff) == expected - 54);
  check(std::memcmp(out.data() + 38, file + 38, 16) == 0);  // resolution, colours
  for (std::uint32_t y = 0; y < h && y < 295; ++y)          // rows above the band
    check(std::memcmp(out.data() + 54 + (339 - y) * row, file + 54 + (h - 1 - y) * row, row) == 0);
  // The PNG costs a millisecond: encoded for one input in 16 (the mode
  // byte's high bits), so the fuzzer still tries many pictures a second.
  if (data[16] >= 0xF0) {
    static stampo::PngEncoder encoder;  // kept from one input to the next, as in a batch
    std::vector<std::uint8_t> png;
    check(encoder.encode(out.data(), out.size(), png));
    check(png.size() > 8 + 25 + 12 + 12 && png[1] == 'P');
  }
  return 0;
}

// Fuzz target: the report scan over arbitrary bytes.
//
// Checks that the reads cover the input exactly, in the pieces a 1024-byte
// fgets buffer would give (at most 1023 bytes, ending at a line feed unless
// full or last), that reading through a FILE gives the same pieces, and
// that every figure converts and prints.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "decimal.h"
#include "modes.h"
#include "report.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

std::vector<std::string> readall(stampo::ReportLines& lines) {
  std::vector<std::string> out;
  const std::uint8_t* line;
  std::size_t length;
  while (lines.next(line, length)) out.emplace_back(reinterpret_cast<const char*>(line), length);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  stampo::ReportLines memory(data, size);
  const std::vector<std::string> reads = readall(memory);
  std::size_t at = 0;
  for (std::size_t i = 0; i < reads.size(); ++i) {
    const std::string& r = reads[i];
    check(!r.empty() && r.size() <= stampo::ReportLines::kMaxRead);
    check(std::memcmp(r.data(), data + at, r.size()) == 0);
    const bool last = i + 1 == reads.size();
    check(r.back() == '\n' || r.size() == stampo::ReportLines::kMaxRead || last);
    check(r.find('\n') == r.size() - 1 || r.find('\n') == std::string::npos);
    at += r.size();
  }
  check(at == size);

  // The same bytes from a source that gives them in pieces, as a file
  // read may: the pieces' sizes come from the bytes themselves.
  std::size_t given = 0, turn = 0;
  stampo::ReportLines pieces([&](std::uint8_t* to, std::size_t room, std::size_t& got) {
    const std::size_t piece = size > 0 ? 1 + std::size_t(data[turn++ % size]) * 97 : 1;
    got = std::min({room, size - given, piece});
    std::memcpy(to, data + given, got);
    given += got;
    return stampo::Failure();
  });
  check(readall(pieces) == reads && pieces.error().ok());

  stampo::ReportLines again(data, size);
  const stampo::ReportScan scan = stampo::scanreport(again);
  if (scan.status != stampo::ReportScan::kNoMarker)
    check(stampo::moderow(scan.summary.mode) != nullptr);
  check(!stampo::fixed2(scan.summary.average).empty());

  // The conversions on the whole input as one value text.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double real = stampo::parsereal(text);
  const std::string shown = stampo::fixed2(stampo::tofloat(real));
  check(shown.size() >= 4 || shown == "inf" || shown == "-inf");
  stampo::parseint(text);
  return 0;
}

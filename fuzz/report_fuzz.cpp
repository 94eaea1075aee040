// Fuzz target: the report scan over arbitrary bytes.
//
// Checks that the reads cover the input exactly, in the pieces a 1024-byte
// fgets buffer would give (at most 1023 bytes, ending at a line feed unless
// full or last), that reading through a FILE gives the same pieces, and
// that every figure converts and prints.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "decimal.h"
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

  if (size > 0) {
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    check(f != nullptr);
    stampo::ReportLines file(f);
    check(readall(file) == reads && file.error().ok());
    std::fclose(f);
  }

  stampo::ReportLines again(data, size);
  const stampo::ReportScan scan = stampo::scanreport(again);
  if (scan.status != stampo::ReportScan::kNoMarker)
    check(scan.summary.mode == stampo::kModePie || scan.summary.mode == stampo::kModePif);
  check(!stampo::fixed2(scan.summary.average).empty());

  // The conversions on the whole input as one value text.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double real = stampo::parsereal(text);
  const std::string shown = stampo::fixed2(stampo::tofloat(real));
  check(shown.size() >= 4 || shown == "inf" || shown == "-inf");
  stampo::parseint(text);
  return 0;
}

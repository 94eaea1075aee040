#pragma once
// The figures read from one scan report, as handed from the report
// driver to the picture annotator.
#include <cstdint>

namespace stampo {

// The kind of scan a report holds.
enum ScanMode : std::int32_t {
  kModeNone = 0,
  kModePie = 1,  // PIE Sum8
  kModePif = 2,  // PIF Sum1
};

struct ScanSummary {
  float average = 0.0f;
  std::int32_t maximum = 0;
  std::int32_t total = 0;
  std::int32_t pof = 0;
  ScanMode mode = kModeNone;
};

}  // namespace stampo

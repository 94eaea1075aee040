#pragma once
// The figures read from one scan report, as handed from the report
// driver to the picture annotator.
#include <cstdint>

namespace stampo {

// The kind of scan a report holds. Each mode but kModeNone has its row in
// the table of modes (modes.h), which says all that differs by mode.
enum ScanMode : std::int32_t {
  kModeNone = 0,
  kModePie = 1,  // PIE Sum8
  kModePif = 2,  // PIF Sum1
  kModeEnd       // one past the last mode
};

struct ScanSummary {
  float average = 0.0f;
  std::int32_t maximum = 0;
  std::int32_t total = 0;
  std::int32_t pof = 0;
  ScanMode mode = kModeNone;
};

}  // namespace stampo

#pragma once
// The scan modes a report can hold: one row each, with everything that
// differs by mode. To add a mode, add its value to ScanMode (summary.h),
// its label art (labels.cpp) and its row here: a mode without a complete
// row, or rows out of the enum's order, do not compile.
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "labels.h"
#include "summary.h"

namespace stampo {

struct ModeRow {
  // Every field must be given: a row cannot be left half made.
  constexpr ModeRow(ScanMode mode, const char* marker, const char* name, const LabelSet& labels)
      : mode(mode), marker(marker), name(name), labels(labels) {}
  ScanMode mode;
  // The line that begins a report's figures: these 23 bytes at the start
  // of a line, then anything.
  const char* marker;
  // The mode on the console ("Scanned mode : PIE Sum8") and in the CSV
  // table.
  const char* name;
  // The band's label art, cells 1 to 4.
  const LabelSet& labels;
};

inline constexpr std::size_t kMarkerLength = 23;

inline constexpr ModeRow kModes[] = {
    {kModePie, "<td width=\"86\">PIE</td>", "PIE Sum8", kPieLabels},
    {kModePif, "<td width=\"86\">PIF</td>", "PIF Sum1", kPifLabels},
};

namespace modecheck {
constexpr bool inorder() {
  for (std::size_t i = 0; i < std::size(kModes); ++i) {
    if (kModes[i].mode != ScanMode(i + 1)) return false;
    std::size_t n = 0;
    while (kModes[i].marker[n] != '\0') ++n;
    if (n != kMarkerLength) return false;
  }
  return true;
}
}  // namespace modecheck

static_assert(std::size(kModes) == std::size_t(kModeEnd) - 1, "every ScanMode has its row");
static_assert(modecheck::inorder(), "rows in the enum's order, each marker 23 bytes");

// The row of a mode, or nullptr for kModeNone and values that are none.
inline const ModeRow* moderow(ScanMode mode) {
  return mode > kModeNone && mode < kModeEnd ? &kModes[mode - 1] : nullptr;
}

}  // namespace stampo

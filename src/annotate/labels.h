#pragma once
// The black label art in the table's upper row (rows 300 to 310): "PIE
// Ave", "PIE Max", "PIE Total", "POF" for a PIE Sum8 scan, and the PIF
// words for a PIF Sum1 scan.
#include <cstdint>

#include "canvas.h"
#include "summary.h"

namespace stampo {

// Draws the label set of the scan mode; any mode but PIE and PIF draws
// nothing.
void putlabels(PlaneCanvas& canvas, ScanMode mode);

}  // namespace stampo

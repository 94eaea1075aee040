#pragma once
// The black label art in the table's upper row (rows 300 to 310): "PIE
// Ave", "PIE Max", "PIE Total", "POF" for a PIE Sum8 scan, and the PIF
// words for a PIF Sum1 scan.
#include <cstdint>

#include "canvas.h"
#include "summary.h"

namespace stampo {

// One label: its art (11 text lines, one a picture row from row 300
// down, one character a pixel: 'X' black, '.' left as it is) and the
// picture column of its first character.
struct Label {
  int left;
  const char* const* art;
};

// A mode's four labels, cells 1 to 4: average, maximum, total, POF.
using LabelSet = Label[4];

// The label sets, drawn as the table of modes (modes.h) says.
extern const LabelSet kPieLabels;
extern const LabelSet kPifLabels;

// Draws the label set of the scan mode; a value that is no mode draws
// nothing.
void putlabels(PlaneCanvas& canvas, ScanMode mode);

}  // namespace stampo

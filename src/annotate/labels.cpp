#include "labels.h"

#include "band.h"
#include "modes.h"

namespace stampo {
namespace {

// The labels of the table's upper row. Each is fixed pixel art, one text
// line per picture row from row 300 down, one character per pixel from
// the label's left column: X is black, '.' is left as it is (white).
using Art = const char* const[kLabelRows];

// clang-format off

// PIE Ave, columns 55 to 105.
constexpr Art kPieAve = {
    "XXXXXX...XXX..XXXXXXX.........XX...................",
    "X.....X...X...X...............XX...................",
    "X......X..X...X..............X..X..................",
    "X......X..X...X..............X..X..................",
    "X......X..X...X..............X..X....X.....X..XXX..",
    "X.....X...X...XXXXXX........X....X....X...X..X...X.",
    "XXXXXX....X...X.............X....X....X...X.X.....X",
    "X.........X...X............XXXXXXXX...X...X.XXXXXXX",
    "X.........X...X............X......X....X.X..X......",
    "X.........X...X............X......X....X.X...X....X",
    "X........XXX..XXXXXXX.....X........X....X.....XXXX.",
};

// PIE Max, columns 156 to 208.
constexpr Art kPieMax = {
    "XXXXXX...XXX..XXXXXXX.......X.........X..............",
    "X.....X...X...X.............XX.......XX..............",
    "X......X..X...X.............XX.......XX..............",
    "X......X..X...X.............X.X.....X.X..............",
    "X......X..X...X.............X.X.....X.X.XXXX..X.....X",
    "X.....X...X...XXXXXX........X.X.....X.XX....X..X...X.",
    "XXXXXX....X...X.............X..X...X..X.....X...X.X..",
    "X.........X...X.............X..X...X..X.XXXXX....X...",
    "X.........X...X.............X...X.X...XX....X...X.X..",
    "X.........X...X.............X...X.X...XX...XX..X...X.",
    "X........XXX..XXXXXXX.......X....X....X.XXX.X.X.....X",
};

// PIE Total, columns 254 to 312.
constexpr Art kPieTotal = {
    "XXXXXX..XXX..XXXXXXX......XXXXXXXXX.......................X",
    "X.....X..X...X................X...........................X",
    "X......X.X...X................X...............X...........X",
    "X......X.X...X................X...............X...........X",
    "X......X.X...X................X.......XXX...XXXXX.XXXX....X",
    "X.....X..X...XXXXXX...........X......X...X....X..X....X...X",
    "XXXXXX...X...X................X.....X.....X...X.......X...X",
    "X........X...X................X.....X.....X...X...XXXXX...X",
    "X........X...X................X.....X.....X...X..X....X...X",
    "X........X...X................X......X...X....X..X...XX...X",
    "X.......XXX..XXXXXXX..........X.......XXX......XX.XXX.X...X",
};

// POF, columns 373 to 400.
constexpr Art kPof = {
    "XXXXXX......XXX......XXXXXXX",
    "X.....X...XX...XX....X......",
    "X......X..X.....X....X......",
    "X......X.X.......X...X......",
    "X......X.X.......X...X......",
    "X.....X..X.......X...XXXXXX.",
    "XXXXXX...X.......X...X......",
    "X........X.......X...X......",
    "X.........X.....X....X......",
    "X.........XX...XX....X......",
    "X...........XXX......X......",
};

// PIF Ave, columns 55 to 105.
constexpr Art kPifAve = {
    "XXXXXX...XXX..XXXXXXX.........XX...................",
    "X.....X...X...X...............XX...................",
    "X......X..X...X..............X..X..................",
    "X......X..X...X..............X..X..................",
    "X......X..X...X..............X..X...X.....X...XXX..",
    "X.....X...X...XXXXXX........X....X...X...X...X...X.",
    "XXXXXX....X...X.............X....X...X...X..X.....X",
    "X.........X...X............XXXXXXXX..X...X..XXXXXXX",
    "X.........X...X............X......X...X.X...X......",
    "X.........X...X............X......X...X.X....X....X",
    "X........XXX..X...........X........X...X......XXXX.",
};

// PIF Max, columns 156 to 208.
constexpr Art kPifMax = {
    "XXXXXX...XXX..XXXXXXX.......X.........X..............",
    "X.....X...X...X.............XX.......XX..............",
    "X......X..X...X.............XX.......XX..............",
    "X......X..X...X.............X.X.....X.X..............",
    "X......X..X...X.............X.X.....X.X.XXXX..X.....X",
    "X.....X...X...XXXXXX........X.X.....X.XX....X..X...X.",
    "XXXXXX....X...X.............X..X...X..X.....X...X.X..",
    "X.........X...X.............X..X...X..X.XXXXX....X...",
    "X.........X...X.............X...X.X...XX....X...X.X..",
    "X.........X...X.............X...X.X...XX...XX..X...X.",
    "X........XXX..X.............X....X....X.XXX.X.X.....X",
};

// PIF Total, columns 254 to 312.
constexpr Art kPifTotal = {
    "XXXXXX...XXX..XXXXXXX.....XXXXXXXXX.......................X",
    "X.....X...X...X...............X...........................X",
    "X......X..X...X...............X...............X...........X",
    "X......X..X...X...............X...............X...........X",
    "X......X..X...X...............X.......XXX...XXXXX.XXXX....X",
    "X.....X...X...XXXXXX..........X......X...X....X..X....X...X",
    "XXXXXX....X...X...............X.....X.....X...X.......X...X",
    "X.........X...X...............X.....X.....X...X...XXXXX...X",
    "X.........X...X...............X.....X.....X...X..X....X...X",
    "X.........X...X...............X......X...X....X..X...XX...X",
    "X........XXX..X...............X.......XXX......XX.XXX.X...X",
};

// clang-format on

void putlabel(PlaneCanvas& canvas, const Label& label) {
  for (int v = 0; v < kLabelRows; ++v)
    for (int u = 0; label.art[v][u] != '\0'; ++u)
      if (label.art[v][u] == 'X') canvas.set(label.left + u, kLabelTop + v, 0);
}

}  // namespace

// Cells 1 to 4: average, maximum, total, POF.
const LabelSet kPieLabels = {{55, kPieAve}, {156, kPieMax}, {254, kPieTotal}, {373, kPof}};
const LabelSet kPifLabels = {{55, kPifAve}, {156, kPifMax}, {254, kPifTotal}, {373, kPof}};

void putlabels(PlaneCanvas& canvas, ScanMode mode) {
  const ModeRow* row = moderow(mode);
  if (row == nullptr) return;
  for (const Label& label : row->labels) putlabel(canvas, label);
}

}  // namespace stampo

#pragma once
// Where the statistics band lies in the stamped picture, rows counted from
// the top of its 340 rows. Written once, for all that draws or keeps it:
//
//   rows 0 to 294    the graph, as it was
//   rows 295, 296    the table's top lines, across the graph's last rows
//   rows 297 to 299  the graph's last rows, between the table's walls
//   rows 300 to 310  the labels, in the white strip (rows 300 to 339)
//   row  314         the line between labels and figures
//   rows 317 to 329  the figures
//   rows 333, 334    the table's bottom lines
namespace stampo {

constexpr int kBandTop = 295;    // the first row the band draws on; the graph's rows above stay
constexpr int kStripTop = 300;   // the white strip: rows 300 to 339
constexpr int kLabelTop = 300;   // labels: rows 300 to 310
constexpr int kLabelRows = 11;
constexpr int kFigureTop = 317;  // figures: glyph rows 317 to 329
constexpr int kGridRows[] = {295, 296, 314, 333, 334};
constexpr int kGridTop = 296;     // the table's walls run from here ...
constexpr int kGridBottom = 333;  // ... to here

}  // namespace stampo

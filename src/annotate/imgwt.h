#pragma once
// The picture annotator: stamps one scan graph picture with the report's
// figures.
#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "summary.h"

namespace stampo {

// Buffers handed from one picture to the next, so that a batch allocates
// and clears them once rather than per picture. Nothing in them carries
// over: each call overwrites what it uses.
struct Workspace {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  std::vector<std::uint8_t> backup;
  PlaneCanvas canvas;
};

// Reads the picture at `path`, keeps its original as `path` + ".bak", and
// rewrites the picture 340 rows high with the statistics band at its foot.
//
// The original is always somewhere on disk. The backup is written to a
// temporary file, flushed to the disk and renamed into place before the
// picture is opened for writing. A picture that was stamped before, whose
// backup still holds the picture it was stamped from, keeps that backup.
// Other copies of the program wait while this one works on the picture.
// A picture whose rewrite fails gets its original bytes back where the
// disk allows, and is otherwise reported as damaged.
//
// On any failure it prints the reason (a refused picture on standard
// output, a failed file operation with the file's path on standard error)
// and returns false.
bool imgwt(const std::string& path, const ScanSummary& summary, Workspace& work);

}  // namespace stampo

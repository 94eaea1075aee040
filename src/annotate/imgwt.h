#pragma once
// The picture annotator: stamps one scan graph picture with the report's
// figures.
#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "summary.h"

namespace stampo {

// Reads the picture at `path`, keeps a byte-for-byte copy of it as
// `path` + ".bak", and rewrites the picture 340 rows high with the
// statistics band at its foot. On any failure it prints the reason (a
// refused picture on standard output, a failed file operation through
// perror) and returns false. The picture is never opened for writing
// before its backup is safely closed, and a picture whose rewrite fails
// gets its original bytes back where the disk allows.
// Buffers handed from one picture to the next, so that a batch allocates
// and clears them once rather than per picture. Nothing in them carries
// over: each call overwrites what it uses.
struct Workspace {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  PlaneCanvas canvas;
};

bool imgwt(const std::string& path, const ScanSummary& summary, Workspace& work);

}  // namespace stampo

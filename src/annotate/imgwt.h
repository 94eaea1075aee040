#pragma once
// The picture annotator: stamps one scan graph picture with the report's
// figures.
#include <cstdint>
#include <string>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "fileio.h"
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

// Why a picture was not stamped.
struct StampFailure {
  BmpError refused = BmpError::kNone;  // the picture cannot be stamped, or else
  IoError io;                          // a file operation failed
  std::string file;                    // on this file (the picture or its backup)
  bool damaged = false;                // and the picture's original could not be put back
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
// disk allows, and is otherwise left damaged, with its original in the
// backup.
//
// Returns false with `failure` filled when the picture was not stamped.
bool imgwt(const std::string& path, const ScanSummary& summary, Workspace& work,
           StampFailure& failure);

}  // namespace stampo

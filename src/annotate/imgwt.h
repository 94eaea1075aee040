#pragma once
// The picture annotator: stamps one scan graph picture with the report's
// figures.
#include <cstdint>
#include <string>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "fileerror.h"
#include "png.h"
#include "summary.h"

namespace stampo {

// Buffers handed from one picture to the next, so that a batch allocates
// and clears them once rather than per picture. Nothing in them carries
// over: each call overwrites what it uses.
struct Workspace {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  std::vector<std::uint8_t> backup;
  std::vector<std::uint8_t> png;
  PngEncoder encoder;
  PlaneCanvas canvas;
};

// Why a picture was not stamped; ok() when it was.
struct StampFailure {
  enum Kind {
    kNone,
    kRefused,        // the picture cannot be stamped: `refused` says why
    kFile,           // a file operation failed: `file` says which and why
    kForeignBackup,  // stamped before, and its backup is not its original
                     // (`file` is set when the backup could not be read)
    kSameFile,       // the picture and its backup are one file
  };
  Kind kind = kNone;
  BmpError refused = BmpError::kNone;
  FileError file;

  bool ok() const { return kind == kNone; }
};

// Reads the picture at `path`, keeps its original as `path` + ".bak", and
// replaces the picture with itself 340 rows high, the statistics band at
// its foot.
//
// The original is always somewhere on disk. Both files are replaced whole
// (see file.h): the backup first, then the picture, so a crash at any
// moment leaves the picture's original in the picture or in the backup,
// and running again finishes the work. A picture that cannot be stamped,
// or that the user cannot write, is refused before anything is written.
// A picture that was stamped before (340 rows high) keeps a backup that
// holds its original; a backup that does not, or that cannot be read, is
// never replaced: the picture is then refused (kForeignBackup). A picture
// that is the same file as its backup (a link, a hard link) is refused
// (kSameFile). Everything that can be known before the backup is written
// (the picture can be written and replaced, the backup's place takes a
// file) is checked before it. Other copies of the program wait while this
// one works on the picture.
//
// With `png` set, the stamped picture is also written there as a PNG (see
// png.h), replaced whole with the picture's rules, once the picture is.
StampFailure imgwt(const std::string& path, const ScanSummary& summary, Workspace& work,
                   const std::string& png = std::string());

}  // namespace stampo

#include "imgwt.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "durable.h"
#include "fileio.h"
#include "osfile.h"
#include "stamp.h"

namespace stampo {
namespace {

bool failed(StampFailure& failure, const IoError& e, const std::string& file) {
  failure.io = e;
  failure.file = file;
  return false;
}

// Whether the backup beside a picture already holds the original of this
// picture, which was stamped before: then a rerun must keep it.
bool keepsbackup(const std::vector<std::uint8_t>& picture, const std::string& backup,
                 std::vector<std::uint8_t>& buffer) {
  BmpHeader header;
  if (bmpcheck(picture.data(), picture.size(), header) != BmpError::kNone ||
      header.height != kOutputRows)
    return false;
  if (readwhole(backup, buffer, kMaxPictureFile)) return false;  // none, or unreadable
  return isstampof(picture.data(), picture.size(), buffer.data(), buffer.size());
}

}  // namespace

bool imgwt(const std::string& path, const ScanSummary& summary, Workspace& work,
           StampFailure& failure) {
  failure = StampFailure();
  FilePtr picture = openfile(path, "rb");
  if (!picture) return failed(failure, ioerror("fopen"), path);
  // Held until this picture is done: another copy of the program started
  // on the same reports waits here, so it neither reads a half-written
  // picture nor backs up one that this copy is stamping.
  if (!lockfile(picture.get())) return failed(failure, ioerror("flock"), path);
  std::vector<std::uint8_t>& input = work.input;
  if (const IoError e = readall(picture.get(), input, kMaxPictureFile))
    return failed(failure, e, path);

  // Stamp in memory first: the picture is only opened for writing once
  // everything that can be checked has been.
  std::vector<std::uint8_t>& output = work.output;
  failure.refused = stamppicture(input.data(), input.size(), summary, work.canvas, output);
  if (failure.refused != BmpError::kNone) return false;

  // The backup is the input file exactly, trailing bytes and all, and is
  // on the disk before the picture is touched.
  const std::string backup = path + ".bak";
  if (!keepsbackup(input, backup, work.backup)) {
    if (const IoError e = replacedurably(backup, input.data(), input.size()))
      return failed(failure, e, backup);
  }

  if (const IoError e = writewhole(path, output.data(), output.size())) {
    // Put the original back rather than leave a half-written picture.
    failure.damaged = bool(writewhole(path, input.data(), input.size()));
    return failed(failure, e, path);
  }
  if (!closefile(picture)) return failed(failure, ioerror("fclose"), path);
  return true;
}

}  // namespace stampo

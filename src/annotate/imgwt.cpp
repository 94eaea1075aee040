#include "imgwt.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "fileio.h"
#include "stamp.h"

namespace stampo {
namespace {

bool failed(const char* call) {
  std::perror(call);
  return false;
}

}  // namespace

bool imgwt(const std::string& path, const ScanSummary& summary, Workspace& work) {
  std::vector<std::uint8_t>& input = work.input;
  if (const char* call = readwhole(path, input, kMaxPictureFile)) return failed(call);

  // Stamp in memory first: the picture is only opened for writing once
  // everything that can be checked has been, and stays emptied on disk
  // for no longer than one write.
  std::vector<std::uint8_t>& output = work.output;
  const BmpError error = stamppicture(input.data(), input.size(), summary, work.canvas, output);
  if (error != BmpError::kNone) {
    std::fputs(bmpmessage(error), stdout);
    return false;
  }

  // The backup is the input file exactly, trailing bytes and all.
  if (const char* call = writewhole(path + ".bak", input.data(), input.size())) return failed(call);

  if (const char* call = writewhole(path, output.data(), output.size())) {
    std::perror(call);
    // Put the original back rather than leave a half-written picture; if
    // that fails too, the backup holds it.
    writewhole(path, input.data(), input.size());
    return false;
  }
  return true;
}

}  // namespace stampo

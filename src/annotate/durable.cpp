#include "durable.h"

#include <cerrno>

#include "osfile.h"

namespace stampo {
namespace {

constexpr unsigned kAttempts = 100;

}  // namespace

std::string temporaryname(const std::string& path, unsigned attempt) {
  return path + "." + std::to_string(processid()) + "-" + std::to_string(attempt) + ".stampo-tmp";
}

IoError replacedurably(const std::string& path, const std::uint8_t* data, std::size_t size) {
  OsFile file;
  std::string temporary;
  for (unsigned attempt = 0;; ++attempt) {
    temporary = temporaryname(path, attempt);
    if (file.createnew(temporary)) break;
    if (errno != EEXIST || attempt + 1 == kAttempts) return ioerror("fopen");
  }
  IoError error;
  if (!file.write(data, size)) {
    error = ioerror("fwrite");
  } else if (!file.sync()) {
    error = ioerror("fsync");
  } else if (!file.close()) {
    error = ioerror("fclose");
  } else if (!replacefile(temporary, path)) {
    error = ioerror("rename");
  } else {
    // The rename is done; a failure to make it durable still leaves the
    // new file in place, so there is nothing to remove.
    if (!syncfolder(path)) return ioerror("fsync");
    return {};
  }
  file.close();  // closed before removal, as Windows requires; the error stands
  removefile(temporary);
  return error;
}

}  // namespace stampo

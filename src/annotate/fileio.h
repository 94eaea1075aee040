#pragma once
// Files through the C library, with every step checked. A failure comes
// back as an IoError: the name of the call that failed ("fopen", "fread",
// "fwrite", "fclose", ...) and the errno it left, captured at once so that
// clean-up steps cannot overwrite it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace stampo {

struct IoError {
  const char* call = nullptr;  // nullptr: no failure
  int code = 0;                // errno value

  explicit operator bool() const { return call != nullptr; }
};

// The failure of `call`, with the errno it left.
IoError ioerror(const char* call);

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens in binary mode; mode is "rb" or "wb". On Windows the path is
// UTF-8, opened through the wide-character calls.
FilePtr openfile(const std::string& path, const char* mode);

// Closes the file and reports whether the close (with its final flush)
// succeeded.
bool closefile(FilePtr& f);

// Reads an open file from its current position to its end, but never
// more than limit + 1 bytes: a longer file (or a device that never ends)
// shows as out.size() > limit.
IoError readall(std::FILE* f, std::vector<std::uint8_t>& out, std::size_t limit);

// The same for the file at `path`, opened and closed here.
IoError readwhole(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit);

// Replaces the file's contents in place (same file, same permissions).
IoError writewhole(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace stampo

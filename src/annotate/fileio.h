#pragma once
// Whole-file reads and writes with every step checked. On failure each
// returns the name of the C library call that failed ("fopen", "fread",
// "fwrite", "fclose"), with errno as that call left it, for the caller to
// pass to perror; on success nullptr.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace stampo {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens in binary mode; mode is "rb" or "wb".
FilePtr openfile(const std::string& path, const char* mode);

// Closes the file and reports whether the close (with its final flush)
// succeeded.
bool closefile(FilePtr& f);

// Reads the file, but never more than limit + 1 bytes: a longer file (or a
// device that never ends) shows as out.size() > limit.
const char* readwhole(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit);

const char* writewhole(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace stampo

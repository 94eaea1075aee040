#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "widepath.h"

namespace stampo {

IoError ioerror(const char* call) { return IoError{call, errno}; }

FilePtr openfile(const std::string& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wide = systempath(path);
  return FilePtr(_wfopen(wide.c_str(), mode[0] == 'r' ? L"rb" : L"wb"));
#else
  return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

bool closefile(FilePtr& f) { return std::fclose(f.release()) == 0; }

IoError readall(std::FILE* f, std::vector<std::uint8_t>& out, std::size_t limit) {
  // A regular file tells its size and is read in one call; anything else
  // (a pipe, a device) in growing blocks.
  std::size_t block = std::size_t(1) << 16;
  const long start = std::ftell(f);
  if (start >= 0 && std::fseek(f, 0, SEEK_END) == 0) {
    const long end = std::ftell(f);
    if (end > start && std::size_t(end - start) < limit) block = std::size_t(end - start) + 1;
    if (std::fseek(f, start, SEEK_SET) != 0) return ioerror("fseek");
  }
  // `out` keeps its size from an earlier picture: resizing it to the same
  // size again costs nothing, where growing it from empty would clear it.
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min(block, limit + 1 - used);
    out.resize(used + want);
    const std::size_t got = std::fread(out.data() + used, 1, want, f);
    used += got;
    if (got < want) break;
    block *= 2;
  }
  out.resize(used);
  if (std::ferror(f)) return ioerror("fread");
  return {};
}

IoError readwhole(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
  FilePtr f = openfile(path, "rb");
  if (!f) return ioerror("fopen");
  if (const IoError e = readall(f.get(), out, limit)) return e;
  if (!closefile(f)) return ioerror("fclose");
  return {};
}

IoError writewhole(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FilePtr f = openfile(path, "wb");
  if (!f) return ioerror("fopen");
  if (size != 0 && std::fwrite(data, 1, size, f.get()) != size) return ioerror("fwrite");
  if (std::fflush(f.get()) != 0) return ioerror("fwrite");
  if (!closefile(f)) return ioerror("fclose");
  return {};
}

}  // namespace stampo

#include "fileio.h"

#include <algorithm>

namespace stampo {

FilePtr openfile(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

bool closefile(FilePtr& f) { return std::fclose(f.release()) == 0; }

const char* readwhole(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
  FilePtr f = openfile(path, "rb");
  if (!f) return "fopen";
  // A regular file tells its size and is read in one call; anything else
  // (a pipe, a device) in growing blocks.
  std::size_t block = std::size_t(1) << 16;
  if (std::fseek(f.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(f.get());
    if (size > 0 && std::size_t(size) < limit) block = std::size_t(size) + 1;
    if (std::fseek(f.get(), 0, SEEK_SET) != 0) return "fseek";
  }
  // `out` keeps its size from an earlier picture: resizing it to the same
  // size again costs nothing, where growing it from empty would clear it.
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min(block, limit + 1 - used);
    out.resize(used + want);
    const std::size_t got = std::fread(out.data() + used, 1, want, f.get());
    used += got;
    if (got < want) break;
    block *= 2;
  }
  out.resize(used);
  if (std::ferror(f.get())) return "fread";
  if (!closefile(f)) return "fclose";
  return nullptr;
}

const char* writewhole(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FilePtr f = openfile(path, "wb");
  if (!f) return "fopen";
  if (size != 0 && std::fwrite(data, 1, size, f.get()) != size) return "fwrite";
  if (std::fflush(f.get()) != 0) return "fwrite";
  if (!closefile(f)) return "fclose";
  return nullptr;
}

}  // namespace stampo

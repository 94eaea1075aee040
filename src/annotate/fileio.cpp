#include "fileio.h"

namespace stampo {

FilePtr openfile(const std::string& path, const char* mode) {
  return FilePtr(std::fopen(path.c_str(), mode));
}

bool closefile(FilePtr& f) { return std::fclose(f.release()) == 0; }

const char* readwhole(const std::string& path, std::vector<std::uint8_t>& out) {
  FilePtr f = openfile(path, "rb");
  if (!f) return "fopen";
  // The graph pictures are under half a megabyte: read in large blocks
  // without asking the size first, so that pipes and devices work too.
  constexpr std::size_t kBlock = 1 << 19;
  out.clear();
  std::size_t used = 0;
  for (;;) {
    out.resize(used + kBlock);
    const std::size_t got = std::fread(out.data() + used, 1, kBlock, f.get());
    used += got;
    if (got < kBlock) break;
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

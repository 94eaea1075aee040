// The I/O floor of a batch: for each report path, the file operations
// stampo does, with no decoding or drawing. Reads the report and the
// picture beside it, writes the picture's bytes to NAME.bmp.bak, and writes
// a picture of the stamped size (54 + 3 * 468 * 340 bytes) in its place.
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool readall(const std::string& path, std::vector<unsigned char>& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  out.resize(size > 0 ? std::size_t(size) : 0);
  const bool ok = std::fread(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

bool writeall(const std::string& path, const std::vector<unsigned char>& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<unsigned char> report, picture, stamped(54 + 3 * 468 * 340);
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    const std::string bmp = path.substr(0, path.find(".html")) + ".bmp";
    if (!readall(path, report) || !readall(bmp, picture) || !writeall(bmp + ".bak", picture) ||
        !writeall(bmp, stamped)) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}

// The I/O floor of a batch: for each report path, the file operations
// stampo does, with no decoding or drawing (it takes only the rule that
// names the picture beside a report from stampo). Reads the report and the
// picture beside it, writes the picture's bytes to a temporary file,
// flushes it to the disk and renames it to NAME.bmp.bak, flushes the
// folder, then does the same with a picture of the stamped size
// (54 + 3 * 468 * 340 bytes: the picture's own bytes, then white) renamed
// over the picture. Each new file gets the picture's owner and bits, the
// backup its date too, as a careful program gives them. (Real bytes, not
// zeros: storage that skips or compresses zero pages would otherwise make
// the floor cheaper than any real picture.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "report.h"

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

bool writedurably(const std::string& path, const std::vector<unsigned char>& data,
                  const struct stat& like, bool keeptime) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  const struct timespec times[2] = {like.st_atim, like.st_mtim};
  const bool ok = ::fchown(fd, like.st_uid, like.st_gid) == 0 &&
                  ::fchmod(fd, like.st_mode & 0777) == 0 &&
                  ::write(fd, data.data(), data.size()) == ssize_t(data.size()) &&
                  (!keeptime || ::futimens(fd, times) == 0) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) return false;
  const std::size_t slash = path.rfind('/');
  const int folder = ::open(slash == std::string::npos ? "." : path.substr(0, slash).c_str(),
                            O_RDONLY | O_DIRECTORY);
  return folder >= 0 && ::fsync(folder) == 0 && ::close(folder) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr std::size_t kStamped = 54 + 3 * 468 * 340;
  std::vector<unsigned char> report, picture, stamped;
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    const std::string bmp = stampo::picturepath(path);  // the program's own rule
    struct stat like;
    const bool ok = readall(path, report) && readall(bmp, picture) &&
                    ::stat(bmp.c_str(), &like) == 0 && writedurably(bmp + ".bak", picture, like, true);
    stamped.assign(picture.begin(), picture.end());
    stamped.resize(kStamped, 255);
    if (!ok || !writedurably(bmp, stamped, like, false)) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}

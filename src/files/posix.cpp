// The file layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "file.h"
#include "paths.h"

namespace stampo {

FileError lasterror(const char* call, const std::string& file) { return {call, file, errno}; }

bool FileError::notfound() const { return code == ENOENT || code == ENOTDIR; }

std::string reason(const FileError& e) { return std::strerror(e.code); }

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string joinpath(const std::string& folder, const std::string& name) {
  // A folder that ends in a separator (or a drive, "C:") needs none more.
  if (folder.empty() || namestart(folder + "x") == folder.size()) return folder + name;
  return folder + '/' + name;
}

FileError openstream(const std::string& path, StreamPtr& out) {
  out.reset(std::fopen(path.c_str(), "rb"));
  return out ? FileError() : lasterror("fopen", path);
}

FileError closestream(StreamPtr& f, const std::string& path) {
  return std::fclose(f.release()) == 0 ? FileError() : lasterror("fclose", path);
}

namespace {

// The temporary file being written, removed by the signal handler: a
// string the handler only reads, swapped in and out whole.
std::atomic<char*> beingwritten{nullptr};

extern "C" void removeandexit(int signal) {
  if (const char* temporary = beingwritten.load()) ::unlink(temporary);
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered once this handler returns: the usual end
}

void watchsignals() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction was = {};
    // A signal the caller chose to ignore (nohup, a background job) stays
    // ignored.
    if (::sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    struct sigaction now = {};
    now.sa_handler = removeandexit;
    sigemptyset(&now.sa_mask);
    ::sigaction(signal, &now, nullptr);
  }
}

// Marks `path` as the temporary file being written (or none, for an
// empty path), for the signal handler.
void writing(const std::string& path) {
  watchsignals();
  char* now = nullptr;
  if (!path.empty()) {
    now = static_cast<char*>(std::malloc(path.size() + 1));
    if (now != nullptr) std::memcpy(now, path.c_str(), path.size() + 1);
  }
  std::free(beingwritten.exchange(now));
}

FileError readfd(int fd, std::vector<std::uint8_t>& out, std::size_t limit,
                 const std::string& path) {
  // A regular file tells its size and is read in one call; anything else
  // (a pipe, a device) in growing blocks.
  std::size_t block = std::size_t(1) << 16;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
      std::uintmax_t(st.st_size) < limit)
    block = std::size_t(st.st_size) + 1;
  // `out` keeps its size from an earlier file: resizing it to the same
  // size again costs nothing, where growing it from empty would clear it.
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min(block, limit + 1 - used);
    out.resize(used + want);
    const ssize_t got = ::read(fd, out.data() + used, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      const FileError e = lasterror("fread", path);
      out.resize(used);
      return e;
    }
    if (got == 0) break;
    used += std::size_t(got);
    if (std::size_t(got) == want) block *= 2;
  }
  out.resize(used);
  return {};
}

// Closes a descriptor that was only read: there is nothing to lose.
void closeread(int fd) { ::close(fd); }

FileError writefd(int fd, const std::uint8_t* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return lasterror("fwrite", path);
    }
    data += n;
    size -= std::size_t(n);
  }
  return {};
}

// Makes the renames in `folder` durable.
FileError syncfolder(const std::string& folder, const std::string& path) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lasterror("fsync", path);
  // Some file systems cannot flush a folder and say so (EINVAL); their
  // renames are as durable as they make them.
  FileError e;
  if (::fsync(fd) != 0 && errno != EINVAL) e = lasterror("fsync", path);
  if (::close(fd) != 0 && e.ok()) e = lasterror("fsync", path);
  return e;
}

// The durable replacement (file.h) of `target`, whose failures are told
// as failures on `path`, the name the user knows.
FileError replaceat(const std::string& target, const std::string& path, const std::uint8_t* data,
                    std::size_t size, const struct stat& like) {
  const std::string temporary = temporaryname(target);
  // Only one copy of the program works on a file at a time (it holds the
  // lock), so a file by this name is what an interrupted run left.
  ::unlink(temporary.c_str());
  writing(temporary);
  // Created for our eyes only; the owner, group and bits of `like` follow.
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  FileError e = fd < 0 ? lasterror("fopen", path) : FileError();
  if (fd >= 0) {
    // The owner and group only where the system lets us give them away
    // (as root, or to a group we belong to). A group we could not give
    // loses its access, so the new file is never more readable than `like`.
    if (::fchown(fd, like.st_uid, like.st_gid) != 0) (void)::fchown(fd, uid_t(-1), like.st_gid);
    mode_t mode = like.st_mode & 0777;
    struct stat now;
    if (::fstat(fd, &now) != 0 || now.st_gid != like.st_gid) mode &= ~mode_t(0070);
    if (::fchmod(fd, mode) != 0) e = lasterror("fopen", path);
    if (e.ok()) e = writefd(fd, data, size, path);
    if (e.ok() && ::fsync(fd) != 0) e = lasterror("fsync", path);
    if (::close(fd) != 0 && e.ok()) e = lasterror("fclose", path);
    if (e.ok() && ::rename(temporary.c_str(), target.c_str()) != 0) e = lasterror("rename", path);
    if (!e.ok()) ::unlink(temporary.c_str());
  }
  writing("");
  if (!e.ok()) return e;
  std::string folder = std::filesystem::path(target).parent_path().string();
  return syncfolder(folder.empty() ? "." : folder, path);
}

}  // namespace

FileError readfile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return lasterror("fopen", path);
  const FileError e = readfd(fd, out, limit, path);
  closeread(fd);
  return e;
}

LockedFile::~LockedFile() {
  if (file_ >= 0) closeread(int(file_));
}

FileError LockedFile::open(const std::string& path) {
  path_ = path;
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return lasterror("fopen", path);
    file_ = fd;
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return {};  // no locks here
      return lasterror("flock", path);
    }
    // The copy that held the lock before may have replaced the file: then
    // the path names a new one, and that is the one to lock and read.
    struct stat locked, named;
    if (::fstat(fd, &locked) != 0) return lasterror("fopen", path);
    if (::stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
        named.st_ino == locked.st_ino)
      return {};
    closeread(fd);
    file_ = -1;
  }
}

FileError LockedFile::readall(std::vector<std::uint8_t>& out, std::size_t limit) {
  return readfd(int(file_), out, limit, path_);
}

FileError LockedFile::checkwritable() const {
  return ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0 ? FileError()
                                                                     : lasterror("fopen", path_);
}

FileError LockedFile::replace(const std::uint8_t* data, std::size_t size) {
  struct stat st, link;
  if (::fstat(int(file_), &st) != 0) return lasterror("fopen", path_);
  // A symbolic link stays: the file it names is the one replaced.
  std::string target = path_;
  if (::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* real = ::realpath(path_.c_str(), nullptr);
    if (real == nullptr) return lasterror("fopen", path_);
    target = real;
    std::free(real);
  }
  return replaceat(target, path_, data, size, st);
}

FileError LockedFile::close() {
  if (file_ < 0) return {};
  const int fd = int(file_);
  file_ = -1;
  return ::close(fd) == 0 ? FileError() : lasterror("fclose", path_);
}

FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const LockedFile& like) {
  struct stat st;
  if (::fstat(int(like.file_), &st) != 0) return lasterror("fopen", like.path_);
  return replaceat(path, path, data, size, st);
}

bool isfolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileError listfolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return lasterror("fopen", folder);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!isfolder(joinpath(folder, name))) names.push_back(name);
    errno = 0;
  }
  const FileError e = errno != 0 ? lasterror("fread", folder) : FileError();
  ::closedir(dir);
  return e;
}

std::vector<std::string> expandwildcards(const std::string& arg) { return {arg}; }

}  // namespace stampo

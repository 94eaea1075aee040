// The file layer's system calls on POSIX systems.
#include <acl/libacl.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "file.h"
#include "system.h"

namespace stampo {

FileError lasterror(const char* call, const std::string& file) { return {call, file, errno}; }

bool FileError::notfound() const { return code == ENOENT || code == ENOTDIR; }
bool FileError::notafile() const { return code == kNotAFile || code == EISDIR; }
bool FileError::held() const { return code == ETXTBSY; }
bool FileError::denied() const { return code == EACCES || code == EPERM || code == EROFS; }
bool FileError::full() const { return code == ENOSPC || code == EDQUOT || code == EFBIG; }

const bool kNamesIgnoreCase = false;

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

namespace {

// The folder a path lies in, as a path of its own.
std::string folderof(const std::string& path) {
  const std::size_t start = namestart(path);
  if (start == 0) return ".";
  return start == 1 ? "/" : path.substr(0, start - 1);
}

// A failure with a code of our own choosing.
FileError failure(const char* call, const std::string& file, int code) {
  errno = code;
  return lasterror(call, file);
}

// The temporary file being written, for the signal handler: a fixed
// buffer, changed only while the signals are blocked, so the handler
// never sees it half-written.
char beingwritten[PATH_MAX + 1];
const int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeandexit(int signal) {
  if (beingwritten[0] != '\0') ::unlink(beingwritten);
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered once this handler returns: the usual end
}

void watchsignals() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  for (const int signal : kWatchedSignals) {
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

// Opens `path` with `flags` if it is a regular file (or, with O_CREAT,
// nothing yet); anything else is refused without waiting on it.
FileError openregular(const std::string& path, int flags, sys::Handle& h, const std::string& shown) {
  // Looked at before it is opened: opening a device may do something, and
  // opening a pipe waits for a writer.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return failure("fopen", shown, S_ISDIR(st.st_mode) ? EISDIR : kNotAFile);
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return lasterror("fopen", shown);
  // And again once open, in case the path changed in between.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return failure("fopen", shown, kNotAFile);
  }
  h = fd;
  return {};
}

}  // namespace

namespace sys {

const char kSeparator = '/';
const bool kCloseBeforeRename = false;

std::string systemwords(int code) { return std::strerror(code); }

FileError openfile(const std::string& path, bool write, Handle& h, const std::string& shown) {
  return openregular(path, write ? O_RDWR : O_RDONLY, h, shown);
}

std::uint64_t sizeof_(Handle h) {
  struct stat st;
  return ::fstat(int(h), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
             ? std::uint64_t(st.st_size)
             : 0;
}

FileError readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                   const std::string& shown) {
  for (;;) {
    const ssize_t got = ::read(int(h), data, size);
    if (got >= 0) return done = std::size_t(got), FileError();
    if (errno != EINTR) return lasterror("fread", shown);
  }
}

FileError writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                    const std::string& shown) {
  for (;;) {
    const ssize_t n = ::write(int(h), data, size);
    if (n > 0) return done = std::size_t(n), FileError();
    if (n < 0 && errno == EINTR) continue;
    return n == 0 ? failure("fwrite", shown, ENOSPC) : lasterror("fwrite", shown);
  }
}

void closeread(Handle h) { ::close(int(h)); }

FileError closewritten(Handle h, const std::string& shown) {
  return ::close(int(h)) == 0 ? FileError() : lasterror("fclose", shown);
}

FileError copyrules(Handle like, Handle to, const std::string& shown) {
  struct stat st;
  if (::fstat(int(like), &st) != 0) return lasterror("fopen", shown);
  // The owner and group only where the system lets us give them away (as
  // root, or to a group we belong to).
  if (::fchown(int(to), st.st_uid, st.st_gid) != 0) (void)::fchown(int(to), uid_t(-1), st.st_gid);
  // Permission bits and ACL (libacl): an ACL that cannot be set where it
  // says more than the bits fails, rather than leave the file more open.
  if (::perm_copy_fd(shown.c_str(), int(like), shown.c_str(), int(to), nullptr) != 0)
    return lasterror("chmod", shown);
  // A group we could not give loses its access (and with an ACL, so do
  // the named users and groups: the group bits are its mask), so the new
  // file is never more readable than `like`. No set-id bits on our files.
  struct stat now;
  if (::fstat(int(to), &now) != 0) return lasterror("chmod", shown);
  mode_t mode = now.st_mode & 0777;
  if (now.st_gid != st.st_gid) mode &= ~mode_t(0070);
  if (mode != (now.st_mode & 07777) && ::fchmod(int(to), mode) != 0)
    return lasterror("chmod", shown);
  // Extended attributes (libattr), those the system lets us copy; the ACL
  // is not among them, it was copied above.
  (void)::attr_copy_fd(shown.c_str(), int(like), shown.c_str(), int(to), nullptr, nullptr);
  return {};
}

FileError copytimes(Handle like, Handle to, const std::string& shown) {
  struct stat st;
  if (::fstat(int(like), &st) != 0) return lasterror("fopen", shown);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  return ::futimens(int(to), times) == 0 ? FileError() : lasterror("utime", shown);
}

FileError createnew(const std::string& path, Handle& h, const std::string& shown) {
  // For our eyes only until copyrules() gives it the rules it keeps.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return lasterror("fopen", shown);
  h = fd;
  return {};
}

FileError openappend(const std::string& path, Handle& h, const std::string& shown) {
  return openregular(path, O_WRONLY | O_CREAT | O_APPEND, h, shown);
}

FileError flush(Handle h, const std::string& shown) {
  return ::fsync(int(h)) == 0 ? FileError() : lasterror("fsync", shown);
}

FileError renameover(const std::string& from, const std::string& to, const std::string& shown) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? FileError() : lasterror("rename", shown);
}

FileError flushfolder(const std::string& path, const std::string& shown) {
  const int fd = ::open(folderof(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lasterror("fsync", shown);
  // Some file systems cannot flush a folder and say so (EINVAL); their
  // renames are as durable as they make them.
  FileError e;
  if (::fsync(fd) != 0 && errno != EINVAL) e = lasterror("fsync", shown);
  if (::close(fd) != 0 && e.ok()) e = lasterror("fsync", shown);
  return e;
}

FileError removefile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT ? FileError() : lasterror("remove", path);
}

FileError realtarget(const std::string& path, std::string& target) {
  struct stat link;
  target = path;
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return {};
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return lasterror("fopen", path);
  target = real;
  std::free(real);
  return {};
}

FileError maywrite(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ? FileError()
                                                                    : lasterror("fopen", path);
}

bool samefile(Handle h, const std::string& other) {
  struct stat a, b;
  return ::fstat(int(h), &a) == 0 && ::stat(other.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

FileError mayreplace(const std::string& path, const std::string& shown) {
  // A new file in the folder, and a rename in it.
  const std::string folder = folderof(path);
  struct stat dir;
  if (::stat(folder.c_str(), &dir) != 0 ||
      ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return lasterror("fopen", shown);
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? FileError() : lasterror("fopen", shown);
  if (S_ISDIR(st.st_mode)) return failure("fopen", shown, EISDIR);
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return failure("fopen", shown, kNotAFile);
  // A sticky folder (/tmp) lets only a file's owner, the folder's owner
  // and root rename over a file.
  const uid_t me = ::geteuid();
  if ((dir.st_mode & S_ISVTX) != 0 && me != 0 && st.st_uid != me && dir.st_uid != me)
    return failure("rename", shown, EPERM);
  return {};
}

void watchtemporary(const std::string& path) {
  watchsignals();
  sigset_t block, was;
  sigemptyset(&block);
  for (const int signal : kWatchedSignals) sigaddset(&block, signal);
  ::sigprocmask(SIG_BLOCK, &block, &was);
  // A name too long for the buffer cannot be created either.
  if (path.size() < sizeof beingwritten)
    std::memcpy(beingwritten, path.c_str(), path.size() + 1);
  else
    beingwritten[0] = '\0';
  ::sigprocmask(SIG_SETMASK, &was, nullptr);
}

}  // namespace sys

FileError openstream(const std::string& path, StreamPtr& out) {
  sys::Handle h = sys::kNoHandle;
  if (const FileError e = sys::openfile(path, false, h, path); !e.ok()) return e;
  out.reset(::fdopen(int(h), "rb"));
  if (out) return {};
  const FileError e = lasterror("fopen", path);
  sys::closeread(h);
  return e;
}

LockedFile::~LockedFile() {
  if (file_ >= 0) sys::closeread(file_);
}

FileError LockedFile::open(const std::string& path) {
  path_ = path;
  target_.clear();
  for (;;) {
    sys::Handle fd = sys::kNoHandle;
    if (const FileError e = sys::openfile(path, false, fd, path); !e.ok()) return e;
    file_ = fd;
    while (::flock(int(fd), LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return {};  // no locks here
      return lasterror("flock", path);
    }
    // The copy that held the lock before may have replaced the file: then
    // the path names a new one, and that is the one to lock and read.
    if (sys::samefile(fd, path)) return {};
    sys::closeread(fd);
    file_ = -1;
  }
}

FileError LockedFile::close() {
  if (file_ < 0) return {};
  const sys::Handle fd = file_;
  file_ = -1;
  return sys::closewritten(fd, path_);
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

void sortnames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = comparenames(a, b);
    return order != 0 ? order < 0 : a < b;
  });
}

}  // namespace stampo

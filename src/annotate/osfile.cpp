#include "osfile.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include "widepath.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace stampo {

#ifdef _WIN32

namespace {

// The errno that the C runtime would give for a Win32 error.
int errnoof(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_INVALID_NAME: return EINVAL;
    default: return EIO;
  }
}

bool win32failed() {
  errno = errnoof(GetLastError());
  return false;
}

int opennew(const std::string& path) {
  return _wopen(systempath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
}

long writesome(int fd, const std::uint8_t* data, std::size_t size) {
  return _write(fd, data, size > (1u << 30) ? 1u << 30 : unsigned(size));
}

int syncfd(int fd) { return _commit(fd); }
int closefd(int fd) { return _close(fd); }

}  // namespace

bool replacefile(const std::string& from, const std::string& to) {
  return MoveFileExW(systempath(from).c_str(), systempath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? true
             : win32failed();
}

bool syncfolder(const std::string&) { return true; }

bool removefile(const std::string& path) { return _wunlink(systempath(path).c_str()) == 0; }

bool lockfile(std::FILE* f) {
  // One byte far beyond any data: the lock then never stands in the way
  // of reading or writing the picture itself, through this handle or
  // another.
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  OVERLAPPED at = {};
  at.OffsetHigh = 0x40000000;
  if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;
  errno = errnoof(error);
  return false;
}

unsigned long processid() { return GetCurrentProcessId(); }

#else

namespace {

int opennew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

long writesome(int fd, const std::uint8_t* data, std::size_t size) {
  long n;
  do n = long(::write(fd, data, size));
  while (n < 0 && errno == EINTR);
  return n;
}

int syncfd(int fd) { return ::fsync(fd); }
int closefd(int fd) { return ::close(fd); }

}  // namespace

bool replacefile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool syncfolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot sync a folder and say so; their renames are
  // as durable as they can make them.
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

bool removefile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool lockfile(std::FILE* f) {
  const int fd = fileno(f);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    return errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL;
  }
  return true;
}

unsigned long processid() { return static_cast<unsigned long>(::getpid()); }

#endif

OsFile::~OsFile() {
  if (fd_ >= 0) closefd(fd_);
}

bool OsFile::createnew(const std::string& path) {
  fd_ = opennew(path);
  return fd_ >= 0;
}

bool OsFile::write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const long n = writesome(fd_, data, size);
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

bool OsFile::sync() { return syncfd(fd_) == 0; }

bool OsFile::close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  return closefd(fd) == 0;
}

}  // namespace stampo

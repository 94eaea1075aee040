#pragma once
// The file operations that the C library does not offer, on POSIX and on
// Windows: creating a file that must not exist yet, flushing a file to the
// disk itself, renaming over an existing file, and locking. Each returns
// false on failure with errno set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace stampo {

// A file descriptor (POSIX, or the C runtime's on Windows) that is closed
// when it goes out of scope unless close() was called and checked.
class OsFile {
 public:
  OsFile() = default;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;
  ~OsFile();

  // Creates `path` for writing; fails with EEXIST if anything is there.
  bool createnew(const std::string& path);
  bool write(const std::uint8_t* data, std::size_t size);
  // Waits until the file's data is on stable storage.
  bool sync();
  bool close();

 private:
  int fd_ = -1;
};

// Renames `from` over `to`, replacing it in one step. On Windows the move
// is written through to the disk before it returns.
bool replacefile(const std::string& from, const std::string& to);

// Makes the renames in the folder that holds `path` durable (POSIX; a
// no-op on Windows, where the move itself was written through).
bool syncfolder(const std::string& path);

bool removefile(const std::string& path);

// Waits for an exclusive lock on the open file, held until it is closed.
// Other copies of this program take the same lock before they read the
// file, so they wait their turn. Where the file system has no locks, the
// file is used unlocked.
bool lockfile(std::FILE* f);

// The process id, for names that another running copy cannot choose.
unsigned long processid();

}  // namespace stampo

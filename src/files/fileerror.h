#pragma once
// How the file layer fails. Every operation that can fail returns a
// FileError: ok() when it succeeded; otherwise the call that failed, named
// as users know it from the C library ("fopen", "fread", "fwrite",
// "fsync", "rename", "flock", "fclose"), the file it failed on, named as
// the user gave it, and the system's error, captured at once so that
// clean-up steps cannot overwrite it.
#include <string>

namespace stampo {

// The code of a FileError for a path that names something other than a
// regular file (a folder, a pipe, a device) where a file is needed.
constexpr int kNotAFile = -1;
// The code of a FileError for memory that could not be had.
constexpr int kOutOfMemory = -2;

struct FileError {
  const char* call = nullptr;  // nullptr: no failure
  std::string file;
  int code = 0;  // errno on POSIX; the Win32 error code on Windows; or kNotAFile

  bool ok() const { return call == nullptr; }
  // Whether the failure was only that the file (or a folder on its way)
  // does not exist.
  bool notfound() const;
  // Whether the path names something other than a file (a folder, a
  // pipe, a device).
  bool notafile() const;
  // Whether another program holds the file (Windows's sharing and lock
  // violations).
  bool held() const;
  // Whether the user may not do it: no permission, a read-only file or
  // file system.
  bool denied() const;
  // Whether the disk is full (or the file may grow no more).
  bool full() const;
};

// The failure of `call` on `file`, with the error the system reported last
// (errno on POSIX, the thread's last Win32 error on Windows).
FileError lasterror(const char* call, const std::string& file);

// The system's own words for the error, as UTF-8: strerror on POSIX, the
// Windows message in the user's language on Windows ("Not a regular file"
// for kNotAFile).
std::string reason(const FileError& e);

}  // namespace stampo

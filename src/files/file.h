#pragma once
// Files as the program needs them: a report read through the C library's
// streams, a file read whole, and a file that is read, locked and then
// replaced whole. Paths are 8-bit text: on POSIX the bytes the system
// gave, on Windows UTF-8 (see widepath.h). Every call that can fail
// returns a FileError (see fileerror.h), ok() on success.
//
// Replacing a file whole: the new bytes go to a temporary file beside it
// (its name is the target's name with ".stampo-tmp" added, cut down and
// told apart by a hash where that would pass the system's 255-byte limit
// for a name), are flushed to the disk, and the temporary file is then
// renamed over the target in one step, and the folder flushed (POSIX). A
// crash at any moment leaves the old file or the new one, never a part. A
// temporary file that an interrupted run left is removed before its name
// is used again; one being written when the program is interrupted
// (SIGINT, SIGTERM, SIGHUP; Ctrl+C or the console window closed on
// Windows) is removed before the program ends.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fileerror.h"

namespace stampo {

struct StreamCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using StreamPtr = std::unique_ptr<std::FILE, StreamCloser>;

// Opens the file at `path` for reading in binary mode ("fopen"). A path
// that names no regular file (a folder, a pipe, a device) is refused at
// once (kNotAFile), never waited on.
FileError openstream(const std::string& path, StreamPtr& out);

// Closes the stream, reporting a failed close ("fclose") on `path`.
FileError closestream(StreamPtr& f, const std::string& path);

// Reads the regular file at `path` from start to end, but never more than
// limit + 1 bytes: a longer file shows as out.size() > limit. `out` keeps
// its capacity between calls. Anything but a regular file is refused at
// once (kNotAFile).
FileError readfile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit);

// A file opened to be read and then replaced whole, with a lock that other
// copies of this program take too before they read it: they wait their
// turn, and one that was waiting finds the replaced file, not the one it
// first opened. Where the file system has no locks it is used unlocked.
class LockedFile {
 public:
  LockedFile() = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile();

  // Opens and locks the existing regular file at `path` ("fopen",
  // "flock"); anything else is refused at once (kNotAFile). On Windows it
  // is opened for writing and for replacing as well, so a file that cannot
  // be written (read-only) or that another program holds against it fails
  // here.
  FileError open(const std::string& path);

  // Reads it from start to end, as readfile() does ("fread").
  FileError readall(std::vector<std::uint8_t>& out, std::size_t limit);

  // Whether replace() can succeed, checked before anything is written
  // ("fopen" or "rename" on the path, if not): the user may write the
  // file, the folder where it really lives (a link's target's) takes a new
  // file and lets us rename over this one. A temporary file that an
  // interrupted run left for it is removed here; one that cannot be is
  // named in the failure.
  FileError checkreplaceable();

  // Whether `other` names this same file: through a symbolic link either
  // way, or as another hard link.
  bool issame(const std::string& other) const;

  // Replaces the file the path names with `data`, whole and durably; a
  // symbolic link stays and the file it points to is replaced. The new
  // file keeps the old one's access rules (see sys::copyrules). Other hard
  // links to the file keep the old contents.
  FileError replace(const std::uint8_t* data, std::size_t size);

  // Releases the lock and closes the file ("fclose").
  FileError close();

 private:
  friend FileError replacewhole(const std::string&, const std::uint8_t*, std::size_t,
                                const LockedFile&, bool);
  std::string path_;
  std::string target_;                       // the file the path names, links followed
  std::intptr_t file_ = -1;                  // the descriptor (POSIX) or handle (Windows)
  [[maybe_unused]] std::intptr_t lock_ = 0;  // Windows: the mutex that stands for the lock
};

// Whether the file at `path` could be replaced by replacewhole(), checked
// before anything is written: nothing there yet, a regular file, or a
// symbolic link (which is replaced itself); a folder we may write, that
// lets us rename over it. The temporary file an interrupted run left for
// it is removed; one that cannot be is named in the failure.
FileError checkreplaceable(const std::string& path);

// Replaces the file at `path` (a symbolic link itself, not what it points
// to) with `data`, whole and durably. The new file takes the access rules
// of `like` (see sys::copyrules), so it is never more readable than that
// file, and with `keeptimes` its modification time too. On failure
// whatever was at `path` is as it was, and no temporary file is left.
FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const LockedFile& like, bool keeptimes);

// The same, with the access rules of the file at `likepath`, read now.
FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const std::string& likepath);

// A file that rows are added to at its end, each written in one piece and
// flushed to the disk before append() returns: a crash loses at most the
// row being written, never an earlier one.
class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Opens the regular file at `path`, made empty if there is none
  // ("fopen"; anything but a regular file is refused, kNotAFile).
  FileError open(const std::string& path);
  // Whether the file holds nothing yet.
  bool empty() const { return empty_; }
  // Adds `bytes` at the end and flushes them ("fwrite", "fsync").
  FileError append(const std::string& bytes);
  // Closes it ("fclose").
  FileError close();

 private:
  std::string path_;
  std::intptr_t file_ = -1;
  bool empty_ = false;
};

// Where the last component of `path` (the file's own name) starts: after
// the last '/' (and on Windows the last '\\' or a drive's ':').
std::size_t namestart(const std::string& path);

// `name` inside `folder`, with a separator between where one is needed.
std::string joinpath(const std::string& folder, const std::string& name);

// Whether `path` names a folder (or a link to one).
bool isfolder(const std::string& path);

// The names of the files directly inside `folder` (not of folders), in
// no particular order ("fopen" when it cannot be listed, "fread" when the
// listing fails on the way).
FileError listfolder(const std::string& folder, std::vector<std::string>& names);

// Whether names that differ only in case name one file (Windows).
extern const bool kNamesIgnoreCase;

// Orders two names as a file manager shows them: runs of digits by their
// numbers ("disc2" before "disc10"), letters with case ignored (ASCII).
// Negative, zero or positive, as strcmp.
int comparenames(const std::string& a, const std::string& b);

// Sorts names in the order the system's file manager shows them:
// Explorer's own comparison on Windows (StrCmpLogicalW), comparenames()
// elsewhere; names it finds equal keep their byte order.
void sortnames(std::vector<std::string>& names);

// What a command-line argument stands for. On Windows, where a program
// expands its own wildcards, a name with '*' or '?' in its last part
// stands for the files and folders it matches, in sortnames() order, or for
// itself where it matches none. Elsewhere the shell has done that, and an
// argument stands for itself.
std::vector<std::string> expandwildcards(const std::string& arg);

}  // namespace stampo

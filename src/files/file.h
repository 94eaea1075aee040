#pragma once
// Files as the program needs them: read from start to end, looked at
// without being opened, locked against other copies of the program, and
// replaced whole. Paths are 8-bit text: on POSIX the bytes the system
// gave, on Windows UTF-8 (see widepath.h). Every call that can fail
// returns a Failure (see failure.h), ok() on success, that names the file
// as the caller named it (`shown`) and the part it plays (`role`).
//
// Replacing a file whole: the new bytes go to a temporary file beside it
// (its name is the target's name with ".stampo-tmp" added, cut down and
// told apart by a hash where that would pass the system's 255-byte limit
// for a name), are flushed to the disk, and the temporary file is then
// renamed over the target in one step; the folder is flushed after the
// renames (POSIX). A crash at any moment leaves the old file or the new
// one, never a part. A temporary file that an interrupted run left is
// removed before its name is used again; one being written when the
// program is interrupted (SIGINT, SIGTERM, SIGHUP; Ctrl+C or the console
// window closed on Windows) is removed before the program ends.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "failure.h"

namespace stampo {

// Which file a path names: the device and inode (the volume's serial and
// the file index on Windows), the same through every link and hard link.
// Where there is no file yet, the folder's identity and the name it would
// have, so that two names for one new file are still told apart from
// others and found to be one.
struct FileKey {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::string name;  // empty for a file that exists

  bool operator==(const FileKey& other) const;  // names compared as the system compares them
  bool operator!=(const FileKey& other) const { return !(*this == other); }
};

struct FileKeyHash {
  std::size_t operator()(const FileKey& key) const;
};

// What a path names, looked at once without opening it.
struct Place {
  enum Kind : std::uint8_t { kNothing, kFile, kFolder, kOther };
  Kind kind = kNothing;  // where links lead; kOther: a pipe, a device, a socket
  bool link = false;     // the name itself is a symbolic link
  FileKey key;           // the file's identity (for kNothing: none; see Folder::keyof)
  std::uint32_t owner = 0;  // POSIX: who owns the name itself (the link, where it is one)
};

// Looks at `path` ("stat" if the system cannot say; a missing file, or a
// link that leads nowhere, is kNothing and no failure).
Failure lookat(const std::string& path, Role role, Place& place);

// What a replaced file keeps of the file it replaces, noted once when that
// file is opened (before it is read, so that reading it changes nothing
// noted): on POSIX the owner, group, permission bits, whether it has an
// ACL or extended attributes (copied from the open file itself), and its
// times; on Windows its security descriptor, the attributes a user sets
// and its times. Filled and used by the system's own code only.
struct Rules {
  std::intptr_t source = -1;  // the open file (POSIX copies ACL and attributes from it)
  std::uint32_t mode = 0, owner = 0, group = 0;
  bool acl = false;         // POSIX: an ACL beyond the permission bits
  bool attributes = false;  // POSIX: extended attributes to copy
  std::uint32_t flags = 0;  // Windows: hidden, system, archive, not indexed
  std::vector<std::uint8_t> descriptor;  // Windows: the security descriptor, self-relative
  std::int64_t times[3][2] = {};         // access, modification, creation, as the system keeps them
};

// A file read from start to end: a report, or a backup to judge.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens the regular file at `path` for reading ("fopen"). Anything else
  // (a folder, a pipe, a device) is refused at once (kNotAFile), never
  // opened or waited on. `looked`: what lookat() found there just now, if
  // the caller looked.
  Failure open(const std::string& path, Role role, const Place* looked = nullptr);
  // Reads up to `size` bytes; `got` is 0 at the end ("fread").
  Failure read(std::uint8_t* data, std::size_t size, std::size_t& got);
  // Reads it from here to the end, but never more than limit + 1 bytes: a
  // longer file shows as out.size() > limit. `out` keeps its capacity.
  Failure readall(std::vector<std::uint8_t>& out, std::size_t limit);
  // Closes it ("fclose").
  Failure close();

  const FileKey& key() const { return key_; }
  // The times the file had when it was opened.
  const Rules& rules() const { return rules_; }

 private:
  std::string path_;
  Role role_ = Role::kNone;
  std::intptr_t file_ = -1;
  std::uint64_t size_ = 0;
  FileKey key_;
  Rules rules_;
};

// A file opened to be read and then replaced whole: the picture, the CSV
// table. It is locked against other copies of this program, which wait
// their turn (with growing pauses, for up to 3 seconds, then it counts as
// held); one that was waiting finds the replaced file, not the one it
// first opened. Where the file system has no locks it is used unlocked.
class LockedFile {
 public:
  LockedFile() = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile();

  // Opens the existing regular file at `path` for reading and writing,
  // and locks it ("fopen", "flock"); anything else is refused at once
  // (kNotAFile). A file the user may not write fails here, and so, on
  // Windows, does one that another program has open (kHeld, after the
  // wait): nothing is written before it can be replaced. Its rules are
  // noted before it is read.
  Failure open(const std::string& path, Role role);

  // Reads it from start to end, as InputFile::readall() does ("fread").
  Failure readall(std::vector<std::uint8_t>& out, std::size_t limit);

  const FileKey& key() const { return key_; }
  const Rules& rules() const { return rules_; }
  // What it is, as Folder::mayreplace() takes the file it replaces.
  Place place() const;
  // The file a replacement changes: the path, or where its links lead.
  const std::string& target() const { return target_; }

  // Closes the file but keeps the lock, where the system renames over a
  // file only when no one has it open (Windows): call just before the
  // rename. Rules already noted stay usable.
  Failure letgo();
  // Releases the lock and closes the file ("fclose").
  Failure close();

 private:
  Failure release();  // closes the file

  std::string path_;
  std::string target_;
  Role role_ = Role::kNone;
  std::intptr_t file_ = -1;
  std::intptr_t lock_ = 0;  // what the system's lock needs to let go
  std::uint64_t size_ = 0;
  FileKey key_;
  Rules rules_;
};

// The folder that files are replaced in, opened once for a report: what
// may be done in it is checked before anything is written, and its
// renames are flushed to the disk after them.
class Folder {
 public:
  Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder();

  // Opens the folder that `file` lies in ("opendir"). Its failures, and
  // its flush's, name the folder as the path spells it (the current
  // folder by its full path).
  Failure open(const std::string& file, Role role);
  // Whether a new file can be made in it and renamed over `target`, which
  // holds `place` now: a folder we may write ("create"), in a folder that
  // protects its files (sticky, as /tmp) a file we own, and on Windows one
  // that is not read-only and that no other program has open ("rename";
  // the last not asked of a file we have open ourselves, `held`). The
  // place must hold nothing, a regular file or a link (kNotAFile).
  Failure mayreplace(const std::string& target, const Place& place, bool held,
                     const std::string& shown, Role role) const;
  // The identity of the file `name` would be (its own where it exists).
  FileKey keyof(const std::string& name, const Place& place) const;
  // Makes the renames done in it durable ("fsync"); nothing to do on
  // Windows, whose renames are written through.
  Failure flush(Role role);
  const FileKey& key() const { return key_; }
  void close();

 private:
  std::string shown() const;  // the folder as a failure names it

  std::string path_;
  std::intptr_t file_ = -1;
  FileKey key_;
  std::uint32_t mode_ = 0, owner_ = 0;
  mutable bool writable_ = false;  // a file may be added: known once asked
};

// A file replaced whole (see the top of this file). Until commit() the
// target is as it was; a replacement dropped unfinished removes its
// temporary file.
class Replacement {
 public:
  Replacement() = default;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  // Removes the temporary file an interrupted run left for `target`; one
  // that cannot be removed is named in the failure ("remove"). Only the
  // copy of the program that holds the target's lock writes these names,
  // so whatever is there was left.
  static Failure clearleftover(const std::string& target, Role role);

  // Creates the temporary file for `target`, readable by us alone until
  // it has the rules of `rules` (nullptr: a new file's usual ones), so
  // that it is never more open than the file it replaces ("create",
  // "chmod", "setxattr"). An attribute or ACL that cannot be given fails,
  // unless the file system does not have them or only an administrator
  // may set them.
  Failure begin(const std::string& target, const std::string& shown, Role role,
                const Rules* rules);
  Failure write(const std::uint8_t* data, std::size_t size);  // "fwrite"
  // Gives it the times `from` noted, as a backup keeps its original's
  // date ("utime"). Call after the last write.
  Failure keeptimes(const Rules& from);
  // Flushes it to the disk and closes it ("fsync", "fclose").
  Failure finish();
  // Renames it over the target in one step ("rename").
  Failure commit();
  // Removes the temporary file, if there is one.
  void abandon();

  // The new file's identity, known from begin() on.
  const FileKey& key() const { return key_; }

 private:
  std::string target_, temporary_, shown_;
  Role role_ = Role::kNone;
  std::intptr_t file_ = -1;
  bool created_ = false;
  FileKey key_;
};

// A task run on a thread of its own, which the signals that stop the
// program never reach (they remove the temporary files, on the main
// thread). For work that need not wait for the disk's flushes.
class Aside {
 public:
  Aside() = default;
  Aside(const Aside&) = delete;
  Aside& operator=(const Aside&) = delete;
  ~Aside();
  // Starts `task`; false if no thread could be had (then run it in line).
  bool start(std::function<void()> task);
  // Waits for it to end.
  void wait();

 private:
  struct Thread;
  Thread* thread_ = nullptr;
};

// Where the last component of `path` (the file's own name) starts: after
// the last '/' (and on Windows the last '\\' or a drive's ':').
std::size_t namestart(const std::string& path);

// `name` inside `folder`, with a separator between where one is needed.
std::string joinpath(const std::string& folder, const std::string& name);

// The names of the files directly inside `folder` (not of folders), in
// no particular order ("opendir").
Failure listfolder(const std::string& folder, std::vector<std::string>& names);

// Whether names that differ only in case name one file (Windows).
extern const bool kNamesIgnoreCase;

// `name` with its ASCII letters in lower case where names ignore case
// (Windows), as it is elsewhere: two names that give the same folded
// name are one name.
std::string foldcase(const std::string& name);

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
// stands for the files and folders it matches, in sortnames() order; one
// that matches nothing fails as a missing report does ("fopen").
// Elsewhere the shell has done that, and an argument stands for itself.
Failure expandwildcards(const std::string& arg, std::vector<std::string>& out);

}  // namespace stampo

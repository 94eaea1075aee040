#pragma once
// Inside the file layer: the few calls that differ from one system to the
// next, made in posix.cpp and windows.cpp. Everything built from them (the
// read and write loops, the whole replacement of a file) is written once,
// in file.cpp.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fileerror.h"

namespace stampo {
namespace sys {

// A descriptor (POSIX) or handle (Windows); kNoHandle for none.
using Handle = std::intptr_t;
constexpr Handle kNoHandle = -1;

// The separator joinpath() puts between a folder and a name.
extern const char kSeparator;

// The system's own words for an error code, as UTF-8.
std::string systemwords(int code);

// Every call below that can fail names its failure after `shown`, the
// name the user knows, whatever path it worked on.

// Opens an existing regular file for reading (and, with `write`, for
// writing: on Windows that also asks for the right to replace it). Anything
// else (a folder, a pipe, a device) is refused at once with kNotAFile,
// without waiting on it.
FileError openfile(const std::string& path, bool write, Handle& h, const std::string& shown);

// The size of an open regular file, for reading it in one go; 0 if unknown.
std::uint64_t sizeof_(Handle h);

// One read or write of up to `size` bytes; `done` is what it moved (0 at
// the end of a file).
FileError readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                   const std::string& shown);
FileError writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                    const std::string& shown);

// Closes a file that was only read: nothing can be lost.
void closeread(Handle h);
// Closes a file that was written ("fclose" if the system says it failed).
FileError closewritten(Handle h, const std::string& shown);

// The rules the new file must keep, read from `like` (an open file) and
// given to `to` (a new file of ours, open for writing): on POSIX owner and
// group where allowed, permission bits, ACL and extended attributes; on
// Windows the security descriptor and the hidden, system, archive and
// not-indexed attributes. A rule that cannot be given so that the new
// file is no more open than `like` fails.
FileError copyrules(Handle like, Handle to, const std::string& shown);
// Gives `to` the times of `like` (the modification time; on Windows all
// three), as a backup keeps its original's date. Call after the last write.
FileError copytimes(Handle like, Handle to, const std::string& shown);

// Creates `path`, which must not exist, for writing, readable by us alone
// until copyrules() has run ("fopen").
FileError createnew(const std::string& path, Handle& h, const std::string& shown);
// Opens `path` for adding at its end, creating it (with the usual
// permissions for a new file) if there is none ("fopen"); anything but a
// regular file is refused (kNotAFile).
FileError openappend(const std::string& path, Handle& h, const std::string& shown);
// Flushes a written file to the disk ("fsync").
FileError flush(Handle h, const std::string& shown);
// Gives `from` the name `to` in one step, replacing the file there
// ("rename"); on Windows the move is written through to the disk.
FileError renameover(const std::string& from, const std::string& to, const std::string& shown);
// Makes the renames in the folder of `path` durable (POSIX; nothing to do
// on Windows, whose rename was written through).
FileError flushfolder(const std::string& path, const std::string& shown);
// Removes a file; a missing one is no failure ("remove", naming `path`).
FileError removefile(const std::string& path);

// The file that `path` names, symbolic links followed: the one to replace
// when the path is a link (POSIX; on Windows the path itself).
FileError realtarget(const std::string& path, std::string& target);

// Whether the existing file at `path` may be written by us ("fopen" if
// not): write permission, not immutable, not on a read-only file system.
// (On Windows the file was opened for writing already.)
FileError maywrite(const std::string& path);

// Whether `other` names the open file `h` (links followed, hard links
// alike).
bool samefile(Handle h, const std::string& other);

// Whether a file at `path` (or a new one there) could be replaced by
// renaming over it: a folder we may write where it lives, and in a folder
// that protects its files (sticky, as /tmp) one we own. ok() says yes;
// else the failure names `shown`.
FileError mayreplace(const std::string& path, const std::string& shown);

// The temporary file being written, to remove if the program is stopped
// (a signal on POSIX, Ctrl+C or the window closed on Windows); an empty
// path for none. Safe against the handler running at any moment.
void watchtemporary(const std::string& path);

// Whether Windows's rule holds: a file cannot be renamed over while any
// handle to it is open, ours included.
extern const bool kCloseBeforeRename;

}  // namespace sys
}  // namespace stampo

#pragma once
// Inside the file layer: the few calls that differ from one system to the
// next, made in posix.cpp and windows.cpp. Everything built from them (the
// read and write loops, the order of a replacement) is written once, in
// file.cpp. Every call that can fail names its failure after `shown`, the
// name the user knows, and `role`, whatever path it worked on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "file.h"

namespace stampo {
namespace sys {

// A descriptor (POSIX) or handle (Windows); kNoHandle for none.
using Handle = std::intptr_t;
constexpr Handle kNoHandle = -1;

// The separator joinpath() puts between a folder and a name.
extern const char kSeparator;

// The system's code for memory that could not be had (ENOMEM,
// ERROR_NOT_ENOUGH_MEMORY).
extern const int kNoMemoryCode;

// Whether Windows's rule holds: a file cannot be renamed over while any
// handle to it is open, ours included.
extern const bool kCloseBeforeRename;

// How long a file that another program holds is waited for, with growing
// pauses, before it counts as held: a lock another copy of Stampo holds,
// and on Windows a virus scanner, indexer or sync client that opens a
// file for a moment after it is written. Far more than a picture takes.
constexpr unsigned kHeldForMs = 3000;
// The first pause, and the longest.
constexpr unsigned kFirstPauseMs = 10;
constexpr unsigned kLongestPauseMs = 500;
void pause(unsigned ms);

// Opens the existing regular file at `path`: for reading, or with `write`
// for reading and writing as well (on Windows with the right to replace
// it too, and no one else may have it open). Anything that is not a
// regular file is refused before it is opened (kNotAFile): `looked` is
// what lookat() found of it just now, if the caller looked. Fills in its
// identity and the rules a replacement keeps (the times before it is read).
Failure openfile(const std::string& path, bool write, Role role, const Place* looked, Handle& h,
                 FileKey& key, Rules& rules, std::uint64_t& size);

// One read or write of up to `size` bytes; `done` is what it moved (0 at
// the end of a file).
Failure readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                 const std::string& shown, Role role);
Failure writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                  const std::string& shown, Role role);

// Closes a file ("fclose" if the system says that failed).
Failure closefile(Handle h, const std::string& shown, Role role);
// Closes a file whose close can tell nothing that matters: one that was
// only read, or a temporary file being given up.
void closeanyway(Handle h);

// Opens the existing regular file at `path` as openfile() does for
// writing, locked against other copies of Stampo: a copy that holds the
// lock is waited for up to kHeldForMs ("flock", kHeld), and one that was
// waited for may have replaced the file, which is then the one opened. A
// file system without locks is no failure. `lock` is what unlock() needs.
Failure openlocked(const std::string& path, Role role, const Place* looked, Handle& h,
                   std::intptr_t& lock, FileKey& key, Rules& rules, std::uint64_t& size);
void unlock(std::intptr_t& lock);

// The file that `path`, a symbolic link, names: the one to replace
// (POSIX; on Windows the path itself).
Failure realtarget(const std::string& path, Role role, std::string& target);

// Creates `path`, which must not exist, for writing ("create"): with
// `ours`, readable by us alone until giverules() has run; else with a
// new file's usual permissions. Fills in its identity, and what it was
// given by being made (`made`: on POSIX its owner and group).
Failure createnew(const std::string& path, bool ours, const std::string& shown, Role role,
                  Handle& h, FileKey& key, Rules& made);
// Gives `to`, which was made with `made`, the rules of `rules`, so that
// it is never more open than the file they were noted from ("chmod",
// "setxattr").
Failure giverules(Handle to, const Rules& rules, const Rules& made, const std::string& shown,
                  Role role);
// Gives `to` the times `rules` noted ("utime").
Failure givetimes(Handle to, const Rules& rules, const std::string& shown, Role role);
// Flushes a written file to the disk ("fsync").
Failure flush(Handle h, const std::string& shown, Role role);
// Gives `from` the name `to` in one step, replacing the file there
// ("rename"); on Windows written through to the disk, and tried again
// while another program holds the target.
Failure renameover(const std::string& from, const std::string& to, const std::string& shown,
                   Role role);
// Removes a file; a missing one is no failure ("remove", naming `path`).
Failure removefile(const std::string& path, Role role);

// Opens the folder `path` to check and flush it ("opendir"); fills in its
// identity, and on POSIX its permission bits and owner.
Failure openfolder(const std::string& path, const std::string& shown, Role role, Handle& h,
                   FileKey& key, std::uint32_t& mode, std::uint32_t& owner);
// Whether a new file can be made in the folder `path` ("create" if not).
Failure mayaddfiles(const std::string& path, const std::string& shown, Role role);
// Whether the user may rename over `target`, which holds `place`, in a
// folder with this mode and owner ("rename" if not): on POSIX the sticky
// rule of /tmp; on Windows a file neither read-only nor (unless we hold
// it open ourselves, `held`) open in another program, waited for as a
// held file is.
Failure mayrenameover(const std::string& target, const Place& place, bool held,
                      std::uint32_t mode, std::uint32_t owner, const std::string& shown,
                      Role role);
// Makes the renames in the folder durable ("fsync"; nothing on Windows).
Failure flushfolder(Handle h, const std::string& shown, Role role);

// The full path of `path`, for telling the user which folder is meant
// where the path alone says little ("."); `path` itself if none is known.
std::string fullpath(const std::string& path);

// Whether two names in one folder name one file.
bool samename(const std::string& a, const std::string& b);

// The temporary files being written, to remove if the program is stopped
// (a signal on POSIX, Ctrl+C or the window closed on Windows). Safe
// against the stop coming at any moment.
void watch(const std::string& temporary);
void unwatch(const std::string& temporary);

// Runs `run(arg)` on a new thread that the stopping signals never reach;
// false if there is none to be had. join() waits for it.
bool startthread(void (*run)(void*), void* arg, std::intptr_t& thread);
void jointhread(std::intptr_t thread);

}  // namespace sys
}  // namespace stampo

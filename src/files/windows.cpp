// The file layer's system calls on Windows: Win32 calls on UTF-16 paths,
// and the system's own messages.
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <process.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "file.h"
#include "paths.h"
#include "system.h"
#include "widepath.h"
#include "winpath.h"

namespace stampo {

std::wstring towide(const std::string& utf8) {
  const std::u16string u = toutf16(utf8);
  return std::wstring(u.begin(), u.end());
}

namespace {

// The full path of a name, or empty where Windows cannot say.
std::wstring fullwide(const std::wstring& name) {
  const DWORD need = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (need == 0) return std::wstring();
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(name.c_str(), need, &full[0], nullptr);
  if (got == 0 || got >= need) return std::wstring();
  full.resize(got);
  return full;
}

}  // namespace

std::wstring systempath(const std::string& utf8) {
  const std::wstring given = towide(utf8);
  if (given.rfind(L"\\\\?\\", 0) == 0 || given.rfind(L"\\\\.\\", 0) == 0) return given;
  // A relative name is as long as the folder it lies in makes it.
  const std::wstring full = fullwide(given);
  if (full.empty()) return given;
  // MAX_PATH less room for the 8.3 name that folder calls reserve.
  constexpr std::size_t kClassicLimit = MAX_PATH - 12;
  if (full.size() < kClassicLimit) return given;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace {

// Whether a code says another program holds the file.
bool heldcode(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_USER_MAPPED_FILE;
}

}  // namespace

Failure lasterror(Step step, const std::string& file, Role role) {
  const DWORD code = GetLastError();
  Failure f = systemfailure(step, file, role, int(code));
  if (heldcode(code)) f.problem = Problem::kHeld;
  return f;
}

bool Failure::notfound() const {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}
bool Failure::denied() const {
  return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT ||
         code == ERROR_PRIVILEGE_NOT_HELD;
}
bool Failure::full() const { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }
bool Failure::nomemory() const {
  return code == ERROR_NOT_ENOUGH_MEMORY || code == ERROR_OUTOFMEMORY;
}

std::string systemwords(int code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 || text == nullptr) return "Windows error " + std::to_string(unsigned(code));
  std::wstring message(text, n);
  LocalFree(text);
  // The message ends its own line; the caller ends ours.
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return toutf8(std::u16string(message.begin(), message.end()));
}

const bool kNamesIgnoreCase = true;

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) return slash + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;  // "C:disc.bmp"
}

namespace {

HANDLE handleof(sys::Handle h) { return reinterpret_cast<HANDLE>(h); }

// Whether a failure of a step on `path` may pass if tried again: a
// sharing or lock violation, or access denied to a file that is neither
// read-only nor a folder (those stay as they are): another program has it
// open, and Windows renames over or deletes no file that is open.
bool held(DWORD code, const std::wstring& path) {
  if (heldcode(code)) return true;
  if (code != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Runs `step` (true on success, else the error in GetLastError) until it
// succeeds, fails for good, or `path` has been held for kHeldForMs:
// virus scanners, the search indexer, thumbnail makers and sync clients
// open a file for a moment right after it is written or renamed. Returns
// whether it succeeded; `washeld` says whether it gave up on a holder.
template <class Step>
bool retrying(const std::wstring& path, bool& washeld, Step step) {
  unsigned waited = 0, pause = sys::kFirstPauseMs;
  washeld = false;
  for (;;) {
    if (step()) return true;
    const DWORD code = GetLastError();
    washeld = held(code, path);
    if (!washeld || waited >= sys::kHeldForMs) {
      SetLastError(code);
      return false;
    }
    Sleep(pause);
    waited += pause;
    pause = std::min(pause * 2, sys::kLongestPauseMs);
  }
}

// The failure of a step that `retrying` gave up on.
Failure retried(Step step, const std::string& file, Role role, bool washeld) {
  Failure f = lasterror(step, file, role);
  if (washeld) f.problem = Problem::kHeld;
  return f;
}

// CreateFileW on an existing or new file, tried again while another
// program holds it (see retrying()).
HANDLE createheld(const std::wstring& wide, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags, bool& washeld) {
  HANDLE file = INVALID_HANDLE_VALUE;
  retrying(wide, washeld, [&] {
    file = CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  return file;
}

FileKey keyof(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow, {}};
}

void puttime(std::int64_t (&to)[2], const FILETIME& t) {
  to[0] = std::int64_t(std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime);
}

FILETIME gettime(const std::int64_t (&from)[2]) {
  return {DWORD(std::uint64_t(from[0]) & 0xFFFFFFFFu), DWORD(std::uint64_t(from[0]) >> 32)};
}

// The attributes a user sets that a replaced file keeps (read-only aside:
// such a file is refused before anything is written).
constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The temporary files being written, for the console's control handler,
// which Windows runs on a thread of its own: a fixed list behind a lock.
// The handler takes the lock and keeps it, as the program ends next.
constexpr int kWatchedSlots = 4;
std::wstring watched[kWatchedSlots];
SRWLOCK watchedlock = SRWLOCK_INIT;

BOOL WINAPI removeonexit(DWORD) {
  // Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown. The files
  // were opened with delete sharing, so they go even while the main
  // thread holds them.
  AcquireSRWLockExclusive(&watchedlock);
  for (const std::wstring& path : watched)
    if (!path.empty()) DeleteFileW(path.c_str());
  return FALSE;  // and the usual end follows
}

}  // namespace

namespace sys {

const char kSeparator = '\\';
const bool kCloseBeforeRename = true;
const int kNoMemoryCode = ERROR_NOT_ENOUGH_MEMORY;

void pause(unsigned ms) { Sleep(ms); }

Failure openfile(const std::string& path, bool write, Role role, const Place* looked, Handle& h,
                 FileKey& key, Rules& rules, std::uint64_t& size) {
  const std::wstring wide = systempath(path);
  if (looked != nullptr ? looked->kind == Place::kFolder : [&] {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      }())
    return notafile(Step::kOpen, path, role);
  // Read, shared with every other program; or to be replaced: for
  // writing, with the right to replace it, and no one else may have it
  // open, since Windows renames over no file that is open. A holder is
  // waited for (see retrying()), then the file counts as held.
  bool washeld = false;
  const HANDLE file =
      write ? createheld(wide, GENERIC_READ | GENERIC_WRITE | DELETE, 0, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, washeld)
            : createheld(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, washeld);
  if (file == INVALID_HANDLE_VALUE) return retried(Step::kOpen, path, role, washeld);
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK) {  // a device, a pipe
    CloseHandle(file);
    return notafile(Step::kOpen, path, role);
  }
  if (!GetFileInformationByHandle(file, &info)) {
    const Failure f = lasterror(Step::kOpen, path, role);
    CloseHandle(file);
    return f;
  }
  rules = Rules();
  rules.source = reinterpret_cast<Handle>(file);
  rules.flags = info.dwFileAttributes & kKept;
  puttime(rules.times[0], info.ftLastAccessTime);
  puttime(rules.times[1], info.ftLastWriteTime);
  puttime(rules.times[2], info.ftCreationTime);
  if (write) {
    // The security descriptor's access list, as the file has it: explicit
    // or inherited from the folder, protected from inheritance or not. A
    // file system without one (FAT) has nothing to keep; any other
    // failure to read it fails, for a new file would then get the
    // folder's, which may be wider.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD got = GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, nullptr, nullptr, &descriptor);
    if (got == ERROR_SUCCESS && descriptor != nullptr) {
      const auto* bytes = static_cast<const std::uint8_t*>(descriptor);
      rules.descriptor.assign(bytes, bytes + GetSecurityDescriptorLength(descriptor));
      LocalFree(descriptor);
    } else if (got != ERROR_NOT_SUPPORTED && got != ERROR_INVALID_FUNCTION) {
      CloseHandle(file);
      return systemfailure(Step::kRules, path, role, int(got));
    }
  }
  h = reinterpret_cast<Handle>(file);
  key = keyof(info);
  size = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return {};
}

Failure readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                 const std::string& shown, Role role) {
  DWORD got = 0;
  if (!ReadFile(handleof(h), data, DWORD(size), &got, nullptr)) {
    if (GetLastError() != ERROR_HANDLE_EOF) return lasterror(Step::kRead, shown, role);
  }
  done = got;
  return {};
}

Failure writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                  const std::string& shown, Role role) {
  DWORD wrote = 0;
  if (!WriteFile(handleof(h), data, DWORD(size), &wrote, nullptr))
    return lasterror(Step::kWrite, shown, role);
  // A write that moves nothing: the disk takes no more.
  if (wrote == 0) return systemfailure(Step::kWrite, shown, role, ERROR_DISK_FULL);
  done = wrote;
  return {};
}

Failure closefile(Handle h, const std::string& shown, Role role) {
  return CloseHandle(handleof(h)) ? Failure() : lasterror(Step::kClose, shown, role);
}

void closeanyway(Handle h) { CloseHandle(handleof(h)); }

namespace {

// The lock's name: one per file, whatever the spelling of its path, for
// every copy of the program in this logon session. A mutex rather than a
// lock on the file itself: Windows renames over a file only while no one
// holds it open, and a copy waiting for a lock on the file would hold it.
std::wstring lockname(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  const DWORD n = GetFullPathNameW(path.c_str(), DWORD(full.size()), &full[0], nullptr);
  full.resize(n > 0 && n < full.size() ? n : 0);
  if (full.empty()) full = path;
  CharUpperBuffW(&full[0], DWORD(full.size()));  // names differ in case only: one file
  const std::uint64_t hash = namehash(full.data(), full.size() * sizeof(wchar_t));
  wchar_t name[40];
  wsprintfW(name, L"Local\\stampo-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return name;
}

}  // namespace

Failure openlocked(const std::string& path, Role role, const Place* looked, Handle& h,
                   std::intptr_t& lock, FileKey& key, Rules& rules, std::uint64_t& size) {
  // The lock first, then the file: a copy waiting for the lock must not
  // hold the file open, or the copy that has the lock could not rename
  // over it.
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, lockname(systempath(path)).c_str());
  if (mutex == nullptr) return lasterror(Step::kLock, path, role);
  // A copy that ended without letting go leaves the mutex abandoned: ours.
  const DWORD waited = WaitForSingleObject(mutex, kHeldForMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    Failure f = waited == WAIT_TIMEOUT ? systemfailure(Step::kLock, path, role, ERROR_LOCK_VIOLATION)
                                       : lasterror(Step::kLock, path, role);
    if (waited == WAIT_TIMEOUT) f.problem = Problem::kHeld;
    CloseHandle(mutex);
    return f;
  }
  lock = reinterpret_cast<std::intptr_t>(mutex);
  const Failure f = openfile(path, true, role, looked, h, key, rules, size);
  if (!f.ok()) unlock(lock);
  return f;
}

void unlock(std::intptr_t& lock) {
  if (lock == 0) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(lock);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  lock = 0;
}

Failure realtarget(const std::string& path, Role, std::string& target) {
  target = path;
  return {};
}

Failure createnew(const std::string& path, bool, const std::string& shown, Role role, Handle& h,
                  FileKey& key, Rules&) {
  // Delete sharing, so that the control handler can remove it while it is
  // being written.
  const HANDLE file =
      CreateFileW(systempath(path).c_str(), GENERIC_WRITE | WRITE_DAC | FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lasterror(Step::kCreate, shown, role);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) {
    const Failure f = lasterror(Step::kCreate, shown, role);
    CloseHandle(file);
    DeleteFileW(systempath(path).c_str());
    return f;
  }
  h = reinterpret_cast<Handle>(file);
  key = keyof(info);
  return {};
}

Failure giverules(Handle to, const Rules& rules, const Rules&, const std::string& shown,
                  Role role) {
  if (!rules.descriptor.empty()) {
    auto* descriptor =
        reinterpret_cast<PSECURITY_DESCRIPTOR>(const_cast<std::uint8_t*>(rules.descriptor.data()));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorControl(descriptor, &control, &revision))
      return lasterror(Step::kRules, shown, role);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0
                                         ? PROTECTED_DACL_SECURITY_INFORMATION
                                         : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD set = SetSecurityInfo(handleof(to), SE_FILE_OBJECT, which, nullptr, nullptr,
                                      present ? dacl : nullptr, nullptr);
    if (set != ERROR_SUCCESS) return systemfailure(Step::kRules, shown, role, int(set));
  }
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = rules.flags != 0 ? rules.flags : FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(handleof(to), FileBasicInfo, &basic, sizeof basic))
    return lasterror(Step::kAttributes, shown, role);
  return {};
}

Failure givetimes(Handle to, const Rules& rules, const std::string& shown, Role role) {
  const FILETIME accessed = gettime(rules.times[0]), written = gettime(rules.times[1]),
                 created = gettime(rules.times[2]);
  return SetFileTime(handleof(to), &created, &accessed, &written)
             ? Failure()
             : lasterror(Step::kTimes, shown, role);
}

Failure flush(Handle h, const std::string& shown, Role role) {
  return FlushFileBuffers(handleof(h)) ? Failure() : lasterror(Step::kFlush, shown, role);
}

Failure renameover(const std::string& from, const std::string& to, const std::string& shown,
                   Role role) {
  const std::wstring source = systempath(from);
  const std::wstring target = systempath(to);
  // Written through: the move is on the disk when the call returns.
  bool washeld = false;
  if (retrying(target, washeld, [&] {
        return MoveFileExW(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      }))
    return {};
  return retried(Step::kRename, shown, role, washeld);
}

Failure removefile(const std::string& path, Role role) {
  const std::wstring wide = systempath(path);
  bool washeld = false;
  if (retrying(wide, washeld, [&] { return DeleteFileW(wide.c_str()) != 0; })) return {};
  const Failure f = retried(Step::kRemove, path, role, washeld);
  return f.notfound() ? Failure() : f;
}

Failure openfolder(const std::string& path, const std::string& shown, Role role, Handle& h,
                   FileKey& key, std::uint32_t& mode, std::uint32_t& owner) {
  const HANDLE folder = CreateFileW(systempath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return lasterror(Step::kList, shown, role);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info)) {
    const Failure f = lasterror(Step::kList, shown, role);
    CloseHandle(folder);
    return f;
  }
  h = reinterpret_cast<Handle>(folder);
  key = keyof(info);
  mode = info.dwFileAttributes;
  owner = 0;
  return {};
}

Failure mayaddfiles(const std::string& path, const std::string& shown, Role role) {
  // Opened for adding a file: fails where the user may not.
  const HANDLE folder = CreateFileW(systempath(path).c_str(), FILE_ADD_FILE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return lasterror(Step::kCreate, shown, role);
  CloseHandle(folder);
  return {};
}

Failure mayrenameover(const std::string& target, const Place& place, bool held, std::uint32_t,
                      std::uint32_t, const std::string& shown, Role role) {
  if (place.kind == Place::kNothing || held) return {};
  const std::wstring wide = systempath(target);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return systemfailure(Step::kRename, shown, role, ERROR_ACCESS_DENIED);
  // Opened for replacing, with no one else: fails while another program
  // has it open (after the usual wait), as the rename would.
  bool washeld = false;
  const HANDLE file =
      createheld(wide, DELETE, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, washeld);
  if (file == INVALID_HANDLE_VALUE) return retried(Step::kRename, shown, role, washeld);
  CloseHandle(file);
  return {};
}

Failure flushfolder(Handle, const std::string&, Role) { return {}; }  // renames written through

std::string fullpath(const std::string& path) {
  const std::wstring full = fullwide(towide(path));
  return full.empty() ? path : toutf8(std::u16string(full.begin(), full.end()));
}

bool samename(const std::string& a, const std::string& b) {
  const std::wstring x = towide(a), y = towide(b);
  return CompareStringOrdinal(x.c_str(), int(x.size()), y.c_str(), int(y.size()), TRUE) ==
         CSTR_EQUAL;
}

void watch(const std::string& temporary) {
  static const bool handled = SetConsoleCtrlHandler(removeonexit, TRUE) != 0;
  (void)handled;
  const std::wstring wide = systempath(temporary);
  AcquireSRWLockExclusive(&watchedlock);
  for (std::wstring& slot : watched) {
    if (!slot.empty()) continue;
    slot = wide;
    break;
  }
  ReleaseSRWLockExclusive(&watchedlock);
}

void unwatch(const std::string& temporary) {
  const std::wstring wide = systempath(temporary);
  AcquireSRWLockExclusive(&watchedlock);
  for (std::wstring& slot : watched) {
    if (slot != wide) continue;
    slot.clear();
    break;
  }
  ReleaseSRWLockExclusive(&watchedlock);
}

namespace {

struct ThreadStart {
  void (*run)(void*);
  void* arg;
};

unsigned __stdcall threadmain(void* start) {
  const ThreadStart what = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  what.run(what.arg);
  return 0;
}

}  // namespace

bool startthread(void (*run)(void*), void* arg, std::intptr_t& thread) {
  // Windows's console control handler has a thread of its own: nothing to
  // keep from this one.
  auto* start = new (std::nothrow) ThreadStart{run, arg};
  if (start == nullptr) return false;
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, threadmain, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    return false;
  }
  thread = std::intptr_t(handle);
  return true;
}

void jointhread(std::intptr_t thread) {
  WaitForSingleObject(handleof(thread), INFINITE);
  CloseHandle(handleof(thread));
}

}  // namespace sys

Failure lookat(const std::string& path, Role role, Place& place) {
  place = Place();
  const std::wstring wide = systempath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const Failure f = lasterror(Step::kLook, path, role);
    return f.notfound() ? Failure() : f;
  }
  place.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // Opened for nothing but its identity: no other program is kept from it.
  const HANDLE file = CreateFileW(wide.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const Failure f = lasterror(Step::kLook, path, role);
    return f.notfound() ? Failure() : f;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  const Failure f = known ? Failure() : lasterror(Step::kLook, path, role);
  CloseHandle(file);
  if (!f.ok()) return f;
  place.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Place::kFolder
               : disk                                                 ? Place::kFile
                                                                      : Place::kOther;
  place.key = keyof(info);
  return {};
}

namespace {

// The entries FindFirstFileW finds for `pattern`, less "." and "..";
// `folders` says whether folders are wanted too. One that finds nothing
// leaves ERROR_FILE_NOT_FOUND for the caller.
Failure findall(const std::string& pattern, bool folders, std::vector<std::string>& names,
                const std::string& file, Role role) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(systempath(pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return lasterror(Step::kList, file, role);
  Failure f;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!folders && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    names.push_back(toutf8(std::u16string(name.begin(), name.end())));
  } while (FindNextFileW(find, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) f = lasterror(Step::kList, file, role);
  FindClose(find);
  return f;
}

}  // namespace

Failure listfolder(const std::string& folder, std::vector<std::string>& names) {
  const Failure f = findall(joinpath(folder, "*"), false, names, folder, Role::kFolder);
  // An empty folder has no entries at all where "." and ".." are not listed.
  return f.ok() || f.code == ERROR_FILE_NOT_FOUND ? Failure() : f;
}

Failure expandwildcards(const std::string& arg, std::vector<std::string>& out) {
  out.clear();
  const std::size_t start = namestart(arg);
  if (arg.find_first_of("*?", start) == std::string::npos) {
    out.push_back(arg);
    return {};
  }
  Failure f = findall(arg, true, out, arg, Role::kReport);
  // A pattern that matches nothing: no report is there.
  if (f.ok() && out.empty()) f = systemfailure(Step::kOpen, arg, Role::kReport, ERROR_FILE_NOT_FOUND);
  if (!f.ok()) {
    f.step = Step::kOpen;
    return f;
  }
  sortnames(out);
  for (std::string& name : out) name = arg.substr(0, start) + name;
  return {};
}

void sortnames(std::vector<std::string>& names) {
  // Explorer's own order: digits as numbers, case ignored.
  std::vector<std::pair<std::wstring, std::string>> keyed;
  for (std::string& name : names) keyed.emplace_back(towide(name), std::move(name));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    const int order = StrCmpLogicalW(a.first.c_str(), b.first.c_str());
    return order != 0 ? order < 0 : a.second < b.second;
  });
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].second);
}

}  // namespace stampo

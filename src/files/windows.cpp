// The file layer's system calls on Windows: Win32 calls on UTF-16 paths,
// and the system's own messages.
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <shlwapi.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>

#include "file.h"
#include "system.h"
#include "widepath.h"
#include "winpath.h"

namespace stampo {

std::wstring towide(const std::string& utf8) {
  const std::u16string u = toutf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::wstring systempath(const std::string& utf8) {
  const std::wstring given = towide(utf8);
  if (given.rfind(L"\\\\?\\", 0) == 0 || given.rfind(L"\\\\.\\", 0) == 0) return given;
  // A relative name is as long as the folder it lies in makes it.
  const DWORD need = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (need == 0) return given;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(given.c_str(), need, &full[0], nullptr);
  if (got == 0 || got >= need) return given;
  full.resize(got);
  // MAX_PATH less room for the 8.3 name that folder calls reserve.
  constexpr std::size_t kClassicLimit = MAX_PATH - 12;
  if (full.size() < kClassicLimit) return given;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

FileError lasterror(const char* call, const std::string& file) {
  return {call, file, int(GetLastError())};
}

bool FileError::notfound() const {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}
bool FileError::notafile() const { return code == kNotAFile || code == ERROR_DIRECTORY; }
bool FileError::held() const {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_USER_MAPPED_FILE;
}
bool FileError::denied() const {
  return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT ||
         code == ERROR_PRIVILEGE_NOT_HELD;
}
bool FileError::full() const { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }

const bool kNamesIgnoreCase = true;

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) return slash + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;  // "C:disc.bmp"
}

namespace {

// A failure with a code of our own choosing.
FileError failure(const char* call, const std::string& file, DWORD code) {
  SetLastError(code);
  return lasterror(call, file);
}

// Virus scanners, the search indexer, thumbnail makers and sync clients
// open a file for a moment right after it is written or renamed, and while
// they hold it, opening, renaming over or deleting it fails. Such a step
// is tried again, with a growing pause, for up to this long: far more than
// a scan of a half-megabyte picture takes, and short enough that a file a
// program holds on purpose is refused soon.
constexpr DWORD kHeldForMs = 3000;

// Whether a failure of a step on `path` may pass if tried again: a sharing
// or lock violation, or access denied to a file that is neither read-only
// nor a folder (those stay as they are).
bool held(DWORD code, const std::wstring& path) {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return true;
  if (code != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Runs `step` (true on success, else the error in GetLastError) until it
// succeeds, fails for good, or `path` has been held for kHeldForMs.
template <class Step>
bool retrying(const std::wstring& path, Step step) {
  DWORD waited = 0;
  DWORD pause = 10;
  for (;;) {
    if (step()) return true;
    const DWORD code = GetLastError();
    if (!held(code, path) || waited >= kHeldForMs) {
      SetLastError(code);
      return false;
    }
    Sleep(pause);
    waited += pause;
    pause = std::min<DWORD>(pause * 2, 500);
  }
}

// The temporary file being written, for the console's control handler,
// which Windows runs on a thread of its own: a fixed buffer behind a lock.
// The handler takes the lock and keeps it, as the program ends next.
wchar_t beingwritten[32768];
SRWLOCK beingwrittenlock = SRWLOCK_INIT;

BOOL WINAPI removeonexit(DWORD) {
  // Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown. The file was
  // opened with delete sharing, so it goes even while the main thread
  // holds it.
  AcquireSRWLockExclusive(&beingwrittenlock);
  if (beingwritten[0] != L'\0') DeleteFileW(beingwritten);
  return FALSE;  // and the usual end follows
}

HANDLE handleof(sys::Handle h) { return reinterpret_cast<HANDLE>(h); }

// CreateFileW on an existing or new file, tried again while another
// program holds it (see retrying()).
HANDLE createheld(const std::wstring& wide, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
  HANDLE file = INVALID_HANDLE_VALUE;
  retrying(wide, [&] {
    file = CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  return file;
}

// Opens `path` with `access` and `share` if it is a regular file (or,
// with OPEN_ALWAYS, nothing yet); a folder, a device or a pipe is refused.
FileError openregular(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      sys::Handle& h, const std::string& shown) {
  const std::wstring wide = systempath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return failure("fopen", shown, DWORD(kNotAFile));
  const HANDLE file = createheld(wide, access, share, disposition, FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) return lasterror("fopen", shown);
  if (GetFileType(file) != FILE_TYPE_DISK) {  // a device, a pipe
    CloseHandle(file);
    return failure("fopen", shown, DWORD(kNotAFile));
  }
  h = reinterpret_cast<sys::Handle>(file);
  return {};
}

}  // namespace

namespace sys {

const char kSeparator = '\\';
const bool kCloseBeforeRename = true;

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

FileError openfile(const std::string& path, bool write, Handle& h, const std::string& shown) {
  // Shared with every other program; for writing, the right to replace it
  // as well, which fails while another program holds it against that.
  return openregular(path, GENERIC_READ | (write ? GENERIC_WRITE | DELETE : 0),
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, h,
                     shown);
}

std::uint64_t sizeof_(Handle h) {
  LARGE_INTEGER size;
  return GetFileSizeEx(handleof(h), &size) && size.QuadPart > 0 ? std::uint64_t(size.QuadPart)
                                                                : 0;
}

FileError readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                   const std::string& shown) {
  DWORD got = 0;
  if (!ReadFile(handleof(h), data, DWORD(size), &got, nullptr)) {
    const DWORD code = GetLastError();
    if (code != ERROR_HANDLE_EOF && code != ERROR_BROKEN_PIPE) return failure("fread", shown, code);
  }
  done = got;
  return {};
}

FileError writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                    const std::string& shown) {
  DWORD wrote = 0;
  if (!WriteFile(handleof(h), data, DWORD(size), &wrote, nullptr)) return lasterror("fwrite", shown);
  if (wrote == 0) return failure("fwrite", shown, ERROR_DISK_FULL);
  done = wrote;
  return {};
}

void closeread(Handle h) { CloseHandle(handleof(h)); }

FileError closewritten(Handle h, const std::string& shown) {
  return CloseHandle(handleof(h)) ? FileError() : lasterror("fclose", shown);
}

FileError copyrules(Handle like, Handle to, const std::string& shown) {
  // The security descriptor's access list, as the file had it: explicit
  // or inherited from the folder, protected from inheritance or not. A
  // file system without one (FAT) has nothing to keep.
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handleof(like), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0
                                         ? PROTECTED_DACL_SECURITY_INFORMATION
                                         : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD set =
        SetSecurityInfo(handleof(to), SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    if (set != ERROR_SUCCESS) return failure("chmod", shown, set);
  }
  // The attributes a user sets (read-only aside: such a picture is
  // refused before this).
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handleof(like), &info)) return lasterror("fopen", shown);
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = info.dwFileAttributes & kKept;
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(handleof(to), FileBasicInfo, &basic, sizeof basic))
    return lasterror("chmod", shown);
  return {};
}

FileError copytimes(Handle like, Handle to, const std::string& shown) {
  FILETIME created, accessed, written;
  if (!GetFileTime(handleof(like), &created, &accessed, &written)) return lasterror("fopen", shown);
  return SetFileTime(handleof(to), &created, &accessed, &written) ? FileError()
                                                                  : lasterror("utime", shown);
}

FileError createnew(const std::string& path, Handle& h, const std::string& shown) {
  // Delete sharing, so that the control handler can remove it while it is
  // being written.
  const HANDLE file =
      CreateFileW(systempath(path).c_str(), GENERIC_WRITE | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lasterror("fopen", shown);
  h = reinterpret_cast<Handle>(file);
  return {};
}

FileError openappend(const std::string& path, Handle& h, const std::string& shown) {
  return openregular(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     OPEN_ALWAYS, h, shown);
}

FileError flush(Handle h, const std::string& shown) {
  return FlushFileBuffers(handleof(h)) ? FileError() : lasterror("fsync", shown);
}

FileError renameover(const std::string& from, const std::string& to, const std::string& shown) {
  const std::wstring source = systempath(from);
  const std::wstring target = systempath(to);
  // Written through: the move is on the disk when the call returns.
  return retrying(target,
                  [&] {
                    return MoveFileExW(source.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
                  })
             ? FileError()
             : lasterror("rename", shown);
}

FileError flushfolder(const std::string&, const std::string&) { return {}; }

FileError removefile(const std::string& path) {
  const std::wstring wide = systempath(path);
  if (retrying(wide, [&] { return DeleteFileW(wide.c_str()) != 0; })) return {};
  const FileError e = lasterror("remove", path);
  return e.notfound() ? FileError() : e;
}

FileError realtarget(const std::string& path, std::string& target) {
  target = path;
  return {};
}

FileError maywrite(const std::string&) { return {}; }  // opened for writing already

bool samefile(Handle h, const std::string& other) {
  const HANDLE file = CreateFileW(systempath(other).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = GetFileInformationByHandle(handleof(h), &a) &&
                    GetFileInformationByHandle(file, &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(file);
  return same;
}

FileError mayreplace(const std::string& path, const std::string& shown) {
  const std::wstring wide = systempath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // a new file
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return failure("fopen", shown, DWORD(kNotAFile));
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return failure("rename", shown, ERROR_ACCESS_DENIED);
  // Opened for replacing and let go: fails while another program holds it
  // against that.
  const HANDLE file =
      createheld(wide, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (file == INVALID_HANDLE_VALUE) return lasterror("rename", shown);
  CloseHandle(file);
  return {};
}

void watchtemporary(const std::string& path) {
  static const bool watched = SetConsoleCtrlHandler(removeonexit, TRUE) != 0;
  (void)watched;
  const std::wstring wide = path.empty() ? std::wstring() : systempath(path);
  AcquireSRWLockExclusive(&beingwrittenlock);
  const std::size_t n = wide.size() < 32768 ? wide.size() : 0;
  std::copy(wide.c_str(), wide.c_str() + n, beingwritten);
  beingwritten[n] = L'\0';
  ReleaseSRWLockExclusive(&beingwrittenlock);
}

}  // namespace sys

FileError openstream(const std::string& path, StreamPtr& out) {
  sys::Handle h = sys::kNoHandle;
  if (const FileError e = sys::openfile(path, false, h, path); !e.ok()) return e;
  const int fd = _open_osfhandle(h, _O_RDONLY | _O_BINARY);
  if (fd == -1) {
    sys::closeread(h);
    return failure("fopen", path, ERROR_TOO_MANY_OPEN_FILES);
  }
  out.reset(_fdopen(fd, "rb"));
  if (out) return {};
  _close(fd);
  return failure("fopen", path, ERROR_NOT_ENOUGH_MEMORY);
}

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
  std::uint64_t hash = 0xcbf29ce484222325u;      // FNV-1a over the UTF-16 units
  for (const wchar_t c : full) {
    hash = (hash ^ (std::uint16_t(c) & 0xFF)) * 0x100000001b3u;
    hash = (hash ^ (std::uint16_t(c) >> 8)) * 0x100000001b3u;
  }
  wchar_t name[40];
  wsprintfW(name, L"Local\\stampo-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return name;
}

}  // namespace

LockedFile::~LockedFile() { close(); }

FileError LockedFile::open(const std::string& path) {
  path_ = path;
  target_.clear();
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, lockname(systempath(path)).c_str());
  if (mutex == nullptr) return lasterror("flock", path);
  lock_ = reinterpret_cast<std::intptr_t>(mutex);
  // A copy that ended without letting go leaves the mutex abandoned: ours.
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const FileError e = lasterror("flock", path);
    CloseHandle(mutex);
    lock_ = 0;
    return e;
  }
  // Opened for writing and replacing too, so that a file that cannot be
  // written or replaced fails now, before anything is written.
  sys::Handle h = sys::kNoHandle;
  const FileError e = sys::openfile(path, true, h, path);
  if (e.ok()) file_ = h;
  return e;
}

FileError LockedFile::close() {
  FileError e;
  if (file_ != -1 && !CloseHandle(handleof(file_))) e = lasterror("fclose", path_);
  file_ = -1;
  if (lock_ != 0) {
    const HANDLE mutex = reinterpret_cast<HANDLE>(lock_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    lock_ = 0;
  }
  return e;
}

bool isfolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(systempath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// The entries FindFirstFileW finds for `pattern`, less "." and "..";
// `folders` says whether folders are wanted too.
FileError findall(const std::string& pattern, bool folders, std::vector<std::string>& names,
                  const std::string& file) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(systempath(pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    const FileError e = lasterror("fopen", file);
    return e.code == ERROR_FILE_NOT_FOUND || e.code == ERROR_NO_MORE_FILES ? FileError() : e;
  }
  FileError e;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (!folders && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    names.push_back(toutf8(std::u16string(name.begin(), name.end())));
  } while (FindNextFileW(find, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) e = lasterror("fread", file);
  FindClose(find);
  return e;
}

}  // namespace

FileError listfolder(const std::string& folder, std::vector<std::string>& names) {
  if (!isfolder(folder)) {
    SetLastError(ERROR_DIRECTORY);
    return lasterror("fopen", folder);
  }
  return findall(joinpath(folder, "*"), false, names, folder);
}

std::vector<std::string> expandwildcards(const std::string& arg) {
  const std::size_t start = namestart(arg);
  if (arg.find_first_of("*?", start) == std::string::npos) return {arg};
  std::vector<std::string> names;
  if (!findall(arg, true, names, arg).ok() || names.empty()) return {arg};
  sortnames(names);
  for (std::string& name : names) name = arg.substr(0, start) + name;
  return names;
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

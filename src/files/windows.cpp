// The file layer on Windows: Win32 calls on UTF-16 paths, and the system's
// own messages.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "file.h"
#include "paths.h"
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

std::string reason(const FileError& e) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, DWORD(e.code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 || text == nullptr) return "Windows error " + std::to_string(unsigned(e.code));
  std::wstring message(text, n);
  LocalFree(text);
  // The message ends its own line; the caller ends ours.
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return toutf8(std::u16string(message.begin(), message.end()));
}

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) return slash + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;  // "C:disc.bmp"
}

std::string joinpath(const std::string& folder, const std::string& name) {
  // A folder that ends in a separator (or a drive, "C:") needs none more.
  if (folder.empty() || namestart(folder + "x") == folder.size()) return folder + name;
  return folder + '\\' + name;
}

FileError openstream(const std::string& path, StreamPtr& out) {
  SetLastError(ERROR_SUCCESS);
  out.reset(_wfopen(systempath(path).c_str(), L"rb"));
  if (out) return {};
  FileError e = lasterror("fopen", path);
  if (e.code == ERROR_SUCCESS) e.code = ERROR_INVALID_NAME;  // refused by the C runtime itself
  return e;
}

FileError closestream(StreamPtr& f, const std::string& path) {
  return std::fclose(f.release()) == 0 ? FileError() : lasterror("fclose", path);
}

namespace {

// The temporary file being written, removed by the console's control
// handler, which Windows runs on a thread of its own.
wchar_t* volatile beingwritten = nullptr;

BOOL WINAPI removeonexit(DWORD) {
  // Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown: the program
  // ends next. The file was opened with delete sharing, so it goes even
  // while the main thread holds it.
  if (wchar_t* temporary = beingwritten) DeleteFileW(temporary);
  return FALSE;  // and the usual end follows
}

void writing(const std::wstring& path) {
  static bool watched = false;
  if (!watched) watched = SetConsoleCtrlHandler(removeonexit, TRUE) != 0;
  wchar_t* now = nullptr;
  if (!path.empty()) {
    now = new wchar_t[path.size() + 1];
    std::copy(path.c_str(), path.c_str() + path.size() + 1, now);
  }
  delete[] static_cast<wchar_t*>(
      InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&beingwritten), now));
}

FileError readhandle(HANDLE h, std::vector<std::uint8_t>& out, std::size_t limit,
                     const std::string& path) {
  std::size_t block = std::size_t(1) << 16;
  LARGE_INTEGER size;
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) && size.QuadPart >= 0 &&
      std::uint64_t(size.QuadPart) < limit)
    block = std::size_t(size.QuadPart) + 1;
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min({block, limit + 1 - used, std::size_t(1) << 30});
    out.resize(used + want);
    DWORD got = 0;
    if (!ReadFile(h, out.data() + used, DWORD(want), &got, nullptr)) {
      const FileError e = lasterror("fread", path);
      out.resize(used);
      if (e.code == ERROR_BROKEN_PIPE || e.code == ERROR_HANDLE_EOF) break;  // the end
      return e;
    }
    if (got == 0) break;
    used += got;
    if (got == want) block *= 2;
  }
  out.resize(used);
  return {};
}

FileError writehandle(HANDLE h, const std::uint8_t* data, std::size_t size,
                      const std::string& path) {
  while (size > 0) {
    DWORD wrote = 0;
    const DWORD chunk = DWORD(std::min<std::size_t>(size, std::size_t(1) << 30));
    if (!WriteFile(h, data, chunk, &wrote, nullptr)) return lasterror("fwrite", path);
    if (wrote == 0) {
      SetLastError(ERROR_DISK_FULL);
      return lasterror("fwrite", path);
    }
    data += wrote;
    size -= wrote;
  }
  return {};
}

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

FileError readfile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
  const HANDLE h = CreateFileW(systempath(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lasterror("fopen", path);
  const FileError e = readhandle(h, out, limit, path);
  CloseHandle(h);
  return e;
}

LockedFile::~LockedFile() { close(); }

FileError LockedFile::open(const std::string& path) {
  path_ = path;
  const std::wstring wide = systempath(path);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, lockname(wide).c_str());
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
  // Opened for writing too, so that a file that cannot be written fails
  // now, before anything is written; shared, so another program may read it.
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lasterror("fopen", path);
  file_ = reinterpret_cast<std::intptr_t>(h);
  return {};
}

FileError LockedFile::readall(std::vector<std::uint8_t>& out, std::size_t limit) {
  return readhandle(reinterpret_cast<HANDLE>(file_), out, limit, path_);
}

FileError LockedFile::checkwritable() const { return {}; }  // opened for writing already

FileError LockedFile::replace(const std::uint8_t* data, std::size_t size) {
  // Closed first: Windows will not rename over a file that is open.
  if (file_ != -1) {
    const HANDLE h = reinterpret_cast<HANDLE>(file_);
    file_ = -1;
    if (!CloseHandle(h)) return lasterror("fclose", path_);
  }
  return replacewhole(path_, data, size, *this);
}

FileError LockedFile::close() {
  FileError e;
  if (file_ != -1 && !CloseHandle(reinterpret_cast<HANDLE>(file_))) e = lasterror("fclose", path_);
  file_ = -1;
  if (lock_ != 0) {
    const HANDLE mutex = reinterpret_cast<HANDLE>(lock_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    lock_ = 0;
  }
  return e;
}

FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const LockedFile&) {
  // The new file takes the folder's inherited permissions, as the file it
  // replaces did when it was made.
  const std::wstring target = systempath(path);
  const std::wstring temporary = systempath(temporaryname(path));
  // Only one copy of the program works on a file at a time (it holds the
  // lock), so a file by this name is what an interrupted run left.
  DeleteFileW(temporary.c_str());
  writing(temporary);
  const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const FileError e = lasterror("fopen", path);
    writing(L"");
    return e;
  }
  FileError e = writehandle(h, data, size, path);
  if (e.ok() && !FlushFileBuffers(h)) e = lasterror("fsync", path);
  if (!CloseHandle(h) && e.ok()) e = lasterror("fclose", path);
  // Written through: the move is on the disk when the call returns.
  if (e.ok() && !MoveFileExW(temporary.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    e = lasterror("rename", path);
  if (!e.ok()) DeleteFileW(temporary.c_str());
  writing(L"");
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
  std::sort(names.begin(), names.end());
  for (std::string& name : names) name = arg.substr(0, start) + name;
  return names;
}

}  // namespace stampo

#include "console.h"

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "messages.h"
#include "widepath.h"
#endif

namespace stampo {

ConsoleText& ConsoleText::text(const std::string& s) {
  pieces_.push_back({false, s});
  return *this;
}

ConsoleText& ConsoleText::system(const std::string& s) {
  pieces_.push_back({true, s});
  return *this;
}

bool ConsoleText::atlinestart() const {
  for (auto p = pieces_.rbegin(); p != pieces_.rend(); ++p)
    if (!p->bytes.empty()) return p->bytes.back() == '\n';
  return true;
}

bool shouldwait(unsigned long consoleprocesses, bool inputisconsole) {
  return consoleprocesses == 1 && inputisconsole;
}

#ifdef _WIN32

namespace {

std::wstring widen(UINT codepage, const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int n = MultiByteToWideChar(codepage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring wide(std::size_t(n), L'\0');
  MultiByteToWideChar(codepage, 0, bytes.data(), int(bytes.size()), &wide[0], n);
  return wide;
}

// A path as the ANSI code page spells it, as a program with an ANSI
// command line would have received it.
std::string systembytes(const std::string& utf8) {
  const std::wstring wide = towide(utf8);
  if (wide.empty()) return std::string();
  const int n =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), &bytes[0], n, nullptr, nullptr);
  return bytes;
}

HANDLE consoleof(std::FILE* stream) {
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) ? h : nullptr;
}

bool writeconsole(HANDLE console, const std::wstring& wide) {
  for (std::size_t at = 0; at < wide.size();) {
    DWORD wrote = 0;
    const DWORD chunk = DWORD(std::min<std::size_t>(wide.size() - at, 8192));
    if (!WriteConsoleW(console, wide.data() + at, chunk, &wrote, nullptr) || wrote == 0)
      return false;
    at += wrote;
  }
  return true;
}

}  // namespace

std::wstring fromsjis(const std::string& sjis) { return widen(932, sjis); }

int finish(int status) {
  DWORD ids[2];
  const DWORD processes = GetConsoleProcessList(ids, 2);
  DWORD mode = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!shouldwait(processes, input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)))
    return status;
  ConsoleText().text(kCloseJa).text(kCloseEn).write(stdout);
  // Until a line ends, the input ends or fails.
  for (;;) {
    wchar_t buffer[64];
    DWORD got = 0;
    if (!ReadConsoleW(input, buffer, 64, &got, nullptr) || got == 0) break;
    if (std::wstring(buffer, got).find_first_of(L"\r\n") != std::wstring::npos) break;
  }
  return status;
}

#else

namespace {

// Paths are the bytes the system gave: they go out as they are.
const std::string& systembytes(const std::string& path) { return path; }

}  // namespace

#endif

bool ConsoleText::write(std::FILE* stream) const {
#ifdef _WIN32
  if (const HANDLE console = consoleof(stream)) {
    std::wstring wide;
    for (const Piece& p : pieces_) wide += p.system ? towide(p.bytes) : fromsjis(p.bytes);
    return std::fflush(stream) == 0 && writeconsole(console, wide);
  }
#endif
  std::string bytes;
  for (const Piece& p : pieces_) bytes += p.system ? systembytes(p.bytes) : p.bytes;
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
         std::fflush(stream) == 0;
}

#ifndef _WIN32
int finish(int status) { return status; }
#endif

}  // namespace stampo

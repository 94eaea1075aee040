// The console on Windows: a console window, or a file or pipe.
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "console.h"
#include "texts.h"
#include "winpath.h"

namespace stampo {
namespace {

// UTF-8 as the ANSI code page spells it, as a program with an ANSI
// command line would have received a path.
std::string ansibytes(const std::string& utf8) {
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

void setupconsole() { setlanguage(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE); }

const char* programname() { return "Stampo.exe"; }

namespace {

bool waits() {
  DWORD ids[2];
  const DWORD processes = GetConsoleProcessList(ids, 2);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool inputisconsole = input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode);
  return shouldwait(processes, inputisconsole, consoleof(stdout) != nullptr);
}

}  // namespace

bool wantaccount(int) { return waits() && consoleof(stderr) != nullptr; }

bool ishelpflag(const std::string& arg) {
  return arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?";
}

int waitforenter(int status) {
  if (!waits()) return status;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  ConsoleText().text(kCloseJa).text(kCloseEn.en).write(stdout);
  // Until a line ends, the input ends or fails.
  for (;;) {
    wchar_t buffer[64];
    DWORD got = 0;
    if (!ReadConsoleW(input, buffer, 64, &got, nullptr) || got == 0) break;
    if (std::wstring(buffer, got).find_first_of(L"\r\n") != std::wstring::npos) break;
  }
  return status;
}

Failure ConsoleText::write(std::FILE* stream) const {
  if (const HANDLE console = consoleof(stream)) {
    std::wstring wide;
    for (const Piece& p : pieces_) wide += towide(p.kind == kMessage ? p.utf8 : p.bytes);
    if (std::fflush(stream) != 0 || !writeconsole(console, wide)) return failed(stream);
    return {};
  }
  // Redirected: the bytes the program has always written, paths and the
  // system's words in the ANSI code page.
  std::string bytes;
  for (const Piece& p : pieces_) {
    if (p.kind == kPerson) continue;
    bytes += p.kind == kSystem ? ansibytes(p.bytes) : p.bytes;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
      std::fflush(stream) != 0)
    return failed(stream);
  return {};
}

}  // namespace stampo

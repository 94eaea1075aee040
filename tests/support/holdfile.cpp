// A Windows program that holds a file open the way an image viewer, a
// virus scanner or an indexer may, reading it and sharing it as HOW says:
// "r" reading only (so no one may write, rename or delete it), "rw"
// reading and writing but not deletion, "rwd" everything (Windows still
// renames over no open file), "none" nothing at all. Prints "held" once
// it has the file, then keeps it for MS milliseconds, or until it is
// killed. Usage: holdfile FILE [r|rw|rwd|none] [MS]
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 4) return 2;
  const wchar_t* how = argc > 2 ? argv[2] : L"r";
  const DWORD share = std::wcscmp(how, L"rwd") == 0
                          ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                      : std::wcscmp(how, L"rw") == 0   ? FILE_SHARE_READ | FILE_SHARE_WRITE
                      : std::wcscmp(how, L"none") == 0 ? 0
                                                       : FILE_SHARE_READ;
  const DWORD ms = argc > 3 ? DWORD(std::wcstoul(argv[3], nullptr, 10)) : INFINITE;
  const HANDLE h = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::puts("held");
  std::fflush(stdout);
  Sleep(ms);
  CloseHandle(h);
  return 0;
}

// A Windows program that holds a file open the way an image viewer, a
// virus scanner or an indexer may: for reading, sharing reading only (so
// no one may write, rename or delete it), or with "rw" reading and writing
// but not deletion. Prints "held" once it has the file, then keeps it for
// MS milliseconds, or until it is killed. Usage: holdfile FILE [r|rw] [MS]
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 4) return 2;
  const DWORD share = argc > 2 && std::wcscmp(argv[2], L"rw") == 0
                          ? FILE_SHARE_READ | FILE_SHARE_WRITE
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

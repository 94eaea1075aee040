// A Windows program that holds a file open the way an image viewer or
// editor may: for reading, sharing reading only, so no one may write,
// rename or delete it. Prints "held" once it has the file, then keeps it
// until it is killed. Usage: holdfile FILE
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HANDLE h = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::puts("held");
  std::fflush(stdout);
  Sleep(INFINITE);
  return 0;
}

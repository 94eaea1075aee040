// A Windows program that needs zlib1.dll, as Stampo.exe did when zlib was
// linked as a DLL: the release check must refuse it and name the DLL.
#include <zlib.h>

#include <cstdio>

int main() { return std::puts(zlibVersion()) >= 0 ? 0 : 1; }

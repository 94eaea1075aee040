#pragma once
// Paths for the wide-character Windows calls (Windows only; made in
// windows.cpp). See widepath.h for how the program holds paths.
#include <string>

namespace stampo {

// UTF-8 to the wchar_t text of the Windows calls (UTF-16 there).
std::wstring towide(const std::string& utf8);

// The name to hand to a wide-character Windows call: as given while it is
// short enough for the classic limit (MAX_PATH), else its full path in
// the \\?\ form (\\?\UNC\ for a network path), which has no such limit.
std::wstring systempath(const std::string& utf8);

}  // namespace stampo

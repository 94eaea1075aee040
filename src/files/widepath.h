#pragma once
// Text between the program and Windows. The program holds every path as
// 8-bit text: on POSIX the bytes the system gave, on Windows UTF-8 made
// from the UTF-16 command line. Windows names may hold unpaired
// surrogates; they pass through both ways as three-byte sequences (the
// WTF-8 convention), so any name that arrives can be opened again.
#include <string>

namespace stampo {

// UTF-16 to UTF-8 (WTF-8 for unpaired surrogates).
std::string toutf8(const std::u16string& wide);

// UTF-8 (or WTF-8) to UTF-16; a byte that starts no valid sequence
// becomes U+FFFD.
std::u16string toutf16(const std::string& utf8);

}  // namespace stampo

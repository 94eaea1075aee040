#pragma once
// Inside the file layer: the name of the temporary file that replaces a
// target (see file.h).
#include <cstddef>
#include <cstdint>
#include <string>

namespace stampo {

// `target` with its name changed to the temporary file's: "disc.bmp"
// gives "disc.bmp.stampo-tmp". A name that would pass 255 bytes is cut at
// a character boundary and gets a hash of the whole name, so the result
// fits every system's limit (255 bytes, or 255 UTF-16 units) and two
// long names that share a beginning still differ.
std::string temporaryname(const std::string& target);

// FNV-1a over `size` bytes: a short name for a long one (a temporary
// file's, a lock's), the same wherever it is made.
std::uint64_t namehash(const void* data, std::size_t size);

}  // namespace stampo

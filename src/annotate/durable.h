#pragma once
// Writing a file so that a crash at any moment leaves either its old
// contents or its new ones, never a mix or nothing: the bytes go to a new
// temporary file in the same folder, are flushed to the disk, and the
// temporary file is then renamed over the target in one step.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio.h"

namespace stampo {

// The temporary file's name: beside `path`, unique to this process and
// attempt, and made with create-exclusive so it can never be a file that
// is already there (a user's, or another copy's).
std::string temporaryname(const std::string& path, unsigned attempt);

// Replaces the file at `path` with `data`, durably. On failure the
// temporary file is gone and whatever was at `path` is as it was.
IoError replacedurably(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace stampo

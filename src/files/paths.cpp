#include "paths.h"

#include <cstdint>

#include "file.h"

namespace stampo {

std::uint64_t namehash(const void* data, std::size_t size) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3u;
  return hash;
}

std::string temporaryname(const std::string& target) {
  constexpr std::size_t kNameLimit = 255;
  constexpr char kSuffix[] = ".stampo-tmp";
  const std::size_t start = namestart(target);
  const std::string name = target.substr(start);
  std::string temporary = name + kSuffix;
  if (temporary.size() > kNameLimit) {
    const std::uint64_t hash = namehash(name.data(), name.size());
    char hex[18];
    hex[0] = '~';
    for (int i = 0; i < 16; ++i) hex[1 + i] = "0123456789abcdef"[hash >> (60 - 4 * i) & 15];
    hex[17] = '\0';
    std::size_t keep = kNameLimit - (sizeof kSuffix - 1) - 17;
    while (keep > 0 && (std::uint8_t(name[keep]) & 0xC0) == 0x80) --keep;  // not mid-character
    temporary = name.substr(0, keep) + hex + kSuffix;
  }
  return target.substr(0, start) + temporary;
}

}  // namespace stampo

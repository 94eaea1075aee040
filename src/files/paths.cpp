#include "paths.h"

#include <cstdint>

#include "file.h"

namespace stampo {

std::string temporaryname(const std::string& target) {
  constexpr std::size_t kNameLimit = 255;
  constexpr char kSuffix[] = ".stampo-tmp";
  const std::size_t start = namestart(target);
  const std::string name = target.substr(start);
  std::string temporary = name + kSuffix;
  if (temporary.size() > kNameLimit) {
    std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
    for (const char c : name) hash = (hash ^ std::uint8_t(c)) * 0x100000001b3u;
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

// The console on POSIX systems: a terminal, or a file or pipe.
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "console.h"

namespace stampo {
namespace {

bool utf8locale = false;

// Whether the stream is a terminal, asked once for each.
bool isterminal(std::FILE* stream) {
  static int known[3] = {-1, -1, -1};
  const int fd = fileno(stream);
  if (fd < 0 || fd > 2) return ::isatty(fd) == 1;
  if (known[fd] < 0) known[fd] = ::isatty(fd) == 1 ? 1 : 0;
  return known[fd] == 1;
}

}  // namespace

void setupconsole() {
  // The character set only: LC_NUMERIC stays "C", so figures keep their
  // decimal point whatever the user's locale.
  if (std::setlocale(LC_CTYPE, "") != nullptr)
    utf8locale = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  // The language of messages, as gettext would choose it.
  const char* language = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    language = std::getenv(name);
    if (language != nullptr && language[0] != '\0') break;
  }
  setlanguage(language != nullptr && std::strncmp(language, "ja", 2) == 0);
}

const char* programname() { return "stampo"; }

bool wantaccount(int reports) { return reports > 1 && isterminal(stderr); }

bool ishelpflag(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// A terminal window stays open by itself.
int waitforenter(int status) { return status; }

Failure ConsoleText::write(std::FILE* stream) const {
  // Shift_JIS for files and pipes, as ever; UTF-8 for a person reading a
  // UTF-8 terminal. Paths and the system's words go out as they came.
  const bool terminal = isterminal(stream);
  const bool utf8 = utf8locale && terminal;
  std::string bytes;
  for (const Piece& p : pieces_) {
    if (p.kind == kPerson && !terminal) continue;
    bytes += p.kind == kMessage && utf8 ? p.utf8 : p.bytes;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
      std::fflush(stream) != 0)
    return failed(stream);
  return {};
}

}  // namespace stampo

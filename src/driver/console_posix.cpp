// The console on POSIX systems: a terminal, or a file or pipe.
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "console.h"

namespace stampo {
namespace {

bool utf8locale = false;

}  // namespace

void setupconsole() {
  // The character set only: LC_NUMERIC stays "C", so figures keep their
  // decimal point whatever the user's locale.
  if (std::setlocale(LC_CTYPE, "") != nullptr)
    utf8locale = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

bool ishelpflag(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// A terminal window stays open by itself.
int waitforenter(int status) { return status; }

bool ConsoleText::write(std::FILE* stream) const {
  // Shift_JIS for files and pipes, as ever; UTF-8 for a person reading a
  // UTF-8 terminal. Paths and the system's words go out as they came.
  const bool utf8 = utf8locale && ::isatty(fileno(stream)) == 1;
  std::string bytes;
  for (const Piece& p : pieces_)
    bytes += p.kind != kMessage ? p.bytes : utf8 ? p.message->utf8 : p.message->sjis;
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
         std::fflush(stream) == 0;
}

}  // namespace stampo

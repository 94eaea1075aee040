#pragma once
// Console text. The program's own texts are ASCII or, for the Japanese
// ones, Shift_JIS bytes (code page 932), as a Japanese Windows console
// shows them; file paths are held as the program got them (see
// widepath.h). Written to a file or a pipe, the text is exactly those
// bytes, with paths in the system's own encoding. Written to a Windows
// console, every piece is turned into UTF-16 first, so Japanese texts and
// names in any script read right whatever the console's code page.
#include <cstdio>
#include <string>
#include <vector>

namespace stampo {

class ConsoleText {
 public:
  // The program's own text: ASCII or Shift_JIS.
  ConsoleText& text(const std::string& s);
  // Text the system gave: a file path, or the system's words for an
  // error. The bytes as they came on POSIX; UTF-8 on Windows.
  ConsoleText& system(const std::string& s);

  // Whether the text ends a line (or is empty).
  bool atlinestart() const;

  // Writes it all and flushes the stream; false if that failed.
  bool write(std::FILE* stream) const;

 private:
  struct Piece {
    bool system;
    std::string bytes;
  };
  std::vector<Piece> pieces_;
};

// Whether to keep a console window open at the end: when this program is
// the only one attached to its console (Windows made the console for it,
// as it does for a program started from Explorer) and the input is that
// console, so a key can be read.
bool shouldwait(unsigned long consoleprocesses, bool inputisconsole);

// Ends the run: on Windows, waits for Enter where shouldwait says so.
// Returns `status` unchanged.
int finish(int status);

#ifdef _WIN32
// Shift_JIS bytes as UTF-16.
std::wstring fromsjis(const std::string& sjis);
#endif

}  // namespace stampo

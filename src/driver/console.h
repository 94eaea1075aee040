#pragma once
// The console: what the program says, and the console window's end.
//
// Text is gathered in pieces and written in one go. Each piece is the
// program's own text (ASCII, or one of the Japanese messages in its two
// spellings) or text the system gave (a file path, the system's words for
// an error: bytes as they came on POSIX, UTF-8 on Windows). How it goes
// out depends on where it goes:
//  - a file or a pipe: exactly the bytes the program has always written,
//    the Japanese texts in Shift_JIS and the system's text in the
//    system's own encoding (the ANSI code page on Windows);
//  - a Windows console: all of it as UTF-16, so every script reads right
//    whatever the console's code page;
//  - a POSIX terminal whose locale's character set is UTF-8: the Japanese
//    texts in UTF-8.
// The console's code lives in console_posix.cpp and console_windows.cpp,
// one for each system.
#include <cstdio>
#include <string>
#include <vector>

#include "messages.h"

namespace stampo {

class ConsoleText {
 public:
  // The program's own ASCII text.
  ConsoleText& text(const std::string& ascii);
  // One of the program's Japanese texts.
  ConsoleText& text(const Message& message);
  // Text the system gave: a path, or the system's words for an error.
  ConsoleText& system(const std::string& s);

  // Whether the text ends a line (or is empty).
  bool atlinestart() const;

  // Writes it all and flushes the stream; false if that failed, with the
  // system's error left for lasterror().
  bool write(std::FILE* stream) const;

 private:
  enum Kind { kAscii, kMessage, kSystem };
  struct Piece {
    Kind kind;
    std::string bytes;       // kAscii, kSystem
    const Message* message;  // kMessage
  };
  std::vector<Piece> pieces_;
};

// Takes the character set (only that: numbers keep their decimal point)
// from the user's locale, for the terminal's text. Call once at start.
void setupconsole();

// Whether `arg` asks for help on this system: "--help" and "-h", and on
// Windows "/?" and "-?" too.
bool ishelpflag(const std::string& arg);

// Whether to keep a console window open at the end: only when a person
// is watching it, that is when this program is the only one attached to
// its console (Windows made it for the program, as for one started from
// Explorer) and both the input and the output are that console.
bool shouldwait(unsigned long consoleprocesses, bool inputisconsole, bool outputisconsole);

// Ends the run: on Windows, where shouldwait() says so, asks on the
// console for Enter and waits for it. Returns `status` unchanged.
int waitforenter(int status);

}  // namespace stampo

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

#include "failure.h"
#include "textkinds.h"

namespace stampo {

class ConsoleText {
 public:
  // The program's own ASCII text.
  ConsoleText& text(const std::string& ascii);
  // One of the program's Japanese texts.
  ConsoleText& text(const Message& message);
  // Text the system gave: a path, or the system's words for an error.
  ConsoleText& system(const std::string& s);
  // What goes into one of the places a text of ours marks: text the
  // system gave (a path, a number, the system's words), or another text
  // of ours, which then comes in the same language and spelling.
  struct Arg {
    Arg(const std::string& system) : text(system) {}
    Arg(const char* system) : text(system) {}
    Arg(const Said& ours) : said(&ours) {}
    std::string text;
    const Said* said = nullptr;
  };
  // One of our texts in the user's language (see setlanguage), with
  // `args` in the places it marks.
  ConsoleText& say(const Said& said, const std::vector<Arg>& args = {});
  // ASCII text for a person only: left out where the stream is a file or
  // a pipe, whose bytes stay as scripts know them.
  ConsoleText& forperson(const std::string& ascii);

  // Whether the text ends a line (or is empty).
  bool atlinestart() const;

  // Writes it all and flushes the stream (standard output or standard
  // error): "fwrite" on the stream if that failed.
  Failure write(std::FILE* stream) const;

 private:
  // The failure of a write to the stream, with the system's error.
  static Failure failed(std::FILE* stream);

  enum Kind { kAscii, kMessage, kSystem, kPerson };
  struct Piece {
    Kind kind;
    std::string bytes;  // kMessage: its Shift_JIS spelling
    std::string utf8;   // kMessage: its UTF-8 spelling
  };
  std::vector<Piece> pieces_;
};

// Takes the character set (only that: numbers keep their decimal point)
// from the user's locale, for the terminal's text, and the user's
// language (see setlanguage). Call once at start.
void setupconsole();

// The language of our texts: Japanese where the user's is (Windows: the
// user's interface language; POSIX: LC_ALL, LC_MESSAGES or LANG), else
// English.
void setlanguage(bool japanese);
bool japanese();

// The program's name as the user has it: "Stampo.exe" on Windows.
const char* programname();

// Whether to end a run with an account of it on standard error: for a
// person reading it, that is where the console window waits for Enter
// (Windows), or where standard error is a terminal and more than one
// report was given (POSIX).
bool wantaccount(int reports);

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

#pragma once
// The kinds of the program's texts, which texts.h (made by the build from
// the table in tools/mktexts.py) holds. In every text the byte 0x01 marks
// where an argument goes (see ConsoleText::say).

namespace stampo {

// A Japanese text in its two spellings: Shift_JIS bytes (code page 932),
// which is what the program has always written to files, pipes and
// Japanese Windows consoles, and UTF-8, for a UTF-8 terminal and for the
// Windows console's UTF-16.
struct Message {
  const char* sjis;
  const char* utf8;
};

// A text in the user's language: English, or Japanese in its two
// spellings. A text written alike in every language has the same bytes
// in all three.
struct Said {
  const char* en;
  Message ja;
};

// A text of the table, by name: a Said, or a Message.
struct TextEntry {
  const char* name;
  const Said* said;
  const Message* message;
};

}  // namespace stampo

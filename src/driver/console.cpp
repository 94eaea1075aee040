#include "console.h"

namespace stampo {

ConsoleText& ConsoleText::text(const std::string& ascii) {
  pieces_.push_back({kAscii, ascii, nullptr});
  return *this;
}

ConsoleText& ConsoleText::text(const Message& message) {
  pieces_.push_back({kMessage, std::string(), &message});
  return *this;
}

ConsoleText& ConsoleText::system(const std::string& s) {
  pieces_.push_back({kSystem, s, nullptr});
  return *this;
}

bool ConsoleText::atlinestart() const {
  for (auto p = pieces_.rbegin(); p != pieces_.rend(); ++p) {
    const std::string& bytes = p->kind == kMessage ? std::string(p->message->sjis) : p->bytes;
    if (!bytes.empty()) return bytes.back() == '\n';
  }
  return true;
}

bool shouldwait(unsigned long consoleprocesses, bool inputisconsole, bool outputisconsole) {
  return consoleprocesses == 1 && inputisconsole && outputisconsole;
}

}  // namespace stampo

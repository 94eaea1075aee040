#include "console.h"

#include "texts.h"

namespace stampo {

namespace {

bool injapanese = false;

}  // namespace

void setlanguage(bool japanese) { injapanese = japanese; }
bool japanese() { return injapanese; }

ConsoleText& ConsoleText::text(const std::string& ascii) {
  pieces_.push_back({kAscii, ascii, std::string()});
  return *this;
}

ConsoleText& ConsoleText::text(const Message& message) {
  pieces_.push_back({kMessage, message.sjis, message.utf8});
  return *this;
}

ConsoleText& ConsoleText::system(const std::string& s) {
  pieces_.push_back({kSystem, s, std::string()});
  return *this;
}

ConsoleText& ConsoleText::forperson(const std::string& ascii) {
  pieces_.push_back({kPerson, ascii, std::string()});
  return *this;
}

ConsoleText& ConsoleText::say(const Said& said, const std::vector<Arg>& args) {
  // The same places are marked in every spelling, so the pieces between
  // them line up: a Japanese text's pieces are Shift_JIS and UTF-8 alike.
  const std::string en = said.en, sjis = said.ja.sjis, utf8 = said.ja.utf8;
  std::size_t e = 0, s = 0, u = 0;
  for (std::size_t i = 0;; ++i) {
    const std::size_t e2 = en.find('\x01', e), s2 = sjis.find('\x01', s), u2 = utf8.find('\x01', u);
    if (injapanese)
      pieces_.push_back({kMessage, sjis.substr(s, s2 - s), utf8.substr(u, u2 - u)});
    else
      pieces_.push_back({kAscii, en.substr(e, e2 - e), std::string()});
    if (e2 == std::string::npos || s2 == std::string::npos || u2 == std::string::npos) break;
    if (i < args.size() && args[i].said != nullptr)
      say(*args[i].said);
    else
      system(i < args.size() ? args[i].text : std::string());
    e = e2 + 1, s = s2 + 1, u = u2 + 1;
  }
  return *this;
}

bool ConsoleText::atlinestart() const {
  for (auto p = pieces_.rbegin(); p != pieces_.rend(); ++p)
    if (p->kind != kPerson && !p->bytes.empty()) return p->bytes.back() == '\n';
  return true;
}

Failure ConsoleText::failed(std::FILE* stream) {
  return lasterror(Step::kWrite, stream == stderr ? kStandardError.en : kStandardOutput.en,
                   Role::kConsole);
}

bool shouldwait(unsigned long consoleprocesses, bool inputisconsole, bool outputisconsole) {
  return consoleprocesses == 1 && inputisconsole && outputisconsole;
}

}  // namespace stampo

// Stampo: stamps the summary of a PIE Sum8 / PIF Sum1 disc quality scan
// onto the scan's graph picture. Usage: stampo REPORT.html...
#include "console.h"
#include "run.h"

#ifdef _WIN32
// The command line as Windows holds it, in UTF-16, so that any file name
// arrives whole; the program works on it as UTF-8.
#include <string>
#include <vector>

#include "widepath.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const std::wstring arg = argv[i];
    args.push_back(stampo::toutf8(std::u16string(arg.begin(), arg.end())));
  }
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(&a[0]);
  pointers.push_back(nullptr);
  return stampo::waitforenter(stampo::run(argc, pointers.data()));
}
#else
int main(int argc, char** argv) { return stampo::waitforenter(stampo::run(argc, argv)); }
#endif

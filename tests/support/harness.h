#pragma once
// Runs the built program in a fresh folder per test and hands back what
// it printed and its exit status.
//
// STAMPO_UNDER_TEST, when set, is the command to test instead of the
// native build (for example "wine build-windows/Stampo.exe"). STAMPO_WINDOWS=1
// says it is the Windows build: its console lines must end in "\r\n", as
// the Windows C runtime's text mode writes them, and are compared as "\n".
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace e2e {

namespace fs = std::filesystem;
using namespace fixtures;

constexpr int kW = 467;
constexpr int kH = 300;

// The start of a command that runs the program under strace; LeakSanitizer
// cannot work under ptrace, so a sanitizer build leaves leaks alone there.
constexpr char kStrace[] = "ASAN_OPTIONS=detect_leaks=0 strace ";

struct Result {
  int status;
  std::string out;
  std::string err;
};

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

inline bool windows() {
  const char* flag = std::getenv("STAMPO_WINDOWS");
  return flag != nullptr && std::string(flag) == "1";
}

inline std::string program() {
  const char* other = std::getenv("STAMPO_UNDER_TEST");
  return other != nullptr ? std::string(other) : quote(STAMPO_EXE);
}

// Console text as the native build writes it: "\r\n" line ends become
// "\n" where the program runs in a Windows text-mode console, and there
// every line feed must come with its carriage return.
inline std::string console(std::string s) {
  if (!windows()) return s;
  std::string lf;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    EXPECT_FALSE(s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) << "bare line feed at " << i;
    lf += s[i];
  }
  return lf;
}

class Stampo : public ::testing::Test {
 protected:
  void SetUp() override {
    // English texts unless a test asks for Japanese (LC_MESSAGES=ja_...);
    // under Wine the Makefile sets the locale.
    if (!windows()) {
      ::unsetenv("LC_ALL");
      ::setenv("LC_MESSAGES", "en_US.UTF-8", 1);
    }
    const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() / ("stampo-e2e-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!copy_.empty()) fs::remove_all(copy_);
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // Shell text that runs the program where permission bits hold: as is
  // for an ordinary user, through setpriv as "nobody" for root. Empty
  // with `why` set where neither can be had.
  bool unprivileged(std::string& prefix, std::string& why) {
    if (windows()) return why = "Wine will not run in a prefix another user owns", false;
    if (::geteuid() != 0) return prefix.clear(), true;
    if (std::system("setpriv --version >/dev/null 2>&1") != 0)
      return why = "running as root and setpriv is missing", false;
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    // The build folder may lie where only root can enter (under /root):
    // run a copy of the program from a folder that nobody can reach.
    copy_ = fs::temp_directory_path() / ("stampo-nobody-" + std::to_string(::getpid()));
    const fs::path& copy = copy_;
    fs::create_directories(copy);
    fs::permissions(copy, fs::perms(0755));
    fs::copy_file(STAMPO_EXE, copy / "stampo", fs::copy_options::overwrite_existing);
    const std::size_t at = program_.find(STAMPO_EXE);
    if (at != std::string::npos)
      program_.replace(at, std::string(STAMPO_EXE).size(), (copy / "stampo").string());
    return true;
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs the program in the test's folder with these arguments; `prefix`
  // is shell text put before the command (limits, a user switch).
  Result run(const std::vector<std::string>& args, const std::string& prefix = "") const {
    std::string command = "cd " + quote(dir_.string()) + " && " + prefix + program_;
    for (const std::string& a : args) command += " " + quote(a);
    command += " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, console(text(readfile(path("stdout.txt")))),
             console(text(readfile(path("stderr.txt"))))};
    fs::remove(path("stdout.txt"));
    fs::remove(path("stderr.txt"));
    return r;
  }

  // Writes NAME.html and NAME.bmp (the pattern picture of W x H).
  Bytes scan(const std::string& name, const std::string& report, int w = kW, int h = kH) {
    writefile(path(name + ".html"), report);
    Bytes picture = bmp(w, h, pattern);
    writefile(path(name + ".bmp"), picture);
    return picture;
  }

  // The files in the test's folder, by name.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  std::string program_ = program();  // the command that run() starts
  fs::path copy_;                    // the program's copy that "nobody" runs
};

// Skips the test where the program cannot be run as a user whom
// permission bits bind; else `prefix` is the shell text that does it.
#define REQUIRE_UNPRIVILEGED(prefix) \
  std::string prefix, why_not;       \
  if (!unprivileged(prefix, why_not)) GTEST_SKIP() << why_not

inline std::string summary(const std::string& bmpname, const std::string& mode,
                           const std::string& avg, const std::string& max, const std::string& total,
                           const std::string& pof) {
  return "bmp data : " + bmpname + "\nScanned mode : " + mode + "\navarage : " + avg +
         "      maximum : " + max + "\ntotal   : " + total + "    POF     : " + pof + "\n\n";
}

// Checks the stamped picture against the picture it was made from: the
// header with its three size fields updated, the graph rows untouched
// (but for the grid's top lines and its columns in rows 295 to 299).
inline void expectstamped(const Bytes& out, const Bytes& in, int w, int h) {
  const std::size_t size = 54 + 3 * std::size_t(w + 1) * 340;
  ASSERT_EQ(out.size(), size);
  Bytes header(in.begin(), in.begin() + 54);
  setle32(header, 2, std::uint32_t(size));
  setle32(header, 22, 340);
  setle32(header, 34, std::uint32_t(size - 54));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 54), header);
  const std::vector<int> gridcolumns = {30, 31, 132, 233, 334, 335, 436, 437};
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x <= w; ++x) {
      const bool grid = y >= 295 && x >= 30 && x <= 437 &&
                        (y <= 296 || std::count(gridcolumns.begin(), gridcolumns.end(), x));
      if (grid) continue;
      const Rgb want = y < h ? pixelat(in, w, h, x, y) : Rgb{255, 255, 255};
      ASSERT_EQ(pixelat(out, w, 340, x, y), want) << "x " << x << " y " << y;
    }
  }
}

}  // namespace e2e

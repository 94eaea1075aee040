// What the command line may name besides reports: folders, and on Windows
// wildcards; and what a person at a terminal or console sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/harness.h"

using namespace e2e;

namespace {

// A path inside the test's folder as the program joins it.
std::string inside(const std::string& folder, const std::string& name) {
  return folder + (windows() ? "\\" : "/") + name;
}

TEST_F(Stampo, FolderStandsForTheReportsDirectlyInIt) {
  fs::create_directories(path("batch/sub.html"));  // a folder, not a report
  const Bytes b = scan("batch/b", piereport("2", "2", "2", "2"));
  const Bytes a = scan("batch/a", pifreport("1", "1", "1", "1"));
  writefile(path("batch/c.HTML"), piereport("3", "3", "3", "3"));  // not a name the rule maps
  writefile(path("batch/notes.txt"), "not a report");
  writefile(path("batch/a.html.orig"), piereport("5", "5", "5", "5"));  // a copy kept aside
  const Bytes deeper = scan("batch/sub.html/d", piereport("4", "4", "4", "4"));
  const Bytes z = scan("z", piereport("9", "9", "9", "9"));
  fs::create_directory(path("empty"));

  fs::create_directory_symlink("batch", path("linked"));  // a link to a folder is a folder
  const Result r = run({"batch", "empty", "z.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, summary(inside("batch", "a.bmp"), "PIF Sum1", "1.00", "1", "1", "1") +
                       summary(inside("batch", "b.bmp"), "PIE Sum8", "2.00", "2", "2", "2") +
                       summary("z.bmp", "PIE Sum8", "9.00", "9", "9", "9"));
  EXPECT_EQ(r.err, "empty: no .html reports in this folder\n");
  expectstamped(readfile(path("batch/a.bmp")), a, kW, kH);
  expectstamped(readfile(path("batch/b.bmp")), b, kW, kH);
  expectstamped(readfile(path("z.bmp")), z, kW, kH);
  EXPECT_EQ(readfile(path("batch/sub.html/d.bmp")), deeper);  // not recursed into
  const Result linked = run({"linked"});
  EXPECT_EQ(linked.out, summary(inside("linked", "a.bmp"), "PIF Sum1", "1.00", "1", "1", "1") +
                            summary(inside("linked", "b.bmp"), "PIE Sum8", "2.00", "2", "2", "2"));
}

TEST_F(Stampo, WindowsExpandsItsOwnWildcards) {
  if (!windows()) GTEST_SKIP() << "the shell expands wildcards on POSIX";
  const Bytes w2 = scan("w2", piereport("2", "2", "2", "2"));
  const Bytes w1 = scan("w1", piereport("1", "1", "1", "1"));
  const Bytes other = scan("other", piereport("3", "3", "3", "3"));
  const Result r = run({"w*.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, summary("w1.bmp", "PIE Sum8", "1.00", "1", "1", "1") +
                       summary("w2.bmp", "PIE Sum8", "2.00", "2", "2", "2"));
  EXPECT_EQ(readfile(path("other.bmp")), other);
  const Result none = run({"none*.html"});  // kept as given: a missing file
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err.rfind("fopen: none*.html: ", 0), 0u) << none.err;
}

// Runs `command` in the test's folder on a pseudo-terminal (script), with
// nothing typed, and returns what the terminal showed.
std::string onterminal(const fs::path& dir, const std::string& command, int& status) {
  const std::string shell = "cd " + quote(dir.string()) + " && timeout 60 script -qec " +
                            quote(command) + " /dev/null >pty.txt </dev/null";
  const int raw = std::system(shell.c_str());
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return text(readfile((dir / "pty.txt").string()));
}

// A console run whose output goes to a file is not waited on, and no
// prompt lands in the file.
TEST_F(Stampo, RedirectedConsoleRunDoesNotWait) {
  if (!windows()) GTEST_SKIP() << "a Windows console";
  if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  scan("disc", piereport("1", "1", "1", "1"));
  int status = 0;
  onterminal(dir_, program_ + " disc.html >out.txt", status);  // nothing typed
  EXPECT_EQ(status, 0);                                        // not the timeout's 124
  const std::string out = text(readfile(path("out.txt")));
  EXPECT_NE(out.find("Scanned mode : PIE Sum8"), std::string::npos) << out;
  EXPECT_EQ(out.find("Enter"), std::string::npos) << out;
}

// On a UTF-8 terminal the Japanese texts are UTF-8; to a file they stay
// the Shift_JIS bytes scripts expect.
TEST_F(Stampo, JapaneseIsUtf8OnAUtf8TerminalAndShiftJisInFiles) {
  if (windows()) GTEST_SKIP() << "the Windows console is tested with its own console";
  if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  writefile(path("plain.html"), "<html>no marker</html>\n");
  int status = 0;
  const std::string shown = onterminal(dir_, "LC_ALL=C.UTF-8 " + program_ + " plain.html", status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("Plextools Professional\xE3\x81\xA7\xE5\x87\xBA\xE5\x8A\x9B"),
            std::string::npos)
      << shown;
  const std::string usage = onterminal(dir_, "LC_ALL=C.UTF-8 " + program_, status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(usage.find("\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9 : "), std::string::npos) << usage;
  const Result file = run({"plain.html"}, "LC_ALL=C.UTF-8 ");
  EXPECT_NE(file.out.find("Plextools Professional\x82\xC5"), std::string::npos);
}

}  // namespace

// What the command line may name besides reports: folders, and on Windows
// wildcards; and what a person at a terminal or console sees.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
  if (!windows())  // not a name the rule maps, where names keep their case
    writefile(path("batch/c.HTML"), piereport("3", "3", "3", "3"));
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
  // A pattern that matches nothing: no report is there.
  const Result none = run({"none*.html"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err.rfind("fopen: none*.html: ", 0), 0u) << none.err;
  EXPECT_NE(none.err.find("\nThe report none*.html is not there"), std::string::npos) << none.err;
  EXPECT_EQ(none.err.find("Invalid"), std::string::npos) << none.err;
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
  // On a terminal an English line follows for a person who cannot read
  // it; redirected output keeps its bytes.
  EXPECT_NE(shown.find("(not written by Plextools Professional)"), std::string::npos) << shown;
  EXPECT_EQ(file.out.find("(not written"), std::string::npos) << file.out;
}

// A batch run on a terminal ends with an account of it for the person
// reading: what was stamped, what was skipped and why.
TEST_F(Stampo, TerminalRunEndsWithAnAccount) {
  if (windows()) GTEST_SKIP() << "the Windows console is tested with its own console";
  if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  writefile(path("plain.html"), "<html>no marker</html>\n");
  scan("good", piereport("1", "1", "1", "1"));
  int status = 0;
  const std::string shown =
      onterminal(dir_, "LC_ALL=C.UTF-8 " + program_ + " plain.html good.bmp good.html", status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("Stamped: 1 of 3 reports.\r\nSkipped: plain.html (not a Plextools "
                       "Professional report)\r\nSkipped: good.bmp (a picture, not a report)"),
            std::string::npos)
      << shown;
  // In Japanese on a terminal that is not UTF-8, every line is Shift_JIS:
  // the reason a report was skipped as well as the line around it.
  const std::string ja = onterminal(
      dir_, "LC_ALL= LC_CTYPE=C LC_MESSAGES=ja_JP.UTF-8 " + program_ + " plain.html good.html",
      status);
  // "スキップ: plain.html (Plextools Professional のレポートではありません)"
  EXPECT_NE(ja.find("\x83X\x83L\x83\x62\x83v: plain.html (Plextools Professional \x82\xCC\x83\x8C"
                    "\x83|\x81[\x83g"),
            std::string::npos)
      << ja;
  EXPECT_EQ(ja.find("\xE3\x81"), std::string::npos) << ja;  // no UTF-8 hiragana anywhere
  EXPECT_EQ(run({"plain.html", "good.html"}).err.find("Stamped:"), std::string::npos);
  // One report is its own account: none follows it on a terminal.
  const std::string one = onterminal(dir_, "LC_ALL=C.UTF-8 " + program_ + " good.html", status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(one.find("Scanned mode : PIE Sum8"), std::string::npos) << one;
  EXPECT_EQ(one.find("Stamped:"), std::string::npos) << one;
}

// Our texts follow the user's language; the console summary keeps its
// bytes in every language. A folder's reports come in the order a file
// manager shows them: disc2 before disc10.
TEST_F(Stampo, TextsInTheUsersLanguageAndReportsInExplorersOrder) {
  fs::create_directory(path("batch"));
  for (const char* name : {"disc10", "Disc2", "disc1"})
    scan(std::string("batch/") + name, piereport("1", "1", "1", "1"));
  const Result order = run({"batch"});
  EXPECT_EQ(order.status, 0) << order.err;
  EXPECT_EQ(order.out, summary(inside("batch", "disc1.bmp"), "PIE Sum8", "1.00", "1", "1", "1") +
                           summary(inside("batch", "Disc2.bmp"), "PIE Sum8", "1.00", "1", "1", "1") +
                           summary(inside("batch", "disc10.bmp"), "PIE Sum8", "1.00", "1", "1", "1"));

  const Result en = run({"missing.html"}, "LC_MESSAGES=en_US.UTF-8 ");
  const Result ja = run({"missing.html"}, "LC_MESSAGES=ja_JP.UTF-8 ");
  EXPECT_EQ(en.err.rfind("fopen: missing.html: ", 0), 0u) << en.err;
  EXPECT_EQ(ja.err.rfind("fopen: missing.html: ", 0), 0u) << ja.err;
  EXPECT_NE(en.err.find("\nThe report missing.html is not there"), std::string::npos) << en.err;
  // "レポート missing.html が見つかりません" in Shift_JIS, as written to a file
  EXPECT_NE(ja.err.find("\x83\x8C\x83|\x81[\x83g missing.html \x82\xAA\x8C\xA9\x82\xC2\x82\xA9"),
            std::string::npos)
      << ja.err;
  // The reason a pipe (on Windows a folder) is refused, ours and not the
  // system's, in the user's language too.
  if (windows())
    fs::create_directory(path("folder.bmp"));
  else
    ASSERT_EQ(::mkfifo(path("folder.bmp").c_str(), 0644), 0);
  writefile(path("folder.html"), piereport("1", "1", "1", "1"));
  const Result nofile = run({"folder.html"}, "LC_MESSAGES=ja_JP.UTF-8 ");
  // "fopen: folder.bmp: 通常のファイルではありません", in Shift_JIS
  EXPECT_EQ(nofile.err.rfind("fopen: folder.bmp: \x92\xCA\x8F\xED\x82\xCC\x83t\x83@\x83" "C\x83\x8B"
                             "\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n",
                             0),
            0u)
      << nofile.err;
  const std::string exe = windows() ? "Stampo.exe [" : "stampo [";
  EXPECT_NE(run({"--help"}).out.find("  " + exe + "OPTIONS] REPORT.html"), std::string::npos);
  EXPECT_NE(run({"--help"}, "LC_MESSAGES=ja_JP.UTF-8 ").out.find("  " + exe), std::string::npos);
}


}  // namespace

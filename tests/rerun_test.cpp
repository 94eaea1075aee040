// Runs cut short, and the runs after them: whatever stops the program,
// running the same reports again finishes the batch, with every original
// kept and nothing of ours left behind. Also what the replaced files keep:
// permissions, owner, links.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/harness.h"

using namespace e2e;

namespace {

class Rerun : public Stampo {
 protected:
  static constexpr int kReports = 3;

  // Writes the batch's reports and pictures afresh, with no backups.
  void freshbatch() {
    for (const std::string& name : files()) fs::remove_all(path(name));
    originals_.clear();
    for (int i = 0; i < kReports; ++i)
      originals_.push_back(
          scan("r" + std::to_string(i), piereport(std::to_string(i), "1", "2", "3")));
  }

  std::vector<std::string> reports() const {
    std::vector<std::string> names;
    if (table_) names = {"--csv", "t.csv"};
    for (int i = 0; i < kReports; ++i) names.push_back("r" + std::to_string(i) + ".html");
    return names;
  }

  // The batch is done: every picture stamped from its original, every
  // backup that original, with a table (`table_`) one row a report, and
  // no other file in the folder.
  void expectfinished(const std::string& context) {
    SCOPED_TRACE(context);
    std::vector<std::string> want;
    std::string rows = "\xEF\xBB\xBFreport,picture,mode,average,maximum,total,POF\r\n";
    for (int i = 0; i < kReports; ++i) {
      const std::string name = "r" + std::to_string(i);
      expectstamped(readfile(path(name + ".bmp")), originals_[std::size_t(i)], kW, kH);
      EXPECT_EQ(readfile(path(name + ".bmp.bak")), originals_[std::size_t(i)]);
      for (const char* ending : {".bmp", ".bmp.bak", ".html"}) want.push_back(name + ending);
      rows += name + ".html," + name + ".bmp,PIE Sum8," + std::to_string(i) + ".00,1,2,3\r\n";
    }
    if (table_) {
      want.push_back("t.csv");
      EXPECT_EQ(text(readfile(path("t.csv"))), rows);
    }
    EXPECT_EQ(files(), want);
  }

  // Where strace can stop the program at a chosen system call: the native
  // build, run as itself.
  bool straceable(std::string& why) const {
    if (std::getenv("STAMPO_UNDER_TEST") != nullptr) return why = "not the native build", false;
    if (std::system("strace -V >/dev/null 2>&1") != 0) return why = "strace is missing", false;
    return true;
  }

  std::vector<Bytes> originals_;
  bool table_ = false;  // the runs keep a CSV table, t.csv
};

// Killed at each of its system calls that touch files, then run again:
// the run kept a table, which then holds one row a report.
TEST_F(Rerun, KilledAtAnyStepThenRunAgainFinishes) {
  std::string why;
  if (!straceable(why)) GTEST_SKIP() << why;
  table_ = true;
  for (const std::string call : {"write", "fsync", "rename", "unlink", "openat", "fchmod"}) {
    for (int n = 1;; ++n) {
      ASSERT_LT(n, 60) << call << " never stopped being called";
      freshbatch();
      const std::string kill = std::string(kStrace) + "-o /dev/null -e trace=" + call +
                               " -e inject=" + call + ":signal=KILL:when=" + std::to_string(n) +
                               " ";
      const int killed = run(reports(), kill).status;
      const Result again = run(reports());
      EXPECT_EQ(again.status, 0) << call << " " << n << ": " << again.err;
      expectfinished(call + " " + std::to_string(n));
      if (killed == 0) break;  // the run had fewer such calls: all were tried
    }
  }
}

// SIGINT, SIGTERM and SIGHUP while a temporary file is being written:
// it is removed, and the originals stay.
TEST_F(Rerun, SignalsRemoveTheTemporaryFile) {
  std::string why;
  if (!straceable(why)) GTEST_SKIP() << why;
  // A signal the caller ignores (nohup) stays ignored: the run finishes.
  freshbatch();
  const Result ignored = run(reports(), std::string("trap '' INT; ") + kStrace +
                                            "-o /dev/null -e trace=write "
                                            "-e inject=write:signal=INT:when=2 ");
  EXPECT_EQ(ignored.status, 0) << ignored.err;
  expectfinished("ignored");
  for (const char* signal : {"INT", "TERM", "HUP"}) {
    // Write 2 fills the first backup's temporary file, write 3 the first
    // picture's (write 1 is the console text).
    for (const int n : {2, 3}) {
      freshbatch();
      const Result r =
          run(reports(), std::string(kStrace) +
                             std::string("-o /dev/null -e trace=write -e inject=write:signal=") +
                             signal + ":when=" + std::to_string(n) + " ");
      EXPECT_NE(r.status, 0);
      for (const std::string& name : files())
        EXPECT_EQ(name.find("stampo-tmp"), std::string::npos) << signal << " " << n << ": " << name;
      EXPECT_EQ(readfile(path("r0.bmp")).size() == 477414u ? readfile(path("r0.bmp.bak"))
                                                           : readfile(path("r0.bmp")),
                originals_[0]);
    }
  }
}

// Each flush comes before the rename it makes safe: the backup's data
// before it takes the backup's name, the folder before the picture is
// replaced, the picture's data before it takes the picture's name.
TEST_F(Rerun, FlushesComeBeforeTheRenamesTheyProtect) {
  std::string why;
  if (!straceable(why)) GTEST_SKIP() << why;
  const Bytes original = scan("disc", piereport("1", "2", "3", "4"));
  const Result r = run({"disc.html"}, std::string(kStrace) +
                                          "-y -o trace.txt -e trace=fsync,fdatasync,rename,"
                                          "renameat,renameat2,openat ");
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream trace(path("trace.txt"));
  std::vector<std::string> steps;
  const std::string folder = "<" + dir_.string() + ">";
  for (std::string line; std::getline(trace, line);) {
    if (line.find("O_CREAT") != std::string::npos) {  // ours alone until its rules are given
      EXPECT_NE(line.find("O_EXCL|O_NOCTTY|O_CLOEXEC, 0600)"), std::string::npos) << line;
    }
    if (line.find(" = 0") == std::string::npos) continue;
    if (line.rfind("fsync(", 0) == 0 || line.rfind("fdatasync(", 0) == 0) {
      if (line.find(folder) != std::string::npos)
        steps.push_back("flush folder");
      else if (line.find("disc.bmp.bak.stampo-tmp>") != std::string::npos)
        steps.push_back("flush backup");
      else if (line.find("disc.bmp.stampo-tmp>") != std::string::npos)
        steps.push_back("flush picture");
      else
        steps.push_back("flush other: " + line);
    } else if (line.find("\"disc.bmp.bak\"") != std::string::npos) {
      steps.push_back("rename to backup");
    } else if (line.find("\"disc.bmp\"") != std::string::npos) {
      steps.push_back("rename to picture");
    }
  }
  EXPECT_EQ(steps,
            (std::vector<std::string>{"flush backup", "rename to backup", "flush folder",
                                      "flush picture", "rename to picture", "flush folder"}));
  EXPECT_EQ(readfile(path("disc.bmp.bak")), original);
}

// Killed at random moments (as closing a console window ends it), then
// run again: the same promise, on any build.
TEST_F(Rerun, KilledAtRandomMomentsThenRunAgainFinishes) {
  table_ = true;
  const std::vector<int> delays = windows() ? std::vector<int>{300, 500, 700, 900, 1100, 1400}
                                            : std::vector<int>{1, 3, 6, 10, 15, 25};
  for (const int ms : delays) {
    freshbatch();
    std::string command = "cd " + quote(dir_.string()) + " && exec " + program_;
    for (const std::string& a : reports()) command += " " + a;
    command += " >/dev/null 2>&1 </dev/null & pid=$!; sleep " + std::to_string(ms / 1000.0) +
               "; kill -9 $pid; wait $pid";
    command = "{ " + command + "; } 2>/dev/null";
    std::system(command.c_str());
    const Result again = run(reports());
    EXPECT_EQ(again.status, 0) << ms << " ms: " << again.err;
    expectfinished(std::to_string(ms) + " ms");
  }
}

// What an interrupted run left beside the pictures is cleared by the next.
TEST_F(Rerun, LeftoverTemporaryFilesAreRemoved) {
  freshbatch();
  for (const char* name : {"r0.bmp.stampo-tmp", "r0.bmp.bak.stampo-tmp", "r2.bmp.stampo-tmp"})
    writefile(path(name), "left by a killed run");
  EXPECT_EQ(run(reports()).status, 0);
  expectfinished("leftovers");
}

// One open file a picture at a time: a long batch stamps with few
// descriptors to spare.
TEST_F(Rerun, LongBatchNeedsNoMoreDescriptors) {
  if (std::getenv("STAMPO_UNDER_TEST") != nullptr)
    GTEST_SKIP() << "Wine and valgrind need more descriptors themselves";
  std::vector<std::string> args;
  for (int i = 0; i < 20; ++i) {
    scan("b" + std::to_string(i), piereport("1", "2", "3", "4"));
    args.push_back("b" + std::to_string(i) + ".html");
  }
  // Twice: the second run reads each backup too. Then as folders.
  for (int again = 0; again < 2; ++again) {
    const Result r = run(args, "prlimit --nofile=12 ");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readfile(path("b19.bmp")).size(), 477414u);
  }
  std::vector<std::string> folders;
  for (int i = 0; i < 20; ++i) {
    folders.push_back("f" + std::to_string(i));
    fs::create_directory(path(folders.back()));
    fs::copy_file(path("b" + std::to_string(i) + ".html"), path(folders.back() + "/b.html"));
    fs::copy_file(path("b" + std::to_string(i) + ".bmp.bak"), path(folders.back() + "/b.bmp"));
  }
  const Result r = run(folders, "prlimit --nofile=12 ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readfile(path("f19/b.bmp")).size(), 477414u);
}

// A stamped picture's backup that cannot be read, or is a folder, is
// never replaced: nothing changes and the run says why.
TEST_F(Rerun, UnreadableBackupOfAStampedPictureIsLeftAlone) {
  const Bytes original = scan("disc", piereport("1", "2", "3", "4"));
  ASSERT_EQ(run({"disc.html"}).status, 0);
  const Bytes stamped = readfile(path("disc.bmp"));
  fs::rename(path("disc.bmp.bak"), path("kept.bak"));
  fs::create_directory(path("disc.bmp.bak"));
  Result r = run({"disc.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(
      r.err.rfind("disc.bmp: already stamped, and its backup disc.bmp.bak cannot be read (", 0), 0u)
      << r.err;
  EXPECT_EQ(readfile(path("disc.bmp")), stamped);
  EXPECT_TRUE(fs::is_directory(path("disc.bmp.bak")));

  REQUIRE_UNPRIVILEGED(as);
  fs::remove(path("disc.bmp.bak"));
  fs::rename(path("kept.bak"), path("disc.bmp.bak"));
  fs::permissions(path("disc.bmp.bak"), fs::perms::none);
  fs::permissions(path("disc.bmp"), fs::perms(0666));
  fs::permissions(dir_, fs::perms(0777));
  r = run({"disc.html"}, as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "disc.bmp: already stamped, and its backup disc.bmp.bak cannot be read (Permission "
            "denied); nothing was changed. Make the backup readable and run again.\n");
  EXPECT_EQ(readfile(path("disc.bmp")), stamped);
  fs::permissions(path("disc.bmp.bak"), fs::perms(0644));
  EXPECT_EQ(readfile(path("disc.bmp.bak")), original);
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.bmp.bak", "disc.html"}));
}

// The backup is no more readable than the picture; the stamped picture
// keeps the picture's bits, owner and group; a symbolic link stays a link
// to the stamped file; another hard link keeps the original.
TEST_F(Rerun, ReplacedFilesKeepPermissionsOwnersAndLinks) {
  const Bytes original = scan("disc", piereport("1", "2", "3", "4"));
  const auto date = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(::stat(path(name).c_str(), &st), 0);
    return st.st_mtime;
  };
  if (windows()) {
    // A hidden picture stays hidden, and so is its backup, which keeps
    // the original's date.
    const auto attrib = [&](const std::string& args) {
      const std::string command = "cd " + quote(dir_.string()) + " && wine cmd /c attrib " +
                                  args + " >attrib.txt 2>/dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0);
      return text(readfile(path("attrib.txt")));
    };
    attrib("+h disc.bmp");
    ASSERT_EQ(std::system(("touch -m -d 2020-05-01T10:00:00 " + quote(path("disc.bmp"))).c_str()), 0);
    const auto then = date("disc.bmp");
    ASSERT_EQ(run({"disc.html"}).status, 0);
    for (const char* name : {"disc.bmp", "disc.bmp.bak"})
      EXPECT_EQ(attrib(name).substr(0, 5), "A   H") << name;
    EXPECT_EQ(date("disc.bmp.bak"), then);
    EXPECT_EQ(readfile(path("disc.bmp.bak")), original);
    return;
  }
  fs::permissions(path("disc.bmp"), fs::perms(0640));
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path("disc.bmp").c_str(), 65534, 65534), 0);
  }
  fs::create_hard_link(path("disc.bmp"), path("hard.bmp"));
  ASSERT_EQ(run({"disc.html"}).status, 0);
  for (const char* name : {"disc.bmp", "disc.bmp.bak"}) {
    struct stat st;
    ASSERT_EQ(::stat(path(name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << name;
    if (root) {
      EXPECT_EQ(st.st_uid, 65534u) << name;
      EXPECT_EQ(st.st_gid, 65534u) << name;
    }
  }
  EXPECT_EQ(readfile(path("hard.bmp")), original);

  fs::create_directory(path("store"));
  const Bytes linked = scan("store/link", piereport("5", "6", "7", "8"));
  writefile(path("link.html"), piereport("5", "6", "7", "8"));
  fs::permissions(path("store/link.bmp"), fs::perms(0600));  // the link's own bits are 0777
  fs::create_symlink("store/link.bmp", path("link.bmp"));
  ASSERT_EQ(run({"link.html"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(path("link.bmp")));
  expectstamped(readfile(path("store/link.bmp")), linked, kW, kH);
  EXPECT_EQ(readfile(path("link.bmp.bak")), linked);
  EXPECT_FALSE(fs::exists(path("store/link.bmp.stampo-tmp")));
  EXPECT_EQ(fs::status(path("store/link.bmp")).permissions(), fs::perms(0600));
  EXPECT_EQ(fs::status(path("link.bmp.bak")).permissions(), fs::perms(0600));

  // An ACL and extended attributes stay on both files, and the backup
  // keeps the original's date.
  if (std::system("setfacl --version >/dev/null 2>&1 && setfattr --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs Debian's acl and attr";
  const Bytes scanned = scan("acl", piereport("1", "2", "3", "4"));
  const std::string acl = quote(path("acl.bmp"));
  ASSERT_EQ(std::system(("setfacl -m u:65534:r,g::-,o::- " + acl + " && setfattr -n user.scan -v 2020 " +
                         acl + " && touch -m -d 2020-05-01T10:00:00 " + acl)
                            .c_str()),
            0);
  const auto rules = [&](const std::string& name) {
    const std::string command = "cd " + quote(dir_.string()) + " && getfacl -cn " + name +
                                " >rules.txt && getfattr -d " + name +
                                " | tail -n +2 >>rules.txt && stat -c %Y " + name + " >>rules.txt";
    EXPECT_EQ(std::system(command.c_str()), 0);
    const std::string got = text(readfile(path("rules.txt")));
    fs::remove(path("rules.txt"));
    return got;
  };
  const std::string before = rules("acl.bmp");
  ASSERT_NE(before.find("user:65534:r--"), std::string::npos) << before;
  // The backup keeps the time the original was last read, too, not the
  // time of our own reading, as `cp -p` keeps it.
  ASSERT_EQ(std::system(("touch -a -d 2020-06-01T10:00:00 " + acl).c_str()), 0);
  const auto accessed = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(::stat(path(name).c_str(), &st), 0);
    return st.st_atime;
  };
  const auto read = accessed("acl.bmp");
  ASSERT_EQ(run({"acl.html"}).status, 0);
  EXPECT_EQ(rules("acl.bmp.bak"), before);
  EXPECT_EQ(accessed("acl.bmp.bak"), read);
  const std::string after = rules("acl.bmp");
  EXPECT_EQ(after.substr(0, after.rfind('\n', after.size() - 2)),
            before.substr(0, before.rfind('\n', before.size() - 2)));  // a new date
  EXPECT_EQ(readfile(path("acl.bmp.bak")), scanned);

  // Another user's picture that we may write: a user who has its group
  // only as a supplementary group keeps it, with its bits; one who has
  // not gives it up, and its bits with it.
  if (!root) return;
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(dir_, fs::perms(0777));
  for (const bool member : {true, false}) {
    SCOPED_TRACE(member ? "member" : "not a member");
    scan("grp", piereport("1", "2", "3", "4"));
    fs::remove(path("grp.bmp.bak"));
    ASSERT_EQ(::chown(path("grp.bmp").c_str(), 0, 100), 0);
    fs::permissions(path("grp.bmp"), fs::perms(0666));
    std::string prefix = as;
    if (member) prefix.replace(prefix.find("--clear-groups"), 14, "--groups=100");
    const Result r = run({"grp.html"}, prefix);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"grp.bmp", "grp.bmp.bak"}) {
      struct stat st;
      ASSERT_EQ(::stat(path(name).c_str(), &st), 0);
      EXPECT_EQ(st.st_gid, member ? 100u : 65534u) << name;
      EXPECT_EQ(st.st_mode & 0777, member ? 0666u : 0606u) << name;
    }
  }
}

// Any picture whose backup's name fits the system's 255-byte (or
// 255-unit) limit stamps, though its temporary names would not fit.
TEST_F(Rerun, LongestNamesStamp) {
  std::string japanese;
  for (int i = 0; i < 82; ++i) japanese += "\xE3\x83\x87";  // U+30C7, 3 bytes in UTF-8
  // 237 bytes: the backup's temporary name would be 256.
  for (const std::string& name : {std::string(247, 'n'), std::string(237, 'm'), japanese}) {
    const Bytes original = scan(name, piereport("1", "2", "3", "4"));
    const Result r = run({name + ".html"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readfile(path(name + ".bmp.bak")), original);
    expectstamped(readfile(path(name + ".bmp")), original, kW, kH);
  }
  EXPECT_EQ(files().size(), 9u);
}

// The picture's name comes from the report's own name: a folder named
// like a report does not send the program to another picture.
TEST_F(Rerun, FolderNamedLikeAReportKeepsItsPictures) {
  const Bytes other = scan("old", piereport("9", "9", "9", "9"));
  fs::create_directory(path("old.html.d"));
  const Bytes disc = scan("old.html.d/disc", piereport("1", "2", "3", "4"));
  const Result r = run({"old.html.d/disc.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, summary("old.html.d/disc.bmp", "PIE Sum8", "1.00", "2", "3", "4"));
  expectstamped(readfile(path("old.html.d/disc.bmp")), disc, kW, kH);
  EXPECT_EQ(readfile(path("old.bmp")), other);
  EXPECT_FALSE(fs::exists(path("old.bmp.bak")));
}

}  // namespace

namespace {

// Reports whose pictures are one file. A picture that an earlier report
// of the run stamped under another backup (b.bmp a link to a.bmp) is not
// stamped again, which would back up the stamped picture as a.bmp's
// original: the report is skipped, naming the one that stamped it. The
// same report again (twice, under another spelling, or a copy kept aside
// beside it) shares the backup too: it is stamped again from it, and the
// last figures win.
TEST_F(Rerun, PictureStampedByAnEarlierReportIsNotStampedAgain) {
  if (!windows()) {
    const Bytes a = scan("a", piereport("1", "1", "1", "1"));
    writefile(path("b.html"), piereport("2", "2", "2", "2"));
    fs::create_symlink("a.bmp", path("b.bmp"));
    const Result r = run({"b.html", "a.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary("b.bmp", "PIE Sum8", "2.00", "2", "2", "2") +
                         summary("a.bmp", "PIE Sum8", "1.00", "1", "1", "1"));
    EXPECT_EQ(r.err,
              "a.html: its picture a.bmp is the one b.html stamped earlier in this run (one file, "
              "through a link); skipped. Give each report its own picture.\n");
    expectstamped(readfile(path("a.bmp")), a, kW, kH);
    EXPECT_EQ(readfile(path("b.bmp.bak")), a);
    EXPECT_FALSE(fs::exists(path("a.bmp.bak")));
  }
  const Bytes c = scan("c", piereport("3", "3", "3", "3"));
  writefile(path("c.html.old"), piereport("4", "4", "4", "4"));
  const std::string again = windows() ? ".\\c.html" : "./c.html";
  const Result r = run({"c.html", again, "c.html.old"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readfile(path("c.bmp.bak")), c);
  scan("d", piereport("4", "4", "4", "4"));  // the same picture, stamped once with 4
  ASSERT_EQ(run({"d.html"}).status, 0);
  EXPECT_EQ(readfile(path("c.bmp")), readfile(path("d.bmp")));
}

}  // namespace

namespace {

// --restore puts each picture back from its backup: the backup's bytes and
// date, the picture's own access rules, the backup kept, so that stamping
// again works as before; run again, it has nothing left to do. It touches
// only a picture that is exactly the stamp of its backup with the report's
// figures: a new scan saved over it, an edited picture, a missing backup
// and a backup that is not the picture's original are refused with nothing
// changed.
TEST_F(Rerun, RestorePutsTheOriginalBack) {
  freshbatch();
  const auto date = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(::stat(path(name).c_str(), &st), 0);
    return st.st_mtime;
  };
  ASSERT_EQ(std::system(("touch -m -d 2020-05-01T10:00:00 " + quote(path("r0.bmp"))).c_str()), 0);
  const auto then = date("r0.bmp");
  ASSERT_EQ(run(reports()).status, 0);
  if (!windows()) fs::permissions(path("r0.bmp"), fs::perms(0604));  // set on the stamped picture
  const std::vector<std::string> restore = {"--restore", "r0.html", "r1.html", "r2.html"};
  const Result r = run(restore);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind(summary("r0.bmp", "PIE Sum8", "0.00", "1", "2", "3"), 0), 0u) << r.out;
  for (int i = 0; i < kReports; ++i) {
    const std::string name = "r" + std::to_string(i);
    EXPECT_EQ(readfile(path(name + ".bmp")), originals_[std::size_t(i)]) << name;
    EXPECT_EQ(readfile(path(name + ".bmp.bak")), originals_[std::size_t(i)]) << name;
  }
  EXPECT_EQ(date("r0.bmp"), then);
  if (!windows()) {
    EXPECT_EQ(fs::status(path("r0.bmp")).permissions(), fs::perms(0604));
  }
  const Result again = run(restore);  // nothing left to do
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(readfile(path("r1.bmp")), originals_[1]);
  ASSERT_EQ(run(reports()).status, 0);  // and stamping works as before
  expectfinished("stamped again");

  const Bytes stamped = readfile(path("r0.bmp"));
  const Bytes other = bmp(kW, kH, [](int x, int y) { return Rgb{std::uint8_t(y), 9, std::uint8_t(x)}; });
  const struct {
    const char* what;
    std::function<void()> make;
    const char* err;
  } refused[] = {
      {"a new scan saved over the stamped picture", [&] { writefile(path("r0.bmp"), other); },
       "r0.bmp: it is not the stamp of its backup r0.bmp.bak with this report's figures"},
      {"an edited picture",
       [&] {
         Bytes edited = stamped;
         edited[54 + 3 * 468 * 20 + 300] ^= 0x40;  // a pixel of the band
         writefile(path("r0.bmp"), edited);
       },
       "r0.bmp: it is not the stamp of its backup r0.bmp.bak with this report's figures"},
      {"a backup that is not the picture's original",
       [&] { writefile(path("r0.bmp.bak"), other); },
       "r0.bmp: it is not the stamp of its backup r0.bmp.bak with this report's figures"},
      {"no backup", [&] { fs::remove(path("r0.bmp.bak")); },
       "r0.bmp: there is no backup r0.bmp.bak to restore it from; nothing was changed.\n"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    writefile(path("r0.bmp"), stamped);
    writefile(path("r0.bmp.bak"), originals_[0]);
    c.make();
    std::map<std::string, Bytes> before;
    for (const std::string& name : files()) before[name] = readfile(path(name));
    const Result no = run({"--restore", "r0.html"});
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(no.err.rfind(c.err, 0), 0u) << no.err;
    std::map<std::string, Bytes> after;
    for (const std::string& name : files()) after[name] = readfile(path(name));
    EXPECT_TRUE(after == before);
  }
}

}  // namespace

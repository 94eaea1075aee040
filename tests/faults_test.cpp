// Faults on the way to the disk: every case must end with a clear message,
// status 1, and the original picture bytes still in the picture or in its
// backup.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/harness.h"

using namespace e2e;

namespace {

class Faults : public Stampo {
 protected:
  void SetUp() override {
    Stampo::SetUp();
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
  }

  void expectfailure(const Result& r, const std::string& err, const std::string& out = "") const {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, summary("disc.bmp", "PIE Sum8", "1.50", "2", "3", "4") + out);
    EXPECT_EQ(r.err.rfind(err, 0), 0u) << r.err;
  }

  // Every file in the test's folder (and one folder down) with its bytes,
  // links as their targets' names: what must not change.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) {
      const std::string name = fs::relative(e.path(), dir_).string();
      if (e.is_symlink())
        all[name] = "-> " + fs::read_symlink(e.path()).string();
      else if (e.is_regular_file())
        all[name] = text(readfile(e.path().string()));
      else
        all[name] = e.is_directory() ? "folder" : "other";
    }
    return all;
  }

  // A picture of the stamped height made from `picture`: what the
  // program takes for one it stamped before.
  static Bytes stampedlike(Bytes picture) {
    picture.resize(54 + 3 * 468 * 340, 0);
    setle32(picture, 22, 340);
    return picture;
  }

  Bytes picture_;
};

TEST_F(Faults, BackupFolderIsReadOnly) {
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(path("disc.bmp"), fs::perms(0666));
  fs::permissions(dir_, fs::perms(0555));
  // The backup cannot be made in the folder: told as the step that would
  // fail, with what is true of the picture.
  expectfailure(run({"disc.html"}, as),
                "create: disc.bmp.bak: Permission denied\ndisc.bmp is as it was. You may not "
                "change disc.bmp.bak or its folder");
  fs::permissions(dir_, fs::perms(0755));
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
}

// Layouts of files that cannot be stamped safely are refused at once,
// before anything is written, and never waited on: the picture, its
// backup and the folder are left exactly as they were.
TEST_F(Faults, OddLayoutsAreRefusedWithNothingWritten) {
  const bool posix = !windows();
  const Bytes stamped = stampedlike(picture_);
  struct Case {
    const char* what;
    bool runs;  // where the layout can be made
    std::function<void()> make;
    const char* err;  // the start of standard error ("" if it is on standard output)
    const char* out;  // what follows the summary on standard output (nullptr: no summary)
    std::vector<std::string> args = {"disc.html"};
  };
  const auto link = [&](const char* to, const char* at) {
    fs::remove(path(at));
    fs::create_symlink(to, path(at));
  };
  const auto fifo = [&](const char* at) {
    fs::remove(path(at));
    ASSERT_EQ(::mkfifo(path(at).c_str(), 0644), 0);
  };
  const std::vector<std::string> png = {"--png", "disc.html"};
  const auto csv = [](const char* table) {
    return std::vector<std::string>{"--png", "--csv", table, "disc.html"};
  };
  const Case cases[] = {
      {"picture a link to its backup", posix,
       [&] {
         writefile(path("disc.bmp.bak"), picture_);
         link("disc.bmp.bak", "disc.bmp");
       },
       "disc.bmp: the picture and its backup disc.bmp.bak are the same file", ""},
      {"backup a link to the picture", posix, [&] { link("disc.bmp", "disc.bmp.bak"); },
       "disc.bmp: the picture and its backup disc.bmp.bak are the same file", ""},
      {"backup a hard link", true,
       [&] { fs::create_hard_link(path("disc.bmp"), path("disc.bmp.bak")); },
       "disc.bmp: the picture and its backup disc.bmp.bak are the same file", ""},
      {"picture a pipe", posix, [&] { fifo("disc.bmp"); }, "fopen: disc.bmp: Not a regular file",
       ""},
      {"backup a pipe", posix, [&] { fifo("disc.bmp.bak"); },
       "rename: disc.bmp.bak: Not a regular file\ndisc.bmp is as it was. disc.bmp.bak is not a "
       "file",
       ""},
      {"stamped picture's backup a pipe", posix,
       [&] {
         writefile(path("disc.bmp"), stamped);
         fifo("disc.bmp.bak");
       },
       "disc.bmp: already stamped, and its backup disc.bmp.bak cannot be read (Not a regular "
       "file)",
       ""},
      {"backup a folder", true, [&] { fs::create_directory(path("disc.bmp.bak")); },
       "rename: disc.bmp.bak: ", ""},
      {"picture a folder", true,
       [&] {
         fs::remove(path("disc.bmp"));
         fs::create_directory(path("disc.bmp"));
       },
       posix ? "fopen: disc.bmp: Is a directory" : "fopen: disc.bmp: ", ""},
      {"pixels not at byte 54", true,
       [&] {
         Bytes b = picture_;
         setle32(b, 10, 58);
         b.insert(b.begin() + 54, 4, 0);
         writefile(path("disc.bmp"), b);
       },
       "", "input file is not a supported 24-bit BMP image.\n"},
      // Where the PNG goes: checked before anything is written.
      {"PNG a folder", true, [&] { fs::create_directory(path("disc.png")); },
       "rename: disc.png: ", "", png},
      {"PNG a pipe", posix, [&] { fifo("disc.png"); },
       "rename: disc.png: Not a regular file\ndisc.bmp is as it was. disc.png is not a file", "",
       png},
      {"PNG a socket", posix,
       [&] { ASSERT_EQ(::mknod(path("disc.png").c_str(), S_IFSOCK | 0644, 0), 0); },
       "rename: disc.png: Not a regular file", "", png},
      {"PNG's leftover temporary name a folder", true,
       [&] { fs::create_directory(path("disc.png.stampo-tmp")); }, "remove: disc.png.stampo-tmp: ",
       "", png},
      {"PNG a link to the picture", posix, [&] { link("disc.bmp", "disc.png"); },
       "disc.bmp (the picture) and disc.png (the PNG) are one file", "", png},
      // The CSV table: never one of the run's other files, never a file
      // that is not a table of ours.
      {"table the backup to be", true, [] {},
       "disc.bmp.bak (the backup) and disc.bmp.bak (the CSV table) are one file", "",
       csv("disc.bmp.bak")},
      {"table the backup", true, [&] { writefile(path("disc.bmp.bak"), picture_); },
       "disc.bmp.bak: not a CSV table that Stampo wrote", nullptr, csv("disc.bmp.bak")},
      {"table a link to the backup", posix,
       [&] {
         writefile(path("disc.bmp.bak"), picture_);
         link("disc.bmp.bak", "out.csv");
       },
       "out.csv: not a CSV table that Stampo wrote", nullptr, csv("out.csv")},
      {"table the report", true, [] {}, "disc.html: not a CSV table that Stampo wrote", nullptr,
       csv("disc.html")},
      {"table the picture", true, [] {}, "disc.bmp: not a CSV table that Stampo wrote", nullptr,
       csv("disc.bmp")},
      {"table the PNG to be", true, [] {},
       "disc.png (the PNG) and disc.png (the CSV table) are one file", "", csv("disc.png")},
      {"table a spreadsheet of the user's", true,
       [&] { writefile(path("mine.csv"), "disc,grade\r\nA,1\r\n"); },
       "mine.csv: not a CSV table that Stampo wrote", nullptr, csv("mine.csv")},
      {"table a folder", true, [&] { fs::create_directory(path("out.csv")); },
       "fopen: out.csv: Not a regular file", nullptr, csv("out.csv")},
  };
  for (const Case& c : cases) {
    if (!c.runs) continue;
    SCOPED_TRACE(c.what);
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    c.make();
    const auto before = snapshot();
    const Result r = run(c.args, posix ? "timeout 20 " : "");
    if (c.out == nullptr) {  // refused before any report is read
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
    } else {
      expectfailure(r, c.err, c.out);
    }
    EXPECT_EQ(snapshot(), before);
  }
  // A report that is a pipe is refused too, before anything is printed.
  if (posix) {
    fifo("disc.html");
    const Result r = run({"disc.html"}, "timeout 20 ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "fopen: disc.html: Not a regular file\ndisc.html is not a file (a folder, a pipe "
              "or a device): put the file itself there, then run again.\n");
  }
}

// As another user, layouts where only the rename could have failed: a
// link into a folder we may not write, another user's picture or leftover
// temporary file in a sticky folder such as /tmp.
TEST_F(Faults, PicturesWeMayNotReplaceAreRefusedWithNothingWritten) {
  REQUIRE_UNPRIVILEGED(as);
  if (::geteuid() != 0) GTEST_SKIP() << "needs files of two users";
  const struct {
    const char* what;
    std::function<void()> make;
    const char* err;
  } cases[] = {
      {"link into a read-only folder",
       [&] {
         fs::create_directory(path("store"));
         fs::rename(path("disc.bmp"), path("store/disc.bmp"));
         fs::create_symlink("store/disc.bmp", path("disc.bmp"));
         fs::permissions(path("store/disc.bmp"), fs::perms(0666));
       },
       "create: disc.bmp: Permission denied"},
      {"another user's picture in a sticky folder",
       [&] { fs::permissions(path("disc.bmp"), fs::perms(0666)); },
       "rename: disc.bmp: Operation not permitted"},
      {"another user's leftover in a sticky folder",
       [&] {
         ASSERT_EQ(::chown(path("disc.bmp").c_str(), 65534, 65534), 0);
         writefile(path("disc.bmp.stampo-tmp"), "left by root");
       },
       "remove: disc.bmp.stampo-tmp: Operation not permitted"},
      {"another user's PNG in a sticky folder",
       [&] {
         ASSERT_EQ(::chown(path("disc.bmp").c_str(), 65534, 65534), 0);
         writefile(path("disc.png"), "another user's");
       },
       "rename: disc.png: Operation not permitted\ndisc.bmp is as it was."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    c.make();
    fs::permissions(dir_, fs::perms(01777));
    const auto before = snapshot();
    expectfailure(run({"--png", "disc.html"}, as), c.err);
    EXPECT_EQ(snapshot(), before);
    fs::permissions(dir_, fs::perms(0755));
  }
}

// Windows: files another program holds. A picture held for a moment (as
// a virus scanner or an indexer does) is waited for and stamped. Held for
// good, whether the holder denies writing, deleting or nothing at all
// (Windows renames over no open file), it is told as held, in the
// system's words and ours, before anything is written; so is an earlier
// backup or PNG that would be replaced, and the backup of a stamped
// picture that cannot be read for it.
TEST_F(Faults, FilesHeldByAnotherProgramAreToldAsHeld) {
  const char* holdfile = std::getenv("STAMPO_HOLDFILE");
  if (!windows() || holdfile == nullptr) GTEST_SKIP() << "Windows share modes, under Wine";
  const auto hold = [&](const std::string& file, const std::string& how) {
    const std::string command =
        "cd " + quote(dir_.string()) + " && rm -f held.txt && { " + holdfile + " " + file + " " +
        how + " >held.txt </dev/null & echo $! >holder.pid; } && "
        "for i in $(seq 100); do grep -q held held.txt && break; sleep 0.1; done";
    ASSERT_EQ(std::system(command.c_str()), 0);
  };
  const auto release = [&] {
    const std::string command = "cd " + quote(dir_.string()) +
                                " && { kill $(cat holder.pid); wait; rm -f held.txt holder.pid; } "
                                "2>/dev/null; sleep 0.5";
    std::system(command.c_str());
  };
  const Bytes stamped = stampedlike(picture_);
  const struct {
    const char* what;
    const char* file;
    const char* how;
    std::function<void()> make;
    const char* err;
  } cases[] = {
      {"picture, reading shared", "disc.bmp", "r", [] {}, "fopen: disc.bmp: "},
      {"picture, deleting not shared", "disc.bmp", "rw", [] {}, "fopen: disc.bmp: "},
      {"picture, all shared", "disc.bmp", "rwd", [] {}, "fopen: disc.bmp: "},
      {"earlier backup", "disc.bmp.bak", "rwd", [&] { writefile(path("disc.bmp.bak"), "old"); },
       "rename: disc.bmp.bak: "},
      {"earlier PNG", "disc.png", "rwd", [&] { writefile(path("disc.png"), "old"); },
       "rename: disc.png: "},
      {"backup of a stamped picture", "disc.bmp.bak", "none",
       [&] {
         writefile(path("disc.bmp.bak"), picture_);
         writefile(path("disc.bmp"), stamped);
       },
       "fopen: disc.bmp.bak: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    c.make();
    const auto before = snapshot();
    hold(c.file, c.how);
    const Result r = run({"--png", "disc.html"});
    release();
    expectfailure(r, c.err);
    EXPECT_NE(r.err.find(std::string("\ndisc.bmp is as it was. ") + c.file +
                         " is open in another program"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Access"), std::string::npos) << r.err;  // held, not forbidden
    EXPECT_EQ(snapshot(), before);
  }
  for (const std::string& name : files()) fs::remove_all(path(name));
  picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
  hold("disc.bmp", "r 1500");
  const Result r = run({"disc.html"});
  release();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readfile(path("disc.bmp.bak")), picture_);
  expectstamped(readfile(path("disc.bmp")), picture_, kW, kH);
}

TEST_F(Faults, BackupWriteFailsAndTheEarlierBackupStays) {
  const std::string earlier = "an earlier backup";
  writefile(path("disc.bmp.bak"), earlier);
  // Files may grow to 400,000 bytes: the 421,254-byte backup does not fit.
  expectfailure(run({"disc.html"}, "trap '' XFSZ; prlimit --fsize=400000 "),
                "fwrite: disc.bmp.bak: ");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_EQ(text(readfile(path("disc.bmp.bak"))), earlier);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

// A picture the user may not write is refused with one true message
// before anything is written: no backup, the picture as it was.
TEST_F(Faults, ReadOnlyPictureIsRefusedBeforeAnythingIsWritten) {
  fs::permissions(path("disc.bmp"), fs::perms(0444));
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(dir_, fs::perms(0777));
  const Result r = run({"disc.html"}, as);
  expectfailure(r, "fopen: disc.bmp: Permission denied\ndisc.bmp is as it was. You may not change "
                   "disc.bmp or its folder");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
}

TEST_F(Faults, PictureWriteFailsMidwayAndIsPutBack) {
  // Files may grow to 450,000 bytes: the 421,254-byte backup fits, the
  // 477,414 bytes of the stamped picture do not.
  expectfailure(run({"disc.html"}, "trap '' XFSZ; prlimit --fsize=450000 "), "fwrite: ");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_EQ(readfile(path("disc.bmp.bak")), picture_);
}

TEST_F(Faults, UnreadableReportOrPicture) {
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(path("disc.bmp"), fs::perms::none);
  expectfailure(run({"disc.html"}, as), "fopen: disc.bmp: Permission denied");
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
  fs::permissions(path("disc.html"), fs::perms::none);
  const Result r = run({"disc.html"}, as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "fopen: disc.html: Permission denied\n"
            "You may not read disc.html: give yourself read access, or copy it to a folder of "
            "your own, then run again.\n");
}

// A device is refused, never read: one made in the test's own folder, so
// that a faulty build cannot replace a system file.
TEST_F(Faults, DeviceAsPictureIsRefused) {
  if (windows()) GTEST_SKIP() << "no devices in Windows folders";
  fs::remove(path("disc.bmp"));
  if (::mknod(path("disc.bmp").c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0)
    GTEST_SKIP() << "mknod is not allowed here";
  expectfailure(run({"disc.html"}, "timeout 20 "), "fopen: disc.bmp: Not a regular file");
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.html"}));
}

TEST_F(Faults, BatchStopsAtTheFirstFatalFailure) {
  const Bytes a = scan("a", piereport("1", "1", "1", "1"));
  const Bytes b = scan("b", pifreport("2", "2", "2", "2"));
  const Bytes c = scan("c", piereport("3", "3", "3", "3"));
  const Bytes d = scan("d", piereport("4", "4", "4", "4"));
  fs::create_directory(path("c.bmp.bak"));
  const Result r = run({"a.html", "b.html", "c.html", "d.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, summary("a.bmp", "PIE Sum8", "1.00", "1", "1", "1") +
                       summary("b.bmp", "PIF Sum1", "2.00", "2", "2", "2") +
                       summary("c.bmp", "PIE Sum8", "3.00", "3", "3", "3"));
  EXPECT_EQ(readfile(path("a.bmp.bak")), a);
  EXPECT_EQ(readfile(path("b.bmp.bak")), b);
  EXPECT_EQ(readfile(path("a.bmp")).size(), 477414u);
  EXPECT_EQ(readfile(path("b.bmp")).size(), 477414u);
  EXPECT_EQ(readfile(path("c.bmp")), c);
  EXPECT_EQ(readfile(path("d.bmp")), d);
  EXPECT_FALSE(fs::exists(path("d.bmp.bak")));
}

// What a failure's message says of the files, checked against the files:
// each sentence that makes a claim about a file is found and tested.
// Returns how many claims it found; a claim that is false fails the test.
struct Truth {
  std::map<std::string, std::string> before;  // each file's bytes before the run ("" none)
  Bytes original, stamped, png;
  std::string table;                          // the CSV table with this run's row
};

int checkclaims(const std::string& said, const Truth& t, const fs::path& dir) {
  const auto now = [&](const std::string& name) {
    const fs::path p = dir / name;
    return fs::exists(p) ? text(readfile(p.string())) : std::string();
  };
  const auto was = [&](const std::string& name) {
    const auto at = t.before.find(name);
    return at == t.before.end() ? std::string() : at->second;
  };
  const struct {
    const char* pattern;
    std::function<void(const std::smatch&)> check;
  } claims[] = {
      {R"((\S+) is as it was, and its original is kept in (\S+)\.)",
       [&](const std::smatch& m) {
         EXPECT_EQ(now(m[1]), was(m[1])) << m[0];
         EXPECT_EQ(now(m[2]), text(t.original)) << m[0];
       }},
      {R"((\S+) is as it was: this run's rows are not in it\.)",
       [&](const std::smatch& m) { EXPECT_EQ(now(m[1]), was(m[1])) << m[0]; }},
      {R"((\S+) is as it was\.)", [&](const std::smatch& m) { EXPECT_EQ(now(m[1]), was(m[1])) << m[0]; }},
      {R"((\S+) is stamped, and its original is kept in (\S+)\.)",
       [&](const std::smatch& m) {
         EXPECT_EQ(now(m[1]), text(t.stamped)) << m[0];
         EXPECT_EQ(now(m[2]), text(t.original)) << m[0];
       }},
      {R"((\S+) was not written\.)", [&](const std::smatch& m) { EXPECT_EQ(now(m[1]), was(m[1])) << m[0]; }},
      {R"((\S+) is stamped \(its original is kept in (\S+)\), and (\S+) is written\.)",
       [&](const std::smatch& m) {
         EXPECT_EQ(now(m[1]), text(t.stamped)) << m[0];
         EXPECT_EQ(now(m[2]), text(t.original)) << m[0];
         EXPECT_EQ(now(m[3]), text(t.png)) << m[0];
       }},
      {R"((\S+) holds this run's rows\.)",
       [&](const std::smatch& m) { EXPECT_EQ(now(m[1]), t.table) << m[0]; }},
      {R"(nothing was changed)",
       [&](const std::smatch& m) {
         for (const auto& [name, bytes] : t.before) EXPECT_EQ(now(name), bytes) << m[0] << ": " << name;
       }},
  };
  int found = 0;
  for (const auto& claim : claims) {
    const std::regex pattern(claim.pattern);
    for (auto m = std::sregex_iterator(said.begin(), said.end(), pattern); m != std::sregex_iterator(); ++m) {
      claim.check(*m);
      ++found;
    }
  }
  return found;
}

// Each step of a run with every output fails in turn (each system call on
// the report's files, the n-th time it is made, for every n until the run
// no longer meets it): every failure is told, with status 1, every claim
// its message makes about a file is true of that file afterwards, no
// temporary file is left, and running the same drop again finishes it.
// A file system without locks is no failure.
TEST_F(Faults, EachStepFailsInTurnAndEveryClaimIsTrue) {
  if (std::getenv("STAMPO_UNDER_TEST") != nullptr || std::system("strace -V >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs strace and the native build";
  const std::string header = "\xEF\xBB\xBFreport,picture,mode,average,maximum,total,POF\r\n";
  const std::string other = "x.html,x.bmp,PIE Sum8,1.00,1,1,1\r\n";
  const std::vector<std::string> args = {"--png", "--csv", "t.csv", "disc.html"};
  // The picture carries an extended attribute where the file system takes
  // one, so that copying it is a step too.
  const bool attributes =
      std::system(("setfattr -n user.scan -v 2020 " + quote(path("")) + " 2>/dev/null").c_str()) ==
      0;
  const auto layout = [&] {
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    writefile(path("t.csv"), header + other);
    if (attributes) {
      ASSERT_EQ(std::system(("setfattr -n user.scan -v 2020 " + quote(path("disc.bmp"))).c_str()), 0);
    }
  };
  // The files as a run without faults leaves them.
  Truth truth;
  layout();
  ASSERT_EQ(run(args).status, 0);
  truth.original = picture_;
  truth.stamped = readfile(path("disc.bmp"));
  truth.png = readfile(path("disc.png"));
  truth.table = text(readfile(path("t.csv")));
  const std::vector<std::string> finished = files();

  // The report's files, as the calls name them and as their descriptors
  // lead to (strace matches both).
  std::string paths;
  for (const char* name : {"disc.html", "disc.bmp", "disc.bmp.bak", "disc.png", "t.csv", ".",
                           "disc.bmp.bak.stampo-tmp", "disc.bmp.stampo-tmp",
                           "disc.png.stampo-tmp", "t.csv.stampo-tmp"})
    paths += "-P " + quote(name) + " -P " + quote(path(name == std::string(".") ? "" : name)) + " ";
  const struct {
    const char* call;
    const char* error;
  } steps[] = {
      {"openat", "EACCES"}, {"read", "EIO"},       {"newfstatat", "EIO"}, {"flock", "EIO"},
      {"faccessat2", "EACCES"}, {"unlink", "EACCES"}, {"fchmod", "EIO"}, {"flistxattr", "EIO"},
      {"write", "ENOSPC"},  {"utimensat", "EIO"},  {"fsync", "EIO"},      {"rename", "EIO"},
      {"close", "EIO"},     {"fsetxattr", "ENOSPC"}, {"fgetxattr", "EIO"},
  };
  // How often a run makes each call on them.
  std::map<std::string, int> made;
  layout();
  std::string all;
  for (const auto& step : steps) all += std::string(all.empty() ? "" : ",") + step.call;
  ASSERT_EQ(run(args, std::string(kStrace) + "-qq -o calls.txt " + paths + "-e trace=" + all + " ")
                .status,
            0);
  {
    const std::string trace = text(readfile(path("calls.txt")));
    fs::remove(path("calls.txt"));
    for (std::size_t at = 0; at < trace.size(); at = trace.find('\n', at) + 1) {
      ++made[trace.substr(at, trace.find('(', at) - at)];
      if (trace.find('\n', at) == std::string::npos) break;
    }
  }
  int failures = 0, claims = 0;
  for (const auto& step : steps) {
    const bool copying = std::string(step.call).find("xattr") != std::string::npos;
    if (attributes || !copying) {
      EXPECT_GT(made[step.call], 0) << step.call << " is never made";
    }
    for (int n = 1; n <= made[step.call]; ++n) {
      SCOPED_TRACE(std::string(step.call) + " " + step.error + " " + std::to_string(n));
      layout();
      truth.before.clear();
      for (const std::string& name : files()) truth.before[name] = text(readfile(path(name)));
      Result r = run(args, std::string(kStrace) + "-qq -o /dev/null " + paths + "-e trace=" +
                               step.call + " -e inject=" + step.call + ":error=" + step.error +
                               ":when=" + std::to_string(n) + " ");
      while (r.err.rfind("strace: ", 0) == 0) r.err.erase(0, r.err.find('\n') + 1);  // -P's notes
      // Only two calls may fail without failing the run: a look before a
      // file is opened (which only keeps a pipe or device from being
      // opened, and the open that follows says the rest), and the close
      // of a file that was only read. Any other failure is told: a read
      // error retried, or a lock error taken for a file system without
      // locks, would pass here.
      if (r.status == 0) {
        EXPECT_TRUE(std::string(step.call) == "newfstatat" || std::string(step.call) == "close")
            << "the run went on after a failed " << step.call;
        EXPECT_EQ(files(), finished) << r.err;
        EXPECT_EQ(readfile(path("disc.bmp")), truth.stamped);
        continue;
      }
      ++failures;
      EXPECT_EQ(r.status, 1) << r.err;
      const std::string first = r.err.substr(0, r.err.find('\n'));
      EXPECT_NE(first.find(": "), std::string::npos) << r.err;
      claims += checkclaims(r.err, truth, dir_);
      for (const std::string& name : files())
        EXPECT_EQ(name.find("stampo-tmp"), std::string::npos) << r.err;
      const Result again = run(args);
      EXPECT_EQ(again.status, 0) << again.err;
      EXPECT_EQ(readfile(path("disc.bmp")), truth.stamped);
      EXPECT_EQ(readfile(path("disc.bmp.bak")), truth.original);
      EXPECT_EQ(readfile(path("disc.png")), truth.png);
      EXPECT_EQ(text(readfile(path("t.csv"))), truth.table);
      EXPECT_EQ(files(), finished);
    }
  }
  EXPECT_GT(failures, 40);
  EXPECT_GE(claims, failures / 2);
  // No locks on this file system: no failure.
  layout();
  const Result r = run(args, std::string(kStrace) + "-o /dev/null -e inject=flock:error=ENOLCK ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readfile(path("disc.bmp")), truth.stamped);
}

// A lock that another program holds on the picture (a reader's shared
// lock, which anyone who may read it can take) is waited for a few
// seconds, then the picture is told as held, with nothing written: never
// a wait without end.
TEST_F(Faults, PictureLockedByAnotherIsToldAsHeld) {
  if (windows() || std::system("flock --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs flock(1)";
  const std::string hold = "cd " + quote(dir_.string()) +
                           " && { flock -s disc.bmp sleep 60 </dev/null >/dev/null 2>&1 & "
                           "echo $! >holder.pid; } && sleep 0.3";
  ASSERT_EQ(std::system(hold.c_str()), 0);
  const auto start = std::chrono::steady_clock::now();
  const Result r = run({"disc.html"});
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string pidfile = path("holder.pid");
  std::system(("kill $(cat " + quote(pidfile) + ") 2>/dev/null; rm -f " + quote(pidfile)).c_str());
  expectfailure(r, "flock: disc.bmp: Resource temporarily unavailable\ndisc.bmp is as it was. "
                   "disc.bmp is open in another program");
  EXPECT_GT(waited, 2.5);
  EXPECT_LT(waited, 15.0);
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.html"}));
}

// Memory that cannot be had (a picture with 60 MB of trailing bytes,
// 40 MB to hold it in) is a failure like any other, told as such.
TEST_F(Faults, OutOfMemoryIsToldAsSuch) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than the test allows";
#endif
  if (std::getenv("STAMPO_UNDER_TEST") != nullptr) GTEST_SKIP() << "the native build alone";
  Bytes big = picture_;
  big.resize(big.size() + (std::size_t(60) << 20), 0);
  writefile(path("disc.bmp"), big);
  expectfailure(run({"disc.html"}, "ulimit -v 40000; "),
                "malloc: disc.bmp: Cannot allocate memory\ndisc.bmp is as it was. There is not "
                "enough memory");
  EXPECT_EQ(readfile(path("disc.bmp")).size(), big.size());
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.html"}));
}

TEST_F(Faults, FullStandardOutputEndsTheRun) {
  if (windows()) GTEST_SKIP() << "no /dev/full for Windows programs";
  const std::string command =
      "cd " + quote(dir_.string()) + " && " + program_ + " disc.html >/dev/full 2>stderr.txt";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  EXPECT_EQ(text(readfile(path("stderr.txt"))),
            "fwrite: standard output: No space left on device\n");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  // The help and the version are all the output there is: not written,
  // they fail.
  for (const char* asked : {"--help", "--version"}) {
    const std::string again = "cd " + quote(dir_.string()) + " && " + program_ + " " + asked +
                              " >/dev/full 2>stderr.txt";
    const int status = std::system(again.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << asked;
    EXPECT_EQ(text(readfile(path("stderr.txt"))),
              "fwrite: standard output: No space left on device\n")
        << asked;
  }
}

}  // namespace

// Faults on the way to the disk: every case must end with a clear message,
// status 1, and the original picture bytes still in the picture or in its
// backup.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
  const Bytes stamped = [&] {
    Bytes b = picture_;
    b.resize(54 + 3 * 468 * 340, 0);
    setle32(b, 22, 340);
    return b;
  }();
  struct Case {
    const char* what;
    bool runs;  // where the layout can be made
    std::function<void()> make;
    const char* err;  // the start of standard error ("" if it is on standard output)
    const char* out;  // what follows the summary on standard output
  };
  const auto link = [&](const char* to, const char* at) {
    fs::remove(path(at));
    fs::create_symlink(to, path(at));
  };
  const auto fifo = [&](const char* at) {
    fs::remove(path(at));
    ASSERT_EQ(::mkfifo(path(at).c_str(), 0644), 0);
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
  };
  for (const Case& c : cases) {
    if (!c.runs) continue;
    SCOPED_TRACE(c.what);
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    c.make();
    const auto before = snapshot();
    const Result r = run({"disc.html"}, posix ? "timeout 20 " : "");
    expectfailure(r, c.err, c.out);
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    c.make();
    fs::permissions(dir_, fs::perms(01777));
    const auto before = snapshot();
    expectfailure(run({"disc.html"}, as), c.err);
    EXPECT_EQ(snapshot(), before);
    fs::permissions(dir_, fs::perms(0755));
  }
}

// Windows: a picture another program holds. Held for a moment (as a virus
// scanner or an indexer does), it is waited for and stamped; held for
// good, it is refused in the system's words ("being used by another
// process"), not the C runtime's, with nothing written, whether the holder
// denies writing or only deleting.
TEST_F(Faults, PictureHeldByAnotherProgram) {
  const char* holdfile = std::getenv("STAMPO_HOLDFILE");
  if (!windows() || holdfile == nullptr) GTEST_SKIP() << "Windows share modes, under Wine";
  const auto hold = [&](const std::string& how) {
    const std::string command =
        "cd " + quote(dir_.string()) + " && rm -f held.txt && { " + holdfile + " disc.bmp " + how +
        " >held.txt </dev/null & echo $! >holder.pid; } && "
        "for i in $(seq 100); do grep -q held held.txt && break; sleep 0.1; done";
    ASSERT_EQ(std::system(command.c_str()), 0);
  };
  const auto release = [&] {
    const std::string command = "cd " + quote(dir_.string()) +
                                " && { kill $(cat holder.pid); wait; rm -f held.txt holder.pid; } "
                                "2>/dev/null; sleep 0.5";
    std::system(command.c_str());
  };
  for (const char* how : {"r", "rw"}) {
    SCOPED_TRACE(how);
    hold(how);
    const Result r = run({"disc.html"});
    release();
    expectfailure(r, "fopen: disc.bmp: ");
    EXPECT_EQ(r.err.find("Permission denied"), std::string::npos) << r.err;
    EXPECT_GT(r.err.size(), std::string("fopen: disc.bmp: \n").size());
    EXPECT_EQ(readfile(path("disc.bmp")), picture_);
    EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
  }
  hold("r 1500");
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
  const auto layout = [&] {
    for (const std::string& name : files()) fs::remove_all(path(name));
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
    writefile(path("t.csv"), header + other);
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
      {"close", "EIO"},
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
    EXPECT_GT(made[step.call], 0) << step.call << " is never made";
    for (int n = 1; n <= made[step.call]; ++n) {
      SCOPED_TRACE(std::string(step.call) + " " + step.error + " " + std::to_string(n));
      layout();
      truth.before.clear();
      for (const std::string& name : files()) truth.before[name] = text(readfile(path(name)));
      Result r = run(args, std::string(kStrace) + "-qq -o /dev/null " + paths + "-e trace=" +
                               step.call + " -e inject=" + step.call + ":error=" + step.error +
                               ":when=" + std::to_string(n) + " ");
      while (r.err.rfind("strace: ", 0) == 0) r.err.erase(0, r.err.find('\n') + 1);  // -P's notes
      if (r.status == 0) {  // a failure that changes nothing (a look before opening)
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

TEST_F(Faults, FullStandardOutputEndsTheRun) {
  if (windows()) GTEST_SKIP() << "no /dev/full for Windows programs";
  const std::string command =
      "cd " + quote(dir_.string()) + " && " + program_ + " disc.html >/dev/full 2>stderr.txt";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  EXPECT_EQ(text(readfile(path("stderr.txt"))),
            "fwrite: standard output: No space left on device\n");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
}

}  // namespace

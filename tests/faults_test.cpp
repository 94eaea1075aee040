// Faults on the way to the disk: every case must end with a clear message,
// status 1, and the original picture bytes still in the picture or in its
// backup.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/harness.h"

using namespace e2e;

namespace {

class Faults : public Stampo {
 protected:
  void SetUp() override {
    Stampo::SetUp();
    picture_ = scan("disc", piereport("1.5", "2", "3", "4"));
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

  void expectfailure(const Result& r, const std::string& err) const {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, summary("disc.bmp", "PIE Sum8", "1.50", "2", "3", "4"));
    EXPECT_EQ(r.err.rfind(err, 0), 0u) << r.err;
  }

  void TearDown() override {
    if (!copy_.empty()) fs::remove_all(copy_);
    Stampo::TearDown();
  }

  Bytes picture_;
  fs::path copy_;  // the program's copy that "nobody" runs
};

#define REQUIRE_UNPRIVILEGED(prefix) \
  std::string prefix, why_not;       \
  if (!unprivileged(prefix, why_not)) GTEST_SKIP() << why_not

TEST_F(Faults, BackupPathIsAFolder) {
  fs::create_directory(path("disc.bmp.bak"));
  expectfailure(run({"disc.html"}), "rename: disc.bmp.bak: ");
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
}

TEST_F(Faults, BackupFolderIsReadOnly) {
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(path("disc.bmp"), fs::perms(0666));
  fs::permissions(dir_, fs::perms(0555));
  expectfailure(run({"disc.html"}, as), "fopen: disc.bmp.bak: Permission denied");
  fs::permissions(dir_, fs::perms(0755));
  EXPECT_EQ(readfile(path("disc.bmp")), picture_);
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
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
  REQUIRE_UNPRIVILEGED(as);
  fs::permissions(dir_, fs::perms(0777));
  fs::permissions(path("disc.bmp"), fs::perms(0444));
  const Result r = run({"disc.html"}, as);
  expectfailure(r, "fopen: disc.bmp: Permission denied\n");
  EXPECT_EQ(r.err, "fopen: disc.bmp: Permission denied\n");
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
  EXPECT_EQ(r.err, "fopen: disc.html: Permission denied\n");
}

TEST_F(Faults, ReportOrPictureIsAFolder) {
  fs::create_directory(path("folder.html"));
  const Result r = run({"folder.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err, "");
  fs::remove(path("disc.bmp"));
  fs::create_directory(path("disc.bmp"));
  const Result p = run({"disc.html"});
  expectfailure(p, windows() ? "fopen: disc.bmp: " : "fread: disc.bmp: Is a directory");
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
}

TEST_F(Faults, EndlessDeviceAsPictureIsRefused) {
  if (windows()) GTEST_SKIP() << "no endless devices on Windows";
  fs::remove(path("disc.bmp"));
  fs::create_symlink("/dev/zero", path("disc.bmp"));
  const Result r = run({"disc.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, summary("disc.bmp", "PIE Sum8", "1.50", "2", "3", "4") +
                       "input file is not BMP image.\n");
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

}  // namespace

// End-to-end: runs the built program in a fresh folder on reports and
// pictures written here, and compares console bytes, exit status, backup
// and picture bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/harness.h"

using namespace e2e;

namespace {

const char kUsage[] =
    "\x8E\x67\x82\xA2\x95\xFB : \x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x96\x7B\x91\xCC\x82\xC9"
    "html\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x68\x83\x8D\x83\x62\x83\x76\x82\xB5\x82\xC4"
    "\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\n"
    "Usage : drop html files to Stampo.exe\n";
const char kNotPlextools[] =
    "Plextools Professional\x82\xC5\x8F\x6F\x97\xCD\x82\xB3\x82\xEA\x82\xC4\x82\xC8\x82\xA2\x82\xC5"
    "\x82\xB7\x81\x42\n";

TEST_F(Stampo, NoArgumentsPrintsUsage) {
  const Result r = run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kUsage);
  EXPECT_EQ(r.err, "");
}

TEST_F(Stampo, PieReportIsPrintedBackedUpAndStamped) {
  const Bytes in = scan("disc", piereport("1.23", "7", "12345", "0"));
  const Result r = run({"disc.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, summary("disc.bmp", "PIE Sum8", "1.23", "7", "12345", "0"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readfile(path("disc.bmp.bak")), in);
  expectstamped(readfile(path("disc.bmp")), in, kW, kH);
}

TEST_F(Stampo, PifReportAndFigureText) {
  // 0.285 is held as 0.28499999: the console rounds it down; "1,234"
  // stops at the comma.
  const Bytes in = scan("disc", pifreport("0.285", "1,234", " -17", "99999"));
  const Result r = run({"disc.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, summary("disc.bmp", "PIF Sum1", "0.28", "1", "-17", "99999"));
  expectstamped(readfile(path("disc.bmp")), in, kW, kH);
}

TEST_F(Stampo, TwoReportsInCommandLineOrder) {
  const Bytes a = scan("a", piereport("2", "3", "4", "5"));
  const Bytes b = scan("b", pifreport("6", "7", "8", "9"));
  const Result r = run({"b.html", "a.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, summary("b.bmp", "PIF Sum1", "6.00", "7", "8", "9") +
                       summary("a.bmp", "PIE Sum8", "2.00", "3", "4", "5"));
  expectstamped(readfile(path("a.bmp")), a, kW, kH);
  expectstamped(readfile(path("b.bmp")), b, kW, kH);
}

TEST_F(Stampo, ReportWithoutMarkerIsSkipped) {
  const Bytes plain = scan("plain", " <td width=\"86\">PIE</td> (indented: no marker)\n");
  const Bytes good = scan("good", piereport("1", "1", "1", "1"));
  const Result r = run({"plain.html", "good.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "bmp data : plain.bmp\n" + std::string(kNotPlextools) +
                       summary("good.bmp", "PIE Sum8", "1.00", "1", "1", "1"));
  EXPECT_EQ(readfile(path("plain.bmp")), plain);
  EXPECT_FALSE(fs::exists(path("plain.bmp.bak")));
  expectstamped(readfile(path("good.bmp")), good, kW, kH);

  // A picture dropped instead of its report (BMP, PNG, JPEG) is told so,
  // and skipped like any file without the mode line.
  const Bytes stamped = readfile(path("good.bmp"));
  writefile(path("scan.png"), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  writefile(path("scan.jpg"), std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
  for (const char* name : {"plain.bmp", "good.bmp", "scan.png", "scan.jpg"}) {
    const Result dropped = run({name});
    EXPECT_EQ(dropped.status, 0) << name;
    EXPECT_EQ(dropped.out, "bmp data : " + std::string(name) + "\n" + kNotPlextools) << name;
    EXPECT_EQ(dropped.err, std::string(name) +
                               ": this is a picture, not a scan report; skipped. Drop the report "
                               "beside it (the .html file) instead.\n");
  }
  EXPECT_EQ(readfile(path("good.bmp")), stamped);
  EXPECT_EQ(readfile(path("plain.bmp")), plain);
}

TEST_F(Stampo, ReportEndingBeforeItsFiguresPrintsWhatItReadAndIsSkipped) {
  const std::string report = piereport("1.5", "7", "3", "4");
  const struct {
    std::size_t end;
    const char* figures;
  } cuts[] = {
      {report.find(">7</td>") - 17, "avarage : 1.50      \n"},  // at a line's start
      {report.find(">3</td>") - 17, "avarage : 1.50      maximum : 7\n"},
      {report.find("-</td>"), "avarage : 1.50      maximum : 7\ntotal   : 3    \n"},
      // inside the POF line, before a '<' closes the figure: 4 may be 43079 cut short
      {report.find(">4</td>") + 2, "avarage : 1.50      maximum : 7\ntotal   : 3    \n"},
  };
  for (const auto& cut : cuts) {
    const Bytes picture = scan("cut", report.substr(0, cut.end));
    const Result r = run({"cut.html"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("bmp data : cut.bmp\nScanned mode : PIE Sum8\n") + cut.figures +
                         "report ends before its figures.\n");
    EXPECT_EQ(readfile(path("cut.bmp")), picture);
    EXPECT_FALSE(fs::exists(path("cut.bmp.bak")));
  }
}

TEST_F(Stampo, MissingReportEndsTheRun) {
  const Bytes later = scan("later", piereport("1", "1", "1", "1"));
  const Result r = run({"missing.html", "later.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  if (windows()) {
    // The system's words, in the system's language: not the C runtime's.
    EXPECT_EQ(r.err.rfind("fopen: missing.html: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("No such file"), std::string::npos) << r.err;
  } else {
    EXPECT_EQ(r.err,
              "fopen: missing.html: No such file or directory\n"
              "The report missing.html is not there: check its name, or drop it again from its "
              "folder.\n");
  }
  EXPECT_EQ(readfile(path("later.bmp")), later);
}

// Windows names ignore case: SCAN01.HTML is a report, alone or in a
// folder, and its picture SCAN01.bmp. Elsewhere only ".html" is one.
TEST_F(Stampo, UpperCaseExtensionIsAReportOnlyOnWindows) {
  const std::string report = piereport("1", "2", "3", "4");
  if (windows()) {
    fs::create_directory(path("batch"));
    const Bytes alone = scan("SCAN01", report);
    fs::rename(path("SCAN01.html"), path("SCAN01.HTML"));
    const Bytes inside = scan("batch/Scan02", report);
    fs::rename(path("batch/Scan02.html"), path("batch/Scan02.Html"));
    const Result r = run({"SCAN01.HTML", "batch"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary("SCAN01.bmp", "PIE Sum8", "1.00", "2", "3", "4") +
                         summary("batch\\Scan02.bmp", "PIE Sum8", "1.00", "2", "3", "4"));
    EXPECT_EQ(readfile(path("SCAN01.bmp.bak")), alone);
    EXPECT_EQ(readfile(path("batch/Scan02.bmp.bak")), inside);
    return;
  }
  writefile(path("scan.HTML"), report);
  const Result r = run({"scan.HTML"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, summary("scan.HTML", "PIE Sum8", "1.00", "2", "3", "4") +
                       "input file is not BMP image.\n");
  EXPECT_EQ(text(readfile(path("scan.HTML"))), report);
  EXPECT_FALSE(fs::exists(path("scan.HTML.bak")));
}

TEST_F(Stampo, RerunKeepsTheOriginalInTheBackup) {
  const Bytes original = scan("disc", piereport("12.5", "40", "1000", "3"));
  ASSERT_EQ(run({"disc.html"}).status, 0);
  const Bytes first = readfile(path("disc.bmp"));
  writefile(path("disc.html"), piereport("2.5", "4", "100", "0"));
  ASSERT_EQ(run({"disc.html", "disc.html"}).status, 0);
  EXPECT_EQ(readfile(path("disc.bmp.bak")), original);
  const Bytes second = readfile(path("disc.bmp"));
  expectstamped(second, original, kW, kH);
  EXPECT_NE(second, first);

  // A backup that is not this graph's original is never replaced: the
  // run stops at that picture, which stays as it is.
  const Bytes other = bmp(kW, kH, [](int x, int y) { return pattern(y, x); });
  writefile(path("disc.bmp.bak"), other);
  const Result r = run({"disc.html", "disc.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "disc.bmp: already stamped, and disc.bmp.bak is not its original; nothing was "
            "changed. To stamp it again, copy its original over disc.bmp.\n");
  EXPECT_EQ(readfile(path("disc.bmp.bak")), other);
  EXPECT_EQ(readfile(path("disc.bmp")), second);

  // A new scan saved over the stamped picture replaces the backup.
  writefile(path("disc.bmp"), original);
  ASSERT_EQ(run({"disc.html"}).status, 0);
  EXPECT_EQ(readfile(path("disc.bmp.bak")), original);
}

TEST_F(Stampo, TwoCopiesAtOnceKeepEveryOriginal) {
  std::vector<Bytes> originals;
  std::string args;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "s" + std::to_string(i);
    originals.push_back(scan(name, piereport(std::to_string(i), "1", "2", "3")));
    args += " " + name + ".html";
  }
  for (int trial = 0; trial < 3; ++trial) {
    const std::string one = program() + args + " >/dev/null 2>&1";
    const std::string both =
        "cd " + quote(dir_.string()) + " && (" + one + " & " + one + "; s=$?; wait $! && exit $s)";
    ASSERT_EQ(std::system(both.c_str()), 0);
    for (int i = 0; i < 20; ++i) {
      const std::string name = path("s" + std::to_string(i) + ".bmp");
      EXPECT_EQ(readfile(name + ".bak"), originals[i]) << name;
      expectstamped(readfile(name), originals[i], kW, kH);
    }
  }
}

TEST_F(Stampo, ShortPictureGetsWhiteRowsAndTrailingBytesStayInBackup) {
  Bytes in = bmp(95, 120, pattern);
  in.insert(in.end(), {'t', 'a', 'i', 'l'});
  writefile(path("small.bmp"), in);
  writefile(path("small.html"), piereport("1", "1", "1", "1"));
  const Result r = run({"small.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readfile(path("small.bmp.bak")), in);
  const Bytes out = readfile(path("small.bmp"));
  ASSERT_EQ(out.size(), 54 + 3 * 96 * 340u);
  EXPECT_EQ(pixelat(out, 95, 340, 0, 119), pattern(0, 119));
  for (int y = 120; y < 295; ++y)
    for (int x = 0; x <= 95; ++x) ASSERT_EQ(pixelat(out, 95, 340, x, y), (Rgb{255, 255, 255}));
}

TEST_F(Stampo, LongPathsWork) {
  std::string deep = "d";
  for (int i = 0; i < 6; ++i) deep += "/" + std::string(60, char('a' + i));
  fs::create_directories(path(deep));
  const std::string name = deep + "/" + std::string(100, 'r');
  const Bytes in = scan(name, piereport("1", "1", "1", "1"));
  ASSERT_GT(name.size(), 255u);
  const Result r = run({name + ".html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readfile(path(name + ".bmp.bak")), in);
}

// The band of a stamped picture, rows 295 to 339, one text line a row:
// X black, + grid grey, . white, o anything else (the graph).
std::string bandtext(const Bytes& out) {
  std::string t;
  for (int y = 295; y < 340; ++y) {
    for (int x = 0; x <= kW; ++x) {
      const Rgb c = pixelat(out, kW, 340, x, y);
      const bool grey = c.r == c.g && c.g == c.b;
      t += !grey ? 'o' : c.r == 0 ? 'X' : c.r == 178 ? '+' : c.r == 255 ? '.' : 'o';
    }
    t += '\n';
  }
  return t;
}

// Reviewed pictures of the band; STAMPO_UPDATE_GOLDEN=1 rewrites them.
void expectgolden(const Bytes& out, const std::string& name) {
  const std::string file = std::string(STAMPO_GOLDEN_DIR) + "/" + name;
  const std::string band = bandtext(out);
  if (std::getenv("STAMPO_UPDATE_GOLDEN") != nullptr) writefile(file, band);
  EXPECT_EQ(band, text(readfile(file))) << "band differs from " << file;
}

int labelink(const Bytes& out) {
  int n = 0;
  for (int y = 300; y <= 310; ++y)
    for (int x = 0; x <= kW; ++x) n += pixelat(out, kW, 340, x, y) == Rgb{0, 0, 0};
  return n;
}

TEST_F(Stampo, PieBandMatchesItsGolden) {
  const Bytes in = scan("pie", piereport("123.45", "4567", "12345678", "99999"));
  ASSERT_EQ(run({"pie.html"}).status, 0);
  const Bytes out = readfile(path("pie.bmp"));
  expectstamped(out, in, kW, kH);
  EXPECT_EQ(labelink(out), 501);
  EXPECT_EQ(pixelat(out, kW, 340, 59, 317), (Rgb{255, 255, 255}));  // 123.44 starts here
  EXPECT_EQ(pixelat(out, kW, 340, 58, 317), (Rgb{255, 255, 255}));
  expectgolden(out, "pie_band.txt");
}

TEST_F(Stampo, PifBandMatchesItsGolden) {
  const Bytes in = scan("pif", pifreport("0.29", "0", "7", "12"));
  ASSERT_EQ(run({"pif.html"}).status, 0);
  const Bytes out = readfile(path("pif.bmp"));
  expectstamped(out, in, kW, kH);
  EXPECT_EQ(labelink(out), 483);
  expectgolden(out, "pif_band.txt");
}

TEST_F(Stampo, FiguresOutsideTheLayoutStillStamp) {
  // Too large for a float, below the 32-bit range, too many digits,
  // negative: each is printed as read and drawn without harm.
  const Bytes in = scan("odd", piereport("1e39", "-2147483649", "123456789", "-1"));
  const Result r = run({"odd.html"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, summary("odd.bmp", "PIE Sum8", "inf", "-2147483648", "123456789", "-1"));
  expectstamped(readfile(path("odd.bmp")), in, kW, kH);
}

// Names in any script, outside the system's code page too. The files
// come out as the native build stamps the same bytes.
const std::string kNames[] = {
    "\xE3\x83\x87\xE3\x82\xA3\xE3\x82\xB9\xE3\x82\xAF",          // Japanese
    "r\xC3\xA4ksm\xC3\xB6rg\xC3\xA5s_\xED\x95\x9C\xEA\xB8\x80",  // Swedish, Korean
    "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC \xE2\x9C\x93",  // Greek
};

TEST_F(Stampo, NamesInAnyScriptWork) {
  fs::create_directory(path("native"));
  const Bytes in = scan("native/disc", piereport("1.5", "2", "3", "4"));
  ASSERT_EQ(std::system(("cd " + quote(path("native")) + " && " + quote(STAMPO_EXE) +
                         " disc.html >/dev/null")
                            .c_str()),
            0);
  const Bytes stamped = readfile(path("native/disc.bmp"));
  for (const std::string& name : kNames) {
    scan(name, piereport("1.5", "2", "3", "4"));
    const Result r = run({name + ".html"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out.rfind("bmp data : ", 0), 0u);
    EXPECT_NE(r.out.find(".bmp\nScanned mode : PIE Sum8\n"), std::string::npos);
    EXPECT_EQ(readfile(path(name + ".bmp.bak")), in) << name;
    EXPECT_EQ(readfile(path(name + ".bmp")), stamped) << name;
  }
}

// Started from Explorer, Stampo.exe gets a console of its own, which
// closes when it ends: it shows names as given and waits for Enter. Under
// Wine a program started in a pseudo-terminal gets such a console.
TEST_F(Stampo, OwnConsoleShowsAnyNameAndWaitsForEnter) {
  if (!windows()) GTEST_SKIP() << "a Windows console";
  if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  const std::string& name = kNames[2];
  scan(name, piereport("1", "1", "1", "1"));
  // Enter is pressed every half second until the program ends: a console
  // drops what was typed before it was ready.
  const std::string command = "cd " + quote(dir_.string()) +
                              " && (while sleep 0.5; do printf '\\r'; done) | timeout 120 "
                              "script -qec " +
                              quote(program_ + " " + quote(name + ".html") + " missing.html") +
                              " /dev/null >pty.txt";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);  // the missing report's status
  const std::string out = text(readfile(path("pty.txt")));
  EXPECT_NE(out.find("bmp data : " + name + ".bmp"), std::string::npos) << out;
  EXPECT_NE(out.find("fopen: missing.html: "), std::string::npos) << out;
  // The account before the window closes: where the batch stopped, and
  // that running it again finishes it.
  EXPECT_NE(out.find("Stopped at missing.html. Run the same drop again"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Enter\xE3\x82\xAD\xE3\x83\xBC\xE3\x82\x92\xE6\x8A\xBC\xE3\x81\x99\xE3\x81\xA8"
                     "\xE9\x96\x89\xE3\x81\x98\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Press Enter to close."), std::string::npos) << out;
}

TEST_F(Stampo, HelpAndVersion) {
  std::vector<std::string> flags = {"--help", "-h"};
  if (windows()) flags.insert(flags.end(), {"/?", "-?"});
  for (const std::string& flag : flags) {
    const Result help = run({flag});
    EXPECT_EQ(help.status, 0) << flag;
    EXPECT_EQ(help.out.rfind(kUsage, 0), 0u) << flag;  // the usage lines, then the description
    // The licence file by the name the user's copy gives it.
    const char* licence = windows() ? "see LICENSE.txt.\n" : "see LICENSE.\n";
    for (const char* part : {"FOLDER", "NAME.bmp.bak", "Exit status", "MIT licence", licence})
      EXPECT_NE(help.out.find(part), std::string::npos) << flag << ": " << part;
  }
  const Result version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("Stampo ", 0), 0u);
}

// A picture the program cannot stamp exactly is refused before anything
// is written.
struct Refusal {
  const char* name;
  void (*damage)(Bytes&);
  const char* message;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class Refused : public Stampo, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refused, LeavesThePictureUntouched) {
  Bytes picture = bmp(kW, kH, pattern);
  GetParam().damage(picture);
  writefile(path("disc.bmp"), picture);
  writefile(path("disc.html"), piereport("1", "1", "1", "1"));
  const Result r = run({"disc.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, summary("disc.bmp", "PIE Sum8", "1.00", "1", "1", "1") + GetParam().message);
  EXPECT_EQ(readfile(path("disc.bmp")), picture);
  EXPECT_FALSE(fs::exists(path("disc.bmp.bak")));
}

const char kNotBmp[] = "input file is not BMP image.\n";
const char kHeaderSize[] = "input file has an unsupported BMP header (not 40 bytes).\n";
const char kWidth[] = "input file width is not supported (1 to 467, width + 1 a multiple of 4).\n";
const char kHeight[] = "input file height is not supported (1 to 340 rows, bottom-up).\n";
const char kTruncated[] = "input file is truncated.\n";

INSTANTIATE_TEST_SUITE_P(
    EachReason, Refused,
    ::testing::Values(
        Refusal{"LowerCaseSignature", [](Bytes& b) { b[0] = 'b', b[1] = 'm'; }, kNotBmp},
        Refusal{"CoreHeader", [](Bytes& b) { setle32(b, 14, 12); }, kHeaderSize},
        Refusal{"V5Header", [](Bytes& b) { setle32(b, 14, 124); }, kHeaderSize},
        Refusal{"Bits32", [](Bytes& b) { b[28] = 32; }, "input file is not 24-bit BMP image.\n"},
        Refusal{"Rle", [](Bytes& b) { b[30] = 1; }, "input file is compressed BMP image.\n"},
        Refusal{"Wide", [](Bytes& b) { setle32(b, 18, 471); }, kWidth},
        Refusal{"UnalignedWidth", [](Bytes& b) { setle32(b, 18, 466); }, kWidth},
        Refusal{"WidthHighBits", [](Bytes& b) { setle32(b, 18, 0x10000 + 467); }, kWidth},
        Refusal{"TopDown", [](Bytes& b) { setle32(b, 22, std::uint32_t(-300)); }, kHeight},
        Refusal{"ZeroHeight", [](Bytes& b) { setle32(b, 22, 0); }, kHeight},
        Refusal{"Tall", [](Bytes& b) { setle32(b, 22, 341); }, kHeight},
        Refusal{"CutPixels", [](Bytes& b) { b.pop_back(); }, kTruncated},
        Refusal{"CutHeader", [](Bytes& b) { b.resize(40); }, kTruncated},
        Refusal{"Empty", [](Bytes& b) { b.clear(); }, kNotBmp}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace

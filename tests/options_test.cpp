// The opt-in outputs: --png writes the stamped picture as a PNG, --csv
// keeps a row per stamped report. Without them every byte stays as it was.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/harness.h"

using namespace e2e;

namespace {

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | std::uint32_t(b[at + 3]);
}

// Decodes an 8-bit RGB PNG: checks the signature and every chunk's CRC,
// inflates the IDAT data and undoes each row's filter. Returns the rows
// top first, three bytes a pixel.
Bytes decodepng(const Bytes& png, std::uint32_t& w, std::uint32_t& h) {
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), signature);
  Bytes idat;
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = be32(png, at);
    const std::string type(png.begin() + long(at) + 4, png.begin() + long(at) + 8);
    types.push_back(type);
    EXPECT_EQ(crc32(0, png.data() + at + 4, length + 4), be32(png, at + 8 + length)) << type;
    if (type == "IHDR") {
      w = be32(png, at + 8);
      h = be32(png, at + 12);
      EXPECT_EQ(Bytes(png.begin() + long(at) + 16, png.begin() + long(at) + 21),
                (Bytes{8, 2, 0, 0, 0}));
    }
    if (type == "IDAT") idat.insert(idat.end(), png.begin() + long(at) + 8,
                                    png.begin() + long(at) + 8 + length);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  const std::size_t line = 3 * std::size_t(w);
  Bytes raw((line + 1) * h);
  uLongf size = uLongf(raw.size());
  EXPECT_EQ(uncompress(raw.data(), &size, idat.data(), uLong(idat.size())), Z_OK);
  EXPECT_EQ(size, raw.size());
  Bytes rows(line * h);
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t filter = raw[(line + 1) * y];
    for (std::size_t i = 0; i < line; ++i) {
      const int a = i >= 3 ? rows[line * y + i - 3] : 0;
      const int b = y > 0 ? rows[line * (y - 1) + i] : 0;
      const int c = i >= 3 && y > 0 ? rows[line * (y - 1) + i - 3] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predict[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      EXPECT_LT(filter, 5);
      rows[line * y + i] = std::uint8_t(raw[(line + 1) * y + 1 + i] + predict[filter % 5]);
    }
  }
  return rows;
}

// A CSV file read as RFC 4180 has it: fields split at commas, quoted
// fields with doubled quotes, records ended by CRLF.
std::vector<std::vector<std::string>> readcsv(const std::string& s) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quoted) {
      if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') records.back().back() += s[++i];
      else if (c == '"') quoted = false;
      else records.back().back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      ++i;
      if (i + 1 < s.size()) records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  return records;
}

TEST_F(Stampo, PngHasTheStampedPixels) {
  for (const int w : {467, 3, 7}) {
    for (const bool pif : {false, true}) {
      SCOPED_TRACE(std::to_string(w) + (pif ? " PIF" : " PIE"));
      const std::string name = "w" + std::to_string(w) + (pif ? "f" : "e");
      const Bytes in = scan(name, pif ? pifreport("1.5", "2", "3", "4") : piereport("0", "9", "8", "7"), w, w == 467 ? kH : 20);
      const Result r = run({"--png", name + ".html"});
      ASSERT_EQ(r.status, 0) << r.err;
      const Bytes bmp = readfile(path(name + ".bmp"));
      std::uint32_t pw = 0, ph = 0;
      const Bytes rows = decodepng(readfile(path(name + ".png")), pw, ph);
      ASSERT_EQ(pw, std::uint32_t(w));
      ASSERT_EQ(ph, 340u);
      for (int y = 0; y < 340; ++y)
        for (int x = 0; x < w; ++x) {
          const std::uint8_t* p = rows.data() + 3 * (std::size_t(y) * std::size_t(w) + std::size_t(x));
          ASSERT_EQ((Rgb{p[0], p[1], p[2]}), pixelat(bmp, w, 340, x, y)) << x << "," << y;
        }
      if (w == 467 && !pif) {  // a graph of a quarter of the BMP's size at most
        EXPECT_LT(readfile(path(name + ".png")).size() * 4, bmp.size());
      }
    }
  }
}

// With the options, the BMP, its backup and the console say exactly what
// they say without them; the CSV file gets a header once and a row per
// stamped report, whatever the names hold.
TEST_F(Stampo, OptionsChangeNothingElseAndCsvRowsAccumulate) {
  fs::create_directory(path("plain"));
  fs::create_directory(path("opt"));
  // A comma, quotes (which Windows names cannot hold), Japanese.
  const std::string odd = windows() ? "a,b 'c' \xE3\x83\x87" : "a,b \"c\" \xE3\x83\x87";
  for (const char* folder : {"plain", "opt"}) {
    scan(std::string(folder) + "/" + odd, piereport("1.234", "5", "678", "9"));
    scan(std::string(folder) + "/cut", piereport("1", "2", "3", "4"));
    writefile(path(std::string(folder) + "/cut.html"), "<html>no marker</html>\n");
  }
  const std::string report = "opt/" + odd + ".html";
  const Result plain = run({"plain/" + odd + ".html", "plain/cut.html"});
  const Result opt = run({"--png", "--csv", "out.csv", report, "opt/cut.html"});
  ASSERT_EQ(opt.status, 0) << opt.err;
  EXPECT_EQ(plain.status, opt.status);
  std::string same = plain.out;  // the same but for the folder's name
  for (std::size_t at; (at = same.find("plain/")) != std::string::npos;) same.replace(at, 6, "opt/");
  EXPECT_EQ(same, opt.out);
  std::string sameerr = plain.err;
  sameerr.replace(0, 6, "opt/");
  EXPECT_EQ(sameerr, opt.err);
  for (const std::string& name : {odd + ".bmp", odd + ".bmp.bak", std::string("cut.bmp")})
    EXPECT_EQ(readfile(path("plain/" + name)), readfile(path("opt/" + name))) << name;
  EXPECT_FALSE(fs::exists(path("opt/cut.png")));  // skipped: no PNG, no row
  EXPECT_TRUE(fs::exists(path("opt/" + odd + ".png")));

  // A second run replaces the report's row, where it is: one row a report.
  ASSERT_EQ(run({"--csv", "out.csv", "--", report}).status, 0);
  const std::string csv = text(readfile(path("out.csv")));
  ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
  const std::string picture = report.substr(0, report.size() - 5) + ".bmp";
  const std::vector<std::string> row = {report, picture, "PIE Sum8", "1.23", "5", "678", "9"};
  EXPECT_EQ(readcsv(csv.substr(3)),
            (std::vector<std::vector<std::string>>{
                {"report", "picture", "mode", "average", "maximum", "total", "POF"}, row}));
  if (!windows()) {
    EXPECT_NE(csv.find("\"opt/a,b \"\"c\"\" \xE3\x83\x87.html\""), std::string::npos) << csv;
  }
  // The table is written whole, once: a temporary file flushed, then
  // renamed over it.
  if (std::getenv("STAMPO_UNDER_TEST") == nullptr && std::system("strace -V >/dev/null 2>&1") == 0) {
    ASSERT_EQ(run({"--csv", "out.csv", report, report},
                  std::string(kStrace) + "-y -o trace.txt -e trace=fsync,rename ")
                  .status,
              0);
    std::string calls, trace = text(readfile(path("trace.txt")));
    for (std::size_t at = 0; at < trace.size(); at = trace.find('\n', at) + 1) {
      const std::string line = trace.substr(at, trace.find('\n', at) - at);
      if (line.find("out.csv") != std::string::npos) calls += line.substr(0, line.find('(')) + " ";
      if (trace.find('\n', at) == std::string::npos) break;
    }
    EXPECT_EQ(calls, "fsync rename ");
  }
}

// The CSV table keeps one row per report. A report stamped again (in a
// rerun, given twice, or under another spelling) has its row replaced
// where it stands, with the last figures; other reports' rows stay, byte
// for byte, in their places (a row cut short by some other program gets
// its line end); new reports' rows come at the end in the order stamped.
// A failure stops the run with the rows of the pictures stamped so far,
// and the same drop again finishes the table.
TEST_F(Stampo, CsvTableHasOneRowPerReport) {
  scan("a", piereport("1", "1", "1", "1"));
  scan("b", piereport("2", "2", "2", "2"));
  scan("c", pifreport("3", "3", "3", "3"));
  fs::create_directory(path("c.bmp.bak"));  // c fails, before anything of it is written
  const std::string x = "x.html,x.bmp,PIE Sum8,1.00,1,1,1\r\n";
  const std::string y = "y.html,y.bmp,PIF Sum1,2.00,2,2,2";
  writefile(path("t.csv"), "report,picture,mode,average,maximum,total,POF\r\n" + x +
                               "a.html,a.bmp,PIE Sum8,9.00,9,9,9\r\n" + y);
  const std::string again = windows() ? ".\\b.html" : "./b.html";
  const std::vector<std::string> args = {"--csv", "t.csv", "a.html", again, "b.html", "c.html"};
  const Result stopped = run(args);
  EXPECT_EQ(stopped.status, 1);
  const std::string header = "\xEF\xBB\xBFreport,picture,mode,average,maximum,total,POF\r\n";
  const std::string a = "a.html,a.bmp,PIE Sum8,1.00,1,1,1\r\n";
  const std::string b = "b.html,b.bmp,PIE Sum8,2.00,2,2,2\r\n";
  EXPECT_EQ(text(readfile(path("t.csv"))), header + x + a + y + "\r\n" + b);
  fs::remove(path("c.bmp.bak"));
  const Result finished = run(args);
  EXPECT_EQ(finished.status, 0) << finished.err;
  const std::string c = "c.html,c.bmp,PIF Sum1,3.00,3,3,3\r\n";
  EXPECT_EQ(text(readfile(path("t.csv"))), header + x + a + y + "\r\n" + b + c);

  // A table that is a later report's file is found at that report, and
  // then not written at all: the rows so far wait for the next run.
  const Bytes d = scan("d", piereport("4", "4", "4", "4"));
  const Result clash = run({"--csv", "d.bmp.bak", "a.html", "d.html"});
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find("d.bmp.bak (the backup) and d.bmp.bak (the CSV table) are one file"),
            std::string::npos)
      << clash.err;
  EXPECT_FALSE(fs::exists(path("d.bmp.bak")));
  EXPECT_EQ(readfile(path("d.bmp")), d);

  // A full disk while the table is written leaves the old table whole
  // (files may grow to 550,000 bytes: the pictures fit, the table not).
  if (windows()) return;
  std::string big = header;
  for (int i = 0; big.size() < 600000; ++i) big += "z" + std::to_string(i) + ".html,z.bmp,PIE Sum8,1.00,1,1,1\r\n";
  writefile(path("t.csv"), big);
  const Result full = run({"--csv", "t.csv", "a.html"}, "trap '' XFSZ; prlimit --fsize=550000 ");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.rfind("fwrite: t.csv: File too large\nt.csv is as it was: this run's rows are "
                           "not in it.",
                           0),
            0u)
      << full.err;
  EXPECT_EQ(text(readfile(path("t.csv"))), big);
  for (const std::string& name : files()) EXPECT_EQ(name.find("stampo-tmp"), std::string::npos);
}

TEST_F(Stampo, OptionsComeFirstAndUnknownOnesAreRefused) {
  const Bytes in = scan("disc", piereport("1", "2", "3", "4"));
  // Refused with the usage text and status 1 before anything is done:
  // what the user may get wrong, each said for what it is.
  const std::string needsname = "--csv needs a file name: --csv FILE or --csv=FILE\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } wrong[] = {
      {{"--pgn", "disc.html"}, "unknown option: --pgn\n"},
      {{"--csv"}, needsname},
      {{"--csv", "--png", "disc.html"}, needsname},  // not a file named "--png"
      {{"--csv=", "disc.html"}, needsname},
      {{"--csv", "", "disc.html"}, needsname},
      {{"--restore", "--png", "disc.html"}, "--restore cannot be used with --png or --csv\n"},
      {{"--csv=t.csv", "--restore", "disc.html"}, "--restore cannot be used with --png or --csv\n"},
      {{"--png"}, ""},
  };
  for (const auto& w : wrong) {
    const Result r = run(w.args);
    EXPECT_EQ(r.status, 1) << w.args[0];
    EXPECT_EQ(r.err, w.err) << w.args[0];
    EXPECT_EQ(r.out.find("Usage : "), r.out.find('\n') + 1) << r.out;
  }
  EXPECT_EQ(readfile(path("disc.bmp")), in);
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.html"}));
  // The table's name in the same argument, as many tools take it.
  ASSERT_EQ(run({"--csv=t.csv", "disc.html"}).status, 0);
  EXPECT_EQ(files(), (std::vector<std::string>{"disc.bmp", "disc.bmp.bak", "disc.html", "t.csv"}));
  fs::remove(path("t.csv"));
  // After "--", a report may be named like an option.
  writefile(path("--png"), piereport("1", "2", "3", "4"));
  const Result r = run({"--", "--png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("bmp data : --png\n", 0), 0u) << r.out;
}

}  // namespace

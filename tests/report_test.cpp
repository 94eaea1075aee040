// The report scan: marker lines, fgets-sized reads and figure text.
#include "report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "modes.h"
#include "support/fixtures.h"

namespace {

using stampo::ReportLines;
using stampo::ReportScan;

ReportScan scantext(const std::string& text) {
  ReportLines lines(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return stampo::scanreport(lines);
}

std::vector<std::string> reads(ReportLines& lines) {
  std::vector<std::string> out;
  const std::uint8_t* line;
  std::size_t length;
  while (lines.next(line, length)) out.emplace_back(reinterpret_cast<const char*>(line), length);
  return out;
}

TEST(ReportScan, ReadsPieAndPifFigures) {
  const ReportScan pie = scantext(fixtures::piereport("12.34", "56", "7890", "3"));
  ASSERT_EQ(pie.status, ReportScan::kComplete);
  EXPECT_EQ(pie.summary.mode, stampo::kModePie);
  EXPECT_EQ(pie.summary.average, 12.34f);
  EXPECT_EQ(pie.summary.maximum, 56);
  EXPECT_EQ(pie.summary.total, 7890);
  EXPECT_EQ(pie.summary.pof, 3);
  EXPECT_EQ(scantext(fixtures::pifreport("1", "2", "3", "4")).summary.mode, stampo::kModePif);
  // Every mode of the table, by its own marker.
  for (const stampo::ModeRow& row : stampo::kModes) {
    const ReportScan s = scantext(fixtures::report(row.marker, "1.5", "2", "3", "4"));
    EXPECT_EQ(s.status, ReportScan::kComplete) << row.name;
    EXPECT_EQ(s.summary.mode, row.mode) << row.name;
    EXPECT_EQ(s.summary.pof, 4) << row.name;
  }
}

TEST(ReportScan, MarkerMustStartTheLine) {
  EXPECT_EQ(scantext(" <td width=\"86\">PIE</td>\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n").status,
            ReportScan::kNoMarker);
  EXPECT_EQ(scantext("<td width=\"86\">PIE</t\n").status, ReportScan::kNoMarker);
  // Text after the marker's 23 bytes does not matter; the first marker wins.
  const ReportScan s =
      scantext(fixtures::report("<td width=\"86\">PIF</td><b>x", "1", "2", "3", "4") +
               fixtures::piereport("9", "9", "9", "9"));
  EXPECT_EQ(s.summary.mode, stampo::kModePif);
  EXPECT_EQ(s.summary.pof, 4);
}

TEST(ReportScan, EndsBeforeFigures) {
  std::string text = fixtures::piereport("1", "2", "3", "4");
  text.resize(text.rfind("<td"));  // the POF line is gone
  const ReportScan s = scantext(text);
  EXPECT_EQ(s.status, ReportScan::kTruncated);
  EXPECT_EQ(s.summary.mode, stampo::kModePie);
}

TEST(ReportLines, SplitsLongLinesAt1023Bytes) {
  const std::string text = std::string(2050, 'a') + "\nb\n" + std::string(1023, 'c');
  ReportLines lines(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const std::vector<std::string> got = reads(lines);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0], std::string(1023, 'a'));
  EXPECT_EQ(got[1], std::string(1023, 'a'));
  EXPECT_EQ(got[2], "aaaa\n");
  EXPECT_EQ(got[3], "b\n");
  EXPECT_EQ(got[4], std::string(1023, 'c'));
}

// A source that hands out `text` in pieces of the given sizes, in turn,
// as a file read may come short; then fails with `code` if it is not 0.
ReportLines::Source pieces(const std::string& text, std::vector<std::size_t> sizes, int code = 0) {
  auto at = std::make_shared<std::size_t>(0);
  auto turn = std::make_shared<std::size_t>(0);
  return [=](std::uint8_t* data, std::size_t size, std::size_t& got) {
    got = std::min({size, text.size() - *at, sizes[(*turn)++ % sizes.size()]});
    if (got == 0 && code != 0) return stampo::systemfailure(stampo::Step::kRead, "r", stampo::Role::kReport, code);
    std::copy_n(text.data() + *at, got, data);
    *at += got;
    return stampo::Failure();
  };
}

TEST(ReportLines, SourceReadsMatchMemoryReadsAcrossBlocks) {
  // Lines of many lengths, so reads straddle the reader's block ends, and
  // reads that come short.
  std::string text;
  for (int i = 0; text.size() < 300000; ++i)
    text += std::string(std::size_t(i * 37 % 2100), 'x') + "\n";
  text += "tail";
  ReportLines frommemory(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const std::vector<std::string> want = reads(frommemory);
  for (const std::vector<std::size_t>& sizes :
       {std::vector<std::size_t>{1 << 20}, {1000, 7, 65536}, {1}}) {
    ReportLines fromsource(pieces(text, sizes));
    EXPECT_EQ(reads(fromsource), want) << sizes.size();
    EXPECT_TRUE(fromsource.error().ok());
  }
  // A read that fails ends the lines with its failure, not as the end of
  // the report.
  ReportLines failing(pieces(text.substr(0, 5000), {4096}, 5));
  EXPECT_EQ(reads(failing).size(), 0u);
  EXPECT_EQ(failing.error().code, 5);
  EXPECT_EQ(stampo::scanreport(failing).status, ReportScan::kUnreadable);
}

TEST(ReportScan, LongLinesCountAsSeveralReads) {
  // A marker 1023 bytes into a long line starts a read of its own.
  EXPECT_EQ(scantext(std::string(1023, ' ') + fixtures::piereport("1", "2", "3", "4")).status,
            ReportScan::kComplete);
  // A 1500-byte line 5 takes two reads, so the POF is read from the
  // physical line 9.
  const std::string cell = "<td align=\"right\">";
  std::string text = "<td width=\"86\">PIE</td>\n";
  for (int line = 1; line <= 10; ++line)
    text += cell + (line == 5 ? std::string(1500, ' ') : std::to_string(line * 11)) + "</td>\n";
  const ReportScan s = scantext(text);
  EXPECT_EQ(s.summary.total, 33);
  EXPECT_EQ(s.summary.pof, 99);
}

TEST(ValueText, FromByte18ToTheNextTag) {
  auto value = [](const std::string& line) {
    return stampo::valuetext(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  };
  EXPECT_EQ(value("<td align=\"right\">12.34</td>\n"), "12.34");
  EXPECT_EQ(value("<td align=\"right\">1,234</td>\n"), "1,234");
  EXPECT_EQ(value("<td align=\"right\">"), "");  // 18 bytes: nothing after
  EXPECT_EQ(value("short\n"), "");
  EXPECT_EQ(value("<td align=\"right\">5\n"), "5\n");  // no tag: to the read's end
  EXPECT_EQ(value(std::string("<td align=\"right\">4\0"
                              "9<",
                              21)),
            "4");
}

// A report that ends inside its POF line: with a '<' after the figure the
// figure is whole; without one it may be cut short, and the report counts
// as ending before its figures.
TEST(ReportScan, ReportCutInsideItsLastFigure) {
  const std::string report = fixtures::piereport("1", "2", "3", "43079");
  const std::size_t pof = report.find(">43079<") + 1;
  const ReportScan closed = scantext(report.substr(0, pof + 5 + 1));
  EXPECT_EQ(closed.status, ReportScan::kComplete);
  EXPECT_EQ(closed.summary.pof, 43079);
  const ReportScan cut = scantext(report.substr(0, pof + 3));
  EXPECT_EQ(cut.status, ReportScan::kTruncated);
  EXPECT_EQ(cut.figures, 3);
}

}  // namespace

#pragma once
// The scan report: an HTML page written by Plextools Professional. Stampo
// reads it as lines the way a 1024-byte fgets buffer delivers them: one
// read yields at most 1023 bytes, through the first line feed, so a longer
// physical line arrives as several reads, and each read counts as a line.
// (That is how the program has always counted; a report with a very long
// line must keep giving the figures it always gave, so the count stays.)
//
// The scan mode marker is a line that begins with a mode's marker (the
// table of modes, modes.h: <td width="86">PIE</td> for PIE Sum8), and,
// counting the marker as line 0, the figures stand on lines 1
// (average), 2 (maximum), 3 (total) and 10 (POF). In each figure line the
// value text starts at byte 18 and runs up to the next '<'.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "failure.h"
#include "summary.h"

namespace stampo {

class ReportLines {
 public:
  static constexpr std::size_t kMaxRead = 1023;

  // Where the bytes come from: up to `size` more into `data`, `got` of
  // them (0 at the end), as InputFile::read() gives them.
  using Source = std::function<Failure(std::uint8_t* data, std::size_t size, std::size_t& got)>;

  // Lines from a source such as a file, fetched in large blocks.
  explicit ReportLines(Source source);
  // Lines from bytes in memory, which must outlive the reader.
  ReportLines(const std::uint8_t* data, std::size_t size);

  // The next read; false at the end of the report or on a read error.
  bool next(const std::uint8_t*& line, std::size_t& length);
  // The read error that ended the reads ("fread"); ok() when they ended
  // at the end of the report.
  const Failure& error() const { return error_; }

 private:
  void refill();

  Source source_;
  std::unique_ptr<std::uint8_t[]> buffer_;  // kBlock bytes, left uninitialised
  const std::uint8_t* data_ = nullptr;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  Failure error_;
};

struct ReportScan {
  enum Status {
    kNoMarker,   // the report ends before a mode marker
    kTruncated,  // the report ends before the POF line
    kComplete,
    kUnreadable,  // a read failed: see ReportLines::error()
  };
  Status status = kNoMarker;
  ScanSummary summary;  // mode set from kTruncated on, figures as read
  int figures = 0;      // figures read, in report order: average, maximum, total, POF
  bool picture = false;  // kNoMarker: the file starts as a picture file does
};

ReportScan scanreport(ReportLines& lines);

// The picture beside a report: the first ".html" in the report's own name
// (in any case where file names ignore it, on Windows) becomes ".bmp" and
// ends the path; without one the path stays as it is. A folder's name
// plays no part: "D:/scans/disc.html" gives "D:/scans/disc.bmp",
// "old.html.d/disc.html" gives "old.html.d/disc.bmp".
std::string picturepath(const std::string& report);

// The PNG beside a picture: "D:/scans/disc.bmp" gives "D:/scans/disc.png".
std::string pngpath(const std::string& picture);

// Whether a file's name is a report's: it ends in ".html" (in any case
// where names ignore it). "x.html.orig" is a copy kept aside.
bool isreportname(const std::string& name);


// The value text of a figure line: from byte 18 up to the first '<' (or
// NUL, or the end of the read); empty when the read is shorter.
std::string valuetext(const std::uint8_t* line, std::size_t length);

}  // namespace stampo

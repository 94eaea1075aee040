#pragma once
// The CSV table of results (--csv FILE): one row per report, for comparing
// discs in a spreadsheet.
//
// The file is UTF-8 with a byte-order mark (so that Excel reads names in
// any script), its lines end in CRLF, and fields are quoted as RFC 4180
// says (a comma, a quote or a line break inside; quotes doubled). Its
// first row is the header
//     report,picture,mode,average,maximum,total,POF
// and every other row is one report: its path, its picture's path, the
// scan mode and the four figures as the console prints them. Rows are
// keyed by the report as the row names it (the same path however spelt:
// "./a.html" is "a.html", and on Windows case and "\" against "/" do not
// count). A run replaces the rows of the reports it stamps, where they
// are, and adds the others at the end in the order stamped; every other
// row stays, byte for byte, in its place.
//
// The table is written once, whole (a temporary file, flushed, renamed
// over it), when the run ends or a failure stops it: a crash or a full
// disk leaves the whole old table or the whole new one.
#include <string>
#include <vector>

#include "failure.h"
#include "file.h"
#include "summary.h"

namespace stampo {

class ResultsTable {
 public:
  // Looks at FILE before anything is written: a file that exists must be
  // one of our tables (kNotOurTable), readable and replaceable; where
  // there is none, its folder must take one.
  Failure open(const std::string& path);
  const std::string& path() const { return path_; }
  // Which file it is: the key every report's files are checked against.
  const FileKey& key() const { return key_; }

  // A stamped report's row, to write.
  void put(const std::string& report, const std::string& picture, const ScanSummary& summary);

  // Writes the table whole, if there are rows to write: the rows of the
  // file as it is then, each of this run's reports' replaced and the rest
  // added. A failure after the new table took the name carries the stage
  // kRowsWritten.
  Failure write();

 private:
  struct Row {
    std::string key;
    std::string bytes;
  };
  std::string path_;
  FileKey key_;
  std::vector<Row> rows_;
};

// The key of a row: the report's path as it names one file.
std::string rowkey(const std::string& report);

// One CSV field, quoted where it must be.
std::string csvfield(const std::string& text);

}  // namespace stampo

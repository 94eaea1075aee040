#include "run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console.h"
#include "decimal.h"
#include "file.h"
#include "imgwt.h"
#include "messages.h"
#include "report.h"

namespace stampo {
namespace {

const char* const kModeNames[] = {"", "PIE Sum8", "PIF Sum1"};

// What the options ask for besides the stamped pictures.
struct Options {
  bool png = false;     // --png: NAME.png beside each stamped picture
  std::string csv;      // --csv FILE: a row for each stamped report
};

// One run's state: its options, the CSV file, the buffers that go from
// one picture to the next.
struct Batch {
  Options options;
  AppendFile csv;
  Workspace work;
};

// The usage lines: the text of a run with no arguments, and the start of
// the help.
ConsoleText usage() {
  ConsoleText text;
  text.text(kUsageJa).text(kUsageEn);
  return text;
}

const char kHelp[] =
    "\n"
    "Stampo stamps the summary of a PIE Sum8 / PIF Sum1 disc quality scan onto\n"
    "the scan's graph picture.\n"
    "\n"
    "  stampo [OPTIONS] REPORT.html...   the picture beside each report: REPORT.bmp\n"
    "  stampo [OPTIONS] FOLDER...        every .html report directly inside the\n"
    "                                    folder, in name order\n"
    "  Stampo.exe D:\\scans\\*.html   on Windows, wildcards as well\n"
    "\n"
    "Options, before the reports:\n"
    "  --png        also write each stamped picture as NAME.png, for sharing\n"
    "  --csv FILE   add a row to FILE for each stamped report: its paths, the\n"
    "               mode and the four figures (UTF-8, for Excel as well)\n"
    "  --           ends the options: a report may then start with '-'\n"
    "  --help, --version\n"
    "\n"
    "Each picture is rewritten 340 rows high, with the four figures in a band\n"
    "at its foot. Its original is kept beside it as NAME.bmp.bak, written\n"
    "before the picture is replaced; running again keeps that first backup.\n"
    "After any interruption, run the same reports again to finish the batch.\n"
    "To restore a picture, copy NAME.bmp.bak back over NAME.bmp.\n"
    "\n"
    "Exit status: 0 when every report was handled; 1 after a failure, which\n"
    "ends the run (the message names the file), or for the usage text.\n"
    "\n"
    "Stampo " STAMPO_VERSION ". MIT licence, copyright the Stampo authors: see the LICENSE file.\n";

// "fopen: D:/scans/disc.html: No such file or directory" on standard error.
int fail(const FileError& e) {
  ConsoleText()
      .text(e.call)
      .text(": ")
      .system(e.file)
      .text(": ")
      .system(reason(e))
      .text("\n")
      .write(stderr);
  return EXIT_FAILURE;
}

// A picture's refusal goes to standard output, as the scanner's users and
// their scripts have always read it; file errors go to standard error.
int fail(const StampFailure& failure, const std::string& picture) {
  switch (failure.kind) {
    case StampFailure::kRefused:
      ConsoleText().text(bmpmessage(failure.refused)).write(stdout);
      break;
    case StampFailure::kForeignBackup: {
      ConsoleText text;
      text.system(picture).text(": already stamped, and ");
      if (failure.file.ok()) {
        text.system(picture + ".bak")
            .text(
                " is not its original; nothing was changed. To stamp it again, copy its "
                "original over ")
            .system(picture)
            .text(".\n");
      } else {
        text.text("its backup ")
            .system(failure.file.file)
            .text(" cannot be read (")
            .system(reason(failure.file))
            .text("); nothing was changed. Make the backup readable and run again.\n");
      }
      text.write(stderr);
      break;
    }
    case StampFailure::kSameFile:
      ConsoleText()
          .system(picture)
          .text(": the picture and its backup ")
          .system(picture + ".bak")
          .text(
              " are the same file (a link); nothing was changed. Put a copy of the original "
              "picture at ")
          .system(picture)
          .text(", not a link, and run again.\n")
          .write(stderr);
      break;
    case StampFailure::kFile: fail(failure.file); break;
    case StampFailure::kNone: return EXIT_SUCCESS;
  }
  return EXIT_FAILURE;
}

// "D:/scans/disc.html" -> "D:/scans/disc.bmp": the first ".html" in the
// report's own name becomes ".bmp" and ends the path; without one the
// path stays as it is. A folder's name plays no part.
std::string picturepath(const std::string& report) {
  const std::size_t at = report.find(".html", namestart(report));
  return at == std::string::npos ? report : report.substr(0, at) + ".bmp";
}

// The figures read so far, two to a line, as the console shows them.
// "avarage" is misspelt on purpose: it is what the console has always
// said, and the scripts that read Stampo's output look for it.
std::string figuretext(const ScanSummary& s, int figures) {
  std::string text;
  if (figures >= 1) text += "avarage : " + fixed2(s.average) + "      ";
  if (figures >= 2) text += "maximum : " + std::to_string(s.maximum) + "\n";
  if (figures >= 3) text += "total   : " + std::to_string(s.total) + "    ";
  if (figures >= 4) text += "POF     : " + std::to_string(s.pof) + "\n";
  return text;
}

// One CSV field, quoted where it must be (RFC 4180): a comma, a quote or a
// line break inside, with each quote doubled.
std::string csvfield(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (const char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

// The row of one stamped report, with CRLF as Excel and RFC 4180 expect.
std::string csvrow(const std::string& report, const std::string& picture, const ScanSummary& s) {
  return csvfield(report) + "," + csvfield(picture) + "," + kModeNames[s.mode] + "," +
         fixed2(s.average) + "," + std::to_string(s.maximum) + "," + std::to_string(s.total) +
         "," + std::to_string(s.pof) + "\r\n";
}

// "D:/scans/disc.bmp" -> "D:/scans/disc.png".
std::string pngpath(const std::string& picture) {
  const std::size_t dot = picture.rfind('.');
  const bool bmp = dot != std::string::npos && dot >= namestart(picture) &&
                   picture.compare(dot, std::string::npos, ".bmp") == 0;
  return (bmp ? picture.substr(0, dot) : picture) + ".png";
}

// Handles one report: prints its summary and stamps its picture.
// Returns EXIT_SUCCESS to go on with the next, or the failure's status.
int stampreport(const std::string& report, Batch& batch) {
  StreamPtr file;
  if (const FileError e = openstream(report, file); !e.ok()) return fail(e);
  const std::string picture = picturepath(report);
  // One report's text goes out in one piece, flushed before anything can
  // be said on standard error.
  ConsoleText text;
  text.text("bmp data : ").system(picture).text("\n");

  ReportLines lines(file.get());
  const ReportScan scan = scanreport(lines);
  if (scan.status == ReportScan::kUnreadable) {
    FileError e = lines.error();
    e.file = report;
    text.write(stdout);
    return fail(e);
  }
  if (const FileError e = closestream(file, report); !e.ok()) return fail(e);

  if (scan.status == ReportScan::kNoMarker) {
    text.text(kNoMarker);
  } else {
    text.text("Scanned mode : " + std::string(kModeNames[scan.summary.mode]) + "\n");
    text.text(figuretext(scan.summary, scan.figures));
    if (scan.status == ReportScan::kComplete) {
      text.text("\n");
    } else {  // the message starts a line of its own
      if (!text.atlinestart()) text.text("\n");
      text.text(kTruncated);
    }
  }
  if (!text.write(stdout)) return fail(lasterror("fwrite", "standard output"));
  if (scan.status != ReportScan::kComplete) return EXIT_SUCCESS;
  const StampFailure stamped = imgwt(picture, scan.summary, batch.work,
                                     batch.options.png ? pngpath(picture) : std::string());
  if (!stamped.ok()) return fail(stamped, picture);
  if (!batch.options.csv.empty()) {
    if (const FileError e = batch.csv.append(csvrow(report, picture, scan.summary)); !e.ok())
      return fail(e);
  }
  return EXIT_SUCCESS;
}

// The reports a folder stands for: the .html files directly inside it, in
// name order. One that holds none is said, and the run goes on.
int stampfolder(const std::string& folder, Batch& batch) {
  std::vector<std::string> names;
  if (const FileError e = listfolder(folder, names); !e.ok()) return fail(e);
  std::sort(names.begin(), names.end());
  bool any = false;
  for (const std::string& name : names) {
    // Only names the picture rule maps: "x.html", not "x.HTML" or "x.htm".
    const std::size_t html = name.find(".html");
    if (html == std::string::npos || html + 5 != name.size()) continue;
    any = true;
    if (const int status = stampreport(joinpath(folder, name), batch); status != EXIT_SUCCESS)
      return status;
  }
  if (!any) ConsoleText().system(folder).text(": no .html reports in this folder\n").write(stderr);
  return EXIT_SUCCESS;
}

}  // namespace

int run(int argc, char** argv) {
  setupconsole();
  // The options come first; "--" ends them.
  Batch batch;
  int first = 1;
  for (; first < argc; ++first) {
    const std::string arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    if (ishelpflag(arg)) {
      usage().text(kHelp).write(stdout);
      return EXIT_SUCCESS;
    }
    if (arg == "--version") {
      ConsoleText().text("Stampo " STAMPO_VERSION "\n").write(stdout);
      return EXIT_SUCCESS;
    }
    if (arg == "--png") {
      batch.options.png = true;
    } else if (arg == "--csv" && first + 1 < argc && argv[first + 1][0] != '\0') {
      batch.options.csv = argv[++first];
    } else if (arg.size() > 1 && arg[0] == '-') {
      ConsoleText().text("unknown option: ").system(arg).text("\n").write(stderr);
      usage().write(stdout);
      return EXIT_FAILURE;
    } else {
      break;
    }
  }
  if (first >= argc) {
    usage().write(stdout);
    return EXIT_FAILURE;
  }
  if (!batch.options.csv.empty()) {
    if (const FileError e = batch.csv.open(batch.options.csv); !e.ok()) return fail(e);
    // A new file starts with the byte-order mark (so Excel reads it as
    // UTF-8) and a header row.
    if (batch.csv.empty()) {
      const FileError e = batch.csv.append(
          "\xEF\xBB\xBFreport,picture,mode,average,maximum,total,POF\r\n");
      if (!e.ok()) return fail(e);
    }
  }
  int status = EXIT_SUCCESS;
  for (int i = first; i < argc && status == EXIT_SUCCESS; ++i) {
    for (const std::string& arg : expandwildcards(argv[i])) {
      status = isfolder(arg) ? stampfolder(arg, batch) : stampreport(arg, batch);
      if (status != EXIT_SUCCESS) break;
    }
  }
  if (!batch.options.csv.empty()) {
    const FileError e = batch.csv.close();
    if (!e.ok() && status == EXIT_SUCCESS) return fail(e);
  }
  return status;
}

}  // namespace stampo

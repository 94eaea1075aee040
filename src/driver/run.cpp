#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console.h"
#include "decimal.h"
#include "file.h"
#include "imgwt.h"
#include "messages.h"
#include "report.h"

namespace stampo {
namespace {

const char* const kModeNames[] = {"", "PIE Sum8", "PIF Sum1"};

void printusage() { ConsoleText().text(kUsageJa).text(kUsageEn).write(stdout); }

[[noreturn]] void usage() {
  printusage();
  std::exit(finish(EXIT_FAILURE));
}

bool ishelp(const std::string& arg) {
#ifdef _WIN32
  if (arg == "/?") return true;
#endif
  return arg == "--help" || arg == "-h";
}

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
            .text(" is not its original; nothing was changed. To stamp it again, copy its "
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
std::string figuretext(const ScanSummary& s, int figures) {
  std::string text;
  if (figures >= 1) text += "avarage : " + fixed2(s.average) + "      ";
  if (figures >= 2) text += "maximum : " + std::to_string(s.maximum) + "\n";
  if (figures >= 3) text += "total   : " + std::to_string(s.total) + "    ";
  if (figures >= 4) text += "POF     : " + std::to_string(s.pof) + "\n";
  return text;
}

}  // namespace

int run(int argc, char** argv) {
  if (argc < 2) usage();
  if (argc == 2 && ishelp(argv[1])) {
    printusage();
    return EXIT_SUCCESS;
  }
  if (argc == 2 && std::string(argv[1]) == "--version") {
    ConsoleText().text("Stampo " STAMPO_VERSION "\n").write(stdout);
    return EXIT_SUCCESS;
  }
  Workspace work;
  for (int i = 1; i < argc; ++i) {
    const std::string report = argv[i];
    StreamPtr file;
    if (const FileError e = openstream(report, file); !e.ok()) return fail(e);
    const std::string picture = picturepath(report);
    // One report's text goes out in one piece, flushed before anything
    // can be said on standard error.
    ConsoleText text;
    text.text("bmp data : ").system(picture).text("\n");

    ReportLines lines(file.get());
    const ReportScan scan = scanreport(lines);
    if (lines.failed()) {
      const FileError e = lasterror("fread", report);
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
    if (scan.status != ReportScan::kComplete) continue;
    if (const StampFailure failure = imgwt(picture, scan.summary, work); !failure.ok())
      return fail(failure, picture);
  }
  return EXIT_SUCCESS;
}

}  // namespace stampo

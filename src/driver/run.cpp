#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console.h"
#include "decimal.h"
#include "fileio.h"
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
int fail(const IoError& e, const std::string& file) {
  ConsoleText()
      .text(e.call)
      .text(": ")
      .path(file)
      .text(": ")
      .text(std::strerror(e.code))
      .text("\n")
      .write(stderr);
  return EXIT_FAILURE;
}

int fail(const char* call, const std::string& file) { return fail(ioerror(call), file); }

int fail(const StampFailure& failure, const std::string& picture) {
  if (failure.refused != BmpError::kNone) {
    ConsoleText().text(bmpmessage(failure.refused)).write(stdout);
    return EXIT_FAILURE;
  }
  fail(failure.io, failure.file);
  if (failure.damaged)
    ConsoleText()
        .path(picture)
        .text(" is damaged; its original is in ")
        .path(picture + ".bak")
        .text(": copy that file back over it.\n")
        .write(stderr);
  return EXIT_FAILURE;
}

// "D:/scans/disc.html" -> "D:/scans/disc.bmp": the first ".html" becomes
// ".bmp" and ends the path; without one the path stays as it is.
std::string picturepath(const std::string& report) {
  const std::size_t at = report.find(".html");
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
  StampFailure failure;
  for (int i = 1; i < argc; ++i) {
    const std::string report = argv[i];
    FilePtr file = openfile(report, "rb");
    if (!file) return fail("fopen", report);
    const std::string picture = picturepath(report);
    // One report's text goes out in one piece, flushed before anything
    // can be said on standard error.
    ConsoleText text;
    text.text("bmp data : ").path(picture).text("\n");

    ReportLines lines(file.get());
    const ReportScan scan = scanreport(lines);
    if (lines.failed()) {
      const IoError e = ioerror("fread");
      text.write(stdout);
      return fail(e, report);
    }
    if (!closefile(file)) return fail("fclose", report);

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
    if (!text.write(stdout)) return fail("fwrite", "standard output");
    if (scan.status == ReportScan::kComplete && !imgwt(picture, scan.summary, work, failure))
      return fail(failure, picture);
  }
  return EXIT_SUCCESS;
}

}  // namespace stampo

#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "decimal.h"
#include "fileio.h"
#include "imgwt.h"
#include "report.h"

namespace stampo {
namespace {

// The Japanese texts are Shift_JIS bytes, as a Japanese Windows console
// shows them.
// "使い方 : プログラム本体にhtmlファイルをドロップしてください。"
constexpr char kUsageJa[] =
    "\x8E\x67\x82\xA2\x95\xFB : \x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x96\x7B\x91\xCC\x82\xC9"
    "html\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x68\x83\x8D\x83\x62\x83\x76\x82\xB5\x82\xC4"
    "\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\n";
constexpr char kUsageEn[] = "Usage : drop html files to Stampo.exe\n";
// "Plextools Professionalで出力されてないです。" (not written by Plextools
// Professional)
constexpr char kNoMarker[] =
    "Plextools Professional\x82\xC5\x8F\x6F\x97\xCD\x82\xB3\x82\xEA\x82\xC4\x82\xC8\x82\xA2\x82\xC5"
    "\x82\xB7\x81\x42\n";
constexpr char kTruncated[] = "report ends before its figures.\n";

const char* const kModeNames[] = {"", "PIE Sum8", "PIF Sum1"};

// The console text of one report goes out in one write, and is flushed
// before anything can be said on standard error.
bool say(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

int fail(const char* call, const std::string& path) {
  sayioerror(ioerror(call), path);
  return EXIT_FAILURE;
}

[[noreturn]] void usage() {
  std::fputs(kUsageJa, stdout);
  std::fputs(kUsageEn, stdout);
  std::exit(EXIT_FAILURE);
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
  Workspace work;
  for (int i = 1; i < argc; ++i) {
    const std::string report = argv[i];
    FilePtr file = openfile(report, "rb");
    if (!file) return fail("fopen", report);
    const std::string picture = picturepath(report);
    std::string text = "bmp data : " + picture + "\n";

    ReportLines lines(file.get());
    const ReportScan scan = scanreport(lines);
    if (lines.failed()) {
      say(text);
      return fail("fread", report);
    }
    if (!closefile(file)) return fail("fclose", report);

    if (scan.status == ReportScan::kNoMarker) {
      text += kNoMarker;
    } else {
      text += "Scanned mode : " + std::string(kModeNames[scan.summary.mode]) + "\n";
      text += figuretext(scan.summary, scan.figures);
      if (scan.status == ReportScan::kComplete) {
        text += "\n";
      } else {  // the message starts a line of its own
        if (text.back() != '\n') text += "\n";
        text += kTruncated;
      }
    }
    if (!say(text)) return fail("fwrite", "standard output");
    if (scan.status == ReportScan::kComplete && !imgwt(picture, scan.summary, work))
      return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}

}  // namespace stampo

#include "run.h"

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
#include "texts.h"

namespace stampo {
namespace {

const char* const kModeNames[] = {"", "PIE Sum8", "PIF Sum1"};

// What the options ask for besides the stamped pictures.
struct Options {
  bool png = false;  // --png: NAME.png beside each stamped picture
  std::string csv;   // --csv FILE: a row for each stamped report
};

// One run's state: its options, the CSV file, the buffers that go from
// one picture to the next, and what happened, for the closing account.
struct Batch {
  Options options;
  AppendFile csv;
  Workspace work;
  int reports = 0;  // reports taken up
  int stamped = 0;
  std::vector<std::pair<std::string, const Said*>> skipped;  // each with why
  std::string stopped;                                      // the report a failure stopped at
};

// The usage lines: the text of a run with no arguments, and the start of
// the help.
ConsoleText usage() {
  ConsoleText text;
  text.text(kUsageJa).text(kUsageEn);
  return text;
}

// What the user can do about a failed file step on `file`, the report's
// or its picture's, in one line after the failure's own.
void advise(ConsoleText& text, const FileError& e, const std::string& report,
            const std::string& picture) {
  const std::vector<std::string> file = {e.file};
  if (e.call == std::string("remove")) {
    text.say(kAdviceLeftover, file);
  } else if (e.notafile()) {
    text.say(kAdviceNotAFile, file);
  } else if (e.notfound() && e.file == report) {
    text.say(kAdviceReportMissing, file);
  } else if (e.notfound() && e.file == picture) {
    text.say(kAdvicePictureMissing, file);
  } else if (e.held()) {
    text.say(kAdviceHeld, file);
  } else if (e.denied() && e.file == report) {
    text.say(kAdviceUnreadable, file);
  } else if (e.denied()) {
    text.say(kAdviceDenied, file);
  } else if (e.full()) {
    text.say(kAdviceFull, {picture.empty() ? e.file : picture});
  } else {
    text.say(kAdviceOther, {picture.empty() ? e.file : picture});
  }
}

// "fopen: D:/scans/disc.html: No such file or directory" on standard error,
// then what to do about it.
int fail(const FileError& e, const std::string& report = std::string(),
         const std::string& picture = std::string()) {
  ConsoleText text;
  text.text(e.call).text(": ").system(e.file).text(": ").system(reason(e)).text("\n");
  if (e.file != "standard output") advise(text, e, report, picture);
  text.write(stderr);
  return EXIT_FAILURE;
}

// A picture's refusal goes to standard output, as the scanner's users and
// their scripts have always read it, and the picture's name with what to
// do to standard error; file errors go to standard error.
int fail(const StampFailure& failure, const std::string& report, const std::string& picture) {
  const std::string backup = picture + ".bak";
  switch (failure.kind) {
    case StampFailure::kRefused:
      ConsoleText().text(bmpmessage(failure.refused)).write(stdout);
      ConsoleText().say(kPictureRefused, {picture}).write(stderr);
      break;
    case StampFailure::kForeignBackup:
      if (failure.file.ok())
        ConsoleText().say(kForeignBackup, {picture, backup, picture}).write(stderr);
      else
        ConsoleText()
            .say(kUnreadableBackup, {picture, failure.file.file, reason(failure.file)})
            .write(stderr);
      break;
    case StampFailure::kSameFile:
      ConsoleText().say(kSameFile, {picture, backup, picture}).write(stderr);
      break;
    case StampFailure::kFile: fail(failure.file, report, picture); break;
    case StampFailure::kNone: return EXIT_SUCCESS;
  }
  return EXIT_FAILURE;
}

// Where ".html" starts in a report's own name, or npos: the first place,
// in any case where file names ignore it (Windows).
std::size_t findhtml(const std::string& path, std::size_t from) {
  static const char kHtml[] = ".html";
  for (std::size_t at = from; at + 5 <= path.size(); ++at) {
    bool same = true;
    for (std::size_t i = 0; i < 5 && same; ++i) {
      char c = path[at + i];
      if (kNamesIgnoreCase && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      same = c == kHtml[i];
    }
    if (same) return at;
  }
  return std::string::npos;
}

// "D:/scans/disc.html" -> "D:/scans/disc.bmp": the first ".html" in the
// report's own name becomes ".bmp" and ends the path; without one the
// path stays as it is. A folder's name plays no part.
std::string picturepath(const std::string& report) {
  const std::size_t at = findhtml(report, namestart(report));
  return at == std::string::npos ? report : report.substr(0, at) + ".bmp";
}

// "D:/scans/disc.bmp" -> "D:/scans/disc.png".
std::string pngpath(const std::string& picture) {
  const std::size_t dot = picture.rfind('.');
  const bool bmp = dot != std::string::npos && dot >= namestart(picture) &&
                   picture.compare(dot, std::string::npos, ".bmp") == 0;
  return (bmp ? picture.substr(0, dot) : picture) + ".png";
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

// Handles one report: prints its summary and stamps its picture.
// Returns EXIT_SUCCESS to go on with the next, or the failure's status.
int stampreport(const std::string& report, Batch& batch) {
  ++batch.reports;
  batch.stopped = report;  // until it is done
  StreamPtr file;
  if (const FileError e = openstream(report, file); !e.ok()) return fail(e, report);
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
    return fail(e, report);
  }
  if (const FileError e = closestream(file, report); !e.ok()) return fail(e, report);

  if (scan.status == ReportScan::kNoMarker) {
    text.text(kNoMarker);
    // For a person who cannot read the Japanese line.
    if (!japanese()) text.forperson("(not written by Plextools Professional)\n");
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
  if (scan.status != ReportScan::kComplete) {
    const bool nomarker = scan.status == ReportScan::kNoMarker;
    const bool picture = nomarker && scan.picture;  // dropped instead of its report
    ConsoleText()
        .say(picture ? kPictureNotReport : nomarker ? kNoMarkerReport : kTruncatedReport, {report})
        .write(stderr);
    batch.skipped.emplace_back(report, picture    ? &kWhyPicture
                                       : nomarker ? &kWhyNoMarker
                                                  : &kWhyTruncated);
    batch.stopped.clear();
    return EXIT_SUCCESS;
  }
  const StampFailure stamped = imgwt(picture, scan.summary, batch.work,
                                     batch.options.png ? pngpath(picture) : std::string());
  if (!stamped.ok()) return fail(stamped, report, picture);
  ++batch.stamped;
  if (!batch.options.csv.empty()) {
    if (const FileError e = batch.csv.append(csvrow(report, picture, scan.summary)); !e.ok())
      return fail(e);
  }
  batch.stopped.clear();
  return EXIT_SUCCESS;
}

// Whether a file's name is a report's: it ends in ".html" (in any case
// where names ignore it). "x.html.orig" is a copy kept aside.
bool isreportname(const std::string& name) {
  return name.size() > 5 && findhtml(name, name.size() - 5) != std::string::npos;
}

// The reports a folder stands for: the .html files directly inside it, in
// the order a file manager shows them. One that holds none is said, and
// the run goes on.
int stampfolder(const std::string& folder, Batch& batch) {
  std::vector<std::string> names;
  if (const FileError e = listfolder(folder, names); !e.ok()) return fail(e);
  sortnames(names);
  bool any = false;
  for (const std::string& name : names) {
    if (!isreportname(name)) continue;
    any = true;
    if (const int status = stampreport(joinpath(folder, name), batch); status != EXIT_SUCCESS)
      return status;
  }
  if (!any) ConsoleText().say(kNoReportsInFolder, {folder}).write(stderr);
  return EXIT_SUCCESS;
}

// For a person at the console: how many pictures were stamped, which
// reports were skipped and why, and where a failure stopped the batch.
void account(const Batch& batch) {
  if (!wantaccount(batch.reports)) return;
  ConsoleText text;
  text.text("\n").say(kAccountStamped,
                      {std::to_string(batch.stamped), std::to_string(batch.reports)});
  for (const auto& [report, why] : batch.skipped) {
    text.say(kAccountSkipped, {report, japanese() ? why->ja.utf8 : why->en});
  }
  if (!batch.stopped.empty()) text.say(kAccountStopped, {batch.stopped});
  text.write(stderr);
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
      usage().say(kHelp, {programname(), programname(), STAMPO_VERSION, STAMPO_LICENSE}).write(stdout);
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
      ConsoleText().say(kUnknownOption, {arg}).write(stderr);
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
      const FileError e =
          batch.csv.append("\xEF\xBB\xBFreport,picture,mode,average,maximum,total,POF\r\n");
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
    if (!e.ok() && status == EXIT_SUCCESS) status = fail(e);
  }
  account(batch);
  return status;
}

}  // namespace stampo

#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "console.h"
#include "decimal.h"
#include "file.h"
#include "imgwt.h"
#include "textkinds.h"
#include "modes.h"
#include "report.h"
#include "results.h"
#include "texts.h"

namespace stampo {
namespace {

// What the options ask for besides the stamped pictures.
struct Options {
  bool png = false;      // --png: NAME.png beside each stamped picture
  bool restore = false;  // --restore: each picture put back from its backup
  std::string csv;       // --csv FILE: the table of results
};

// One run's state: its options, the table, what it remembers of the
// files it touched, the buffers that go from one picture to the next, and
// what happened, for the closing account.
struct Batch {
  Options options;
  ResultsTable table;
  RunFiles files;
  Workspace work;
  int reports = 0;  // reports taken up
  int done = 0;     // pictures stamped (or restored)
  std::vector<Failure> skipped;
  std::string current;  // the report being handled
  std::string stopped;  // the report a failure stopped at
};

// The names a failure's message speaks of: the report's files, or the
// table when it is the table's step that failed (`table` set).
struct Names {
  std::string report, picture, png, table;
  bool restoring = false;
};

// The usage lines: the text of a run with no arguments, and the start of
// the help.
ConsoleText usage() {
  ConsoleText text;
  text.text(kUsageJa).text(kUsageEn.en);
  return text;
}

// The step that failed, as the message names it.
const Said& stepname(Step step) {
  switch (step) {
    case Step::kLook: return kStepLook;
    case Step::kOpen: return kStepOpen;
    case Step::kRead: return kStepRead;
    case Step::kList: return kStepList;
    case Step::kCreate: return kStepCreate;
    case Step::kWrite: return kStepWrite;
    case Step::kRules: return kStepRules;
    case Step::kAttributes: return kStepAttributes;
    case Step::kListAttributes: return kStepListAttributes;
    case Step::kTimes: return kStepTimes;
    case Step::kFlush: return kStepFlush;
    case Step::kClose: return kStepClose;
    case Step::kRename: return kStepRename;
    case Step::kLock: return kStepLock;
    case Step::kRemove: return kStepRemove;
    case Step::kMemory: return kStepMemory;
    case Step::kNone:
    case Step::kCheck: break;
  }
  return kStepCheck;
}

const Said& rolename(Role role) {
  switch (role) {
    case Role::kReport: return kRoleReport;
    case Role::kBackup: return kRoleBackup;
    case Role::kPng: return kRolePng;
    case Role::kTable: return kRoleTable;
    default: return kRolePicture;
  }
}

// What is true now of the files of the report the failure stopped: from
// the stage it had reached, never from the error.
void saystate(ConsoleText& text, const Failure& f, const Names& n) {
  const std::string backup = backupname(n.picture);
  if (!n.table.empty()) {
    text.say(f.stage == Stage::kRowsWritten ? kStateTableWritten : kStateTableUnchanged, {n.table});
    return;
  }
  if (n.picture.empty() || f.role == Role::kReport || f.role == Role::kConsole) return;
  switch (f.stage) {
    case Stage::kNothingWritten: text.say(kStateUnchanged, {n.picture}); break;
    case Stage::kBackupWritten: text.say(kStateBackedUp, {n.picture, backup}); break;
    case Stage::kPictureReplaced:
      if (n.restoring) {
        text.say(kStateRestored, {n.picture, backup});
      } else {
        text.say(kStateStamped, {n.picture, backup});
        if (!n.png.empty()) text.say(kStatePngNotWritten, {n.png});
      }
      break;
    case Stage::kPngWritten: text.say(kStatePngWritten, {n.picture, backup, n.png}); break;
    case Stage::kRowsWritten: break;
  }
}

// What the user can do about a failed step, in the same line.
void sayaction(ConsoleText& text, const Failure& f) {
  const std::vector<ConsoleText::Arg> file = {f.file};
  if (f.step == Step::kRemove) {
    text.say(kAdviceLeftover, file);
  } else if (f.problem == Problem::kNotAFile) {
    text.say(kAdviceNotAFile, file);
  } else if (f.problem == Problem::kHeld) {
    text.say(kAdviceHeld, file);
  } else if (f.notfound() && f.role == Role::kReport) {
    text.say(kAdviceReportMissing, file);
  } else if (f.notfound() && f.role == Role::kPicture) {
    text.say(kAdvicePictureMissing, file);
  } else if (f.denied() && f.role == Role::kReport) {
    text.say(kAdviceUnreadable, file);
  } else if (f.denied() && f.role == Role::kFolder) {
    text.say(kAdviceFolderDenied, file);
  } else if (f.denied()) {
    text.say(kAdviceDenied, file);
  } else if (f.full()) {
    text.say(kAdviceFull);
  } else if (f.nomemory()) {
    text.say(kAdviceMemory);
  } else {
    text.say(kAdviceOther);
  }
}

// Tells a failure that stops the run: "fopen: D:/scans/disc.html: No
// such file or directory" on standard error, then what is true of the
// files and what to do. A picture's refusal goes to standard output, as
// the scanner's users and their scripts have always read it.
void tell(const Failure& f, const Names& n) {
  const std::string backup = backupname(n.picture);
  ConsoleText text;
  switch (f.problem) {
    case Problem::kPicture:
      ConsoleText().text(bmpmessage(BmpError(f.detail))).write(stdout);
      text.say(kPictureRefused, {n.picture});
      break;
    case Problem::kSameFile:
      if (f.role == Role::kBackup && f.otherrole == Role::kPicture)
        text.say(kSameFile, {n.picture, backup, n.picture});
      else
        text.say(kRoleClash, {f.other, rolename(f.otherrole), f.file, rolename(f.role)});
      break;
    case Problem::kEarlierFile:
      text.say(kEarlierClash, {f.file, rolename(f.role), rolename(f.otherrole), f.other});
      break;
    case Problem::kForeignBackup:
      if (f.detail == int(Problem::kNone))
        text.say(kForeignBackup, {n.picture, backup, n.picture});
      else
        text.say(kUnreadableBackup, {n.picture, backup,
                                     f.detail == int(Problem::kNotAFile)
                                         ? ConsoleText::Arg(kReasonNotAFile)
                                         : ConsoleText::Arg(systemwords(f.code))});
      break;
    case Problem::kNoBackup: text.say(kNoBackup, {n.picture, backup}); break;
    case Problem::kNotItsStamp: text.say(kNotItsStamp, {n.picture, backup}); break;
    case Problem::kNotOurTable: text.say(kNotOurTable, {f.file}); break;
    case Problem::kTableChanged: text.say(kTableChanged, {f.file}); break;
    default:
      text.say(kFailureLine, {stepname(f.step), f.file,
                              f.problem == Problem::kNotAFile
                                  ? ConsoleText::Arg(kReasonNotAFile)
                                  : ConsoleText::Arg(systemwords(f.code))});
      if (f.role == Role::kConsole) break;  // nothing to say where nothing can be said
      saystate(text, f, n);
      sayaction(text, f);
      break;
  }
  text.write(stderr);
}

// Tells why a report was skipped, and keeps it for the closing account.
void tellskip(const Failure& f, const Names& n, Batch& batch) {
  ConsoleText text;
  switch (f.problem) {
    case Problem::kNoMarker: text.say(kNoMarkerReport, {n.report}); break;
    case Problem::kNotAReport: text.say(kPictureNotReport, {n.report}); break;
    case Problem::kCutShort: text.say(kTruncatedReport, {n.report}); break;
    default:
      text.say(n.restoring ? kRestoredBeforeReport : kStampedBeforeReport,
               {n.report, n.picture, f.other});
      break;
  }
  text.write(stderr);
  batch.skipped.push_back(f);
}

// The figures read so far, two to a line, as the console shows them.
void sayfigures(ConsoleText& text, const ScanSummary& s, int figures) {
  if (figures >= 1) text.say(kAverage, {fixed2(s.average)});
  if (figures >= 2) text.say(kMaximum, {std::to_string(s.maximum)});
  if (figures >= 3) text.say(kTotal, {std::to_string(s.total)});
  if (figures >= 4) text.say(kPof, {std::to_string(s.pof)});
}

// Handles one report: prints its summary and stamps (or restores) its
// picture. A report skipped comes back as a failure that skips().
Failure handlereport(const std::string& report, const Place* looked, Batch& batch, Names& names) {
  ++batch.reports;
  batch.current = report;
  names = Names();
  names.report = report;
  names.restoring = batch.options.restore;
  InputFile file;
  Failure f = file.open(report, Role::kReport, looked);
  if (!f.ok()) return f;
  names.picture = picturepath(report);
  if (batch.options.png) names.png = pngpath(names.picture);
  // One report's text goes out in one piece, flushed before anything can
  // be said on standard error.
  ConsoleText text;
  text.say(kBmpData, {names.picture});
  ReportLines lines([&file](std::uint8_t* data, std::size_t size, std::size_t& got) {
    return file.read(data, size, got);
  });
  const ReportScan scan = scanreport(lines);
  if (scan.status == ReportScan::kUnreadable) {
    text.write(stdout);
    Failure e = lines.error();
    return e;
  }
  f = file.close();
  if (!f.ok()) return f;

  if (scan.status == ReportScan::kNoMarker) {
    text.text(kNoMarker);
    // For a person who cannot read the Japanese line.
    if (!japanese()) text.forperson(kNoMarkerForPerson.en);
  } else {
    text.say(kScannedMode, {moderow(scan.summary.mode)->name});
    sayfigures(text, scan.summary, scan.figures);
    if (scan.status == ReportScan::kComplete) {
      text.text("\n");
    } else {  // the message starts a line of its own
      if (!text.atlinestart()) text.text("\n");
      text.text(kTruncated.en);
    }
  }
  f = text.write(stdout);
  if (!f.ok()) return f;
  if (scan.status == ReportScan::kNoMarker)
    return refusal(scan.picture ? Problem::kNotAReport : Problem::kNoMarker, report, Role::kReport);
  if (scan.status != ReportScan::kComplete) return refusal(Problem::kCutShort, report, Role::kReport);

  Job job;
  job.report = report;
  job.reportkey = file.key();
  job.picture = names.picture;
  job.png = names.png;
  if (!batch.options.csv.empty()) {
    job.table = &batch.table.key();
    job.tablename = batch.table.path();
  }
  job.summary = scan.summary;
  f = batch.options.restore ? restore(job, batch.files, batch.work)
                            : imgwt(job, batch.files, batch.work);
  if (f.ok()) ++batch.done;
  // A stamped picture has its row, even where a later step failed.
  if (!batch.options.csv.empty() && (f.ok() || (!f.skips() && f.stage >= Stage::kPictureReplaced)))
    batch.table.put(report, names.picture, scan.summary);
  return f;
}

// Handles what one argument stands for: a report, or a folder's reports
// (the .html files directly inside it, in the order a file manager shows
// them). Skips are told and the run goes on; a failure that stops the
// run is told, and returned.
Failure handleargument(const std::string& arg, Batch& batch) {
  Names names;
  const auto handle = [&](const std::string& report, const Place* looked) {
    const Failure f = handlereport(report, looked, batch, names);
    if (f.skips()) {
      tellskip(f, names, batch);
      return Failure();
    }
    if (!f.ok()) {
      batch.stopped = report;
      tell(f, names);
    }
    return f;
  };
  Place place;
  Failure f = lookat(arg, Role::kReport, place);
  if (f.ok() && place.kind != Place::kFolder) return handle(arg, &place);
  std::vector<std::string> files;
  if (f.ok()) f = listfolder(arg, files);
  if (!f.ok()) {
    tell(f, names);
    return f;
  }
  sortnames(files);
  bool any = false;
  for (const std::string& name : files) {
    if (!isreportname(name)) continue;
    any = true;
    f = handle(joinpath(arg, name), nullptr);
    if (!f.ok()) return f;
  }
  if (!any) ConsoleText().say(kNoReportsInFolder, {arg}).write(stderr);
  return {};
}

// For a person at the console: how many pictures were stamped, which
// reports were skipped and why, and where a failure stopped the batch.
void account(const Batch& batch) {
  if (!wantaccount(batch.reports)) return;
  ConsoleText text;
  text.text("\n").say(batch.options.restore ? kAccountRestored : kAccountStamped,
                      {std::to_string(batch.done), std::to_string(batch.reports)});
  for (const Failure& f : batch.skipped) {
    switch (f.problem) {
      case Problem::kNoMarker: text.say(kAccountSkipped, {f.file, kWhyNoMarker}); break;
      case Problem::kNotAReport: text.say(kAccountSkipped, {f.file, kWhyPicture}); break;
      case Problem::kCutShort: text.say(kAccountSkipped, {f.file, kWhyTruncated}); break;
      default:
        text.say(batch.options.restore ? kAccountSkippedRestored : kAccountSkippedStamped,
                 {f.file, f.other});
        break;
    }
  }
  if (!batch.stopped.empty()) text.say(kAccountStopped, {batch.stopped});
  text.write(stderr);
}

// What reading the options leaves to do.
enum class Start { kRun, kDone, kWrong };

// Reads the options, which come before the reports ("--" ends them);
// `first` is then the first report. Help, the version and a wrong option
// are told here.
Start readoptions(int argc, char** argv, Options& options, int& first) {
  for (first = 1; first < argc; ++first) {
    const std::string arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    // What was asked for is all the output: one that cannot be written
    // fails.
    if (ishelpflag(arg) || arg == "--version") {
      const ConsoleText text =
          ishelpflag(arg)
              ? usage().say(kHelp, {programname(), programname(), STAMPO_VERSION, STAMPO_LICENSE})
              : ConsoleText().say(kVersion, {STAMPO_VERSION});
      const Failure f = text.write(stdout);
      if (f.ok()) return Start::kDone;
      tell(f, Names());
      return Start::kWrong;
    }
    if (arg == "--png") {
      options.png = true;
    } else if (arg == "--restore") {
      options.restore = true;
    } else if (arg == "--csv" || arg.rfind("--csv=", 0) == 0) {
      // The name in the same argument, or the next; never an option.
      const bool joined = arg.size() > 5;
      const std::string name = joined ? arg.substr(6) : first + 1 < argc ? argv[first + 1] : "";
      if (name.empty() || (!joined && name[0] == '-')) {
        ConsoleText().say(kCsvNeedsName).write(stderr);
        usage().write(stdout);
        return Start::kWrong;
      }
      options.csv = name;
      if (!joined) ++first;
    } else if (arg.size() > 1 && arg[0] == '-') {
      ConsoleText().say(kUnknownOption, {arg}).write(stderr);
      usage().write(stdout);
      return Start::kWrong;
    } else {
      break;
    }
  }
  if (options.restore && (options.png || !options.csv.empty())) {
    ConsoleText().say(kRestoreAlone).write(stderr);
    usage().write(stdout);
    return Start::kWrong;
  }
  if (first >= argc) {
    usage().write(stdout);
    return Start::kWrong;
  }
  return Start::kRun;
}

// Handles every argument in turn; the first failure that stops the run
// is its result.
Failure runbatch(int argc, char** argv, int first, Batch& batch) {
  Failure f;
  Names table;
  table.table = batch.options.csv;
  if (!batch.options.csv.empty()) {
    f = batch.table.open(batch.options.csv);
    if (!f.ok()) {
      tell(f, table);
      return f;
    }
  }
  for (int i = first; i < argc && f.ok(); ++i) {
    std::vector<std::string> args;
    f = expandwildcards(argv[i], args);
    if (!f.ok()) {
      batch.stopped = argv[i];
      tell(f, Names());
      break;
    }
    for (const std::string& arg : args) {
      f = handleargument(arg, batch);
      if (!f.ok()) break;
    }
  }
  // The table, whole, with the rows of every picture stamped, whether the
  // run ended or a failure stopped it; not when the failure was the table.
  if (!batch.options.csv.empty() && f.role != Role::kTable) {
    const Failure written = batch.table.write();
    if (!written.ok()) tell(written, table);
    if (f.ok()) f = written;
  }
  return f;
}

}  // namespace

const char* bmpmessage(BmpError e) {
  switch (e) {
    case BmpError::kNone: break;
    case BmpError::kNotBmp: return kBmpNotBmp.en;
    case BmpError::kInfoSize: return kBmpInfoSize.en;
    case BmpError::kDataOffset: return kBmpDataOffset.en;
    case BmpError::kBitCount: return kBmpBitCount.en;
    case BmpError::kCompression: return kBmpCompression.en;
    case BmpError::kWidth: return kBmpWidth.en;
    case BmpError::kHeight: return kBmpHeight.en;
    case BmpError::kTruncated: return kBmpTruncated.en;
    case BmpError::kTooLarge: return kBmpTooLarge.en;
  }
  return "";
}

int run(int argc, char** argv) {
  setupconsole();
  Batch batch;
  int first = 0;
  const Start start = readoptions(argc, argv, batch.options, first);
  if (start != Start::kRun) return start == Start::kDone ? EXIT_SUCCESS : EXIT_FAILURE;
  Failure f;
  try {
    f = runbatch(argc, argv, first, batch);
  } catch (const std::bad_alloc&) {
    // Memory that no file's plan asked for (names, lists, rows).
    f = outofmemory(batch.current, Role::kNone);
    batch.stopped = batch.current;
    tell(f, Names());
  }
  account(batch);
  return f.ok() ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace stampo

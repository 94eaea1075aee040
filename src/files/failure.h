#pragma once
// How anything in Stampo fails: one value, returned from the system call
// up through the picture's plan to the console. It says which step failed
// (the call, named as users know it from the C library), the file it
// failed on and the part that file plays for the report, the system's own
// error code (captured at once, so that clean-up cannot overwrite it), and
// how far the report had got when it failed, so that what the user is told
// about each file is true of the file on disk.
//
// Every function that can fail returns a Failure; ok() when it did not.
#include <cstdint>
#include <string>

namespace stampo {

// The step that failed: the call, as the user is told it (the driver's
// texts name each: "fopen" for kOpen).
enum class Step : std::uint8_t {
  kNone,
  kLook,        // "stat": looking at what a path names
  kOpen,        // "fopen": opening an existing file
  kRead,        // "fread"
  kList,        // "opendir": listing, or opening, a folder
  kCreate,      // "create": a new file in a folder (or finding that one cannot be made)
  kWrite,       // "fwrite"
  kRules,       // "chmod": access rules given to a new file (owner, bits, ACL; a security descriptor)
  kAttributes,  // "setxattr": extended attributes (Windows: file attributes)
  kListAttributes,  // "listxattr": which extended attributes a file has
  kTimes,       // "utime"
  kFlush,       // "fsync": a file, or a folder's renames
  kClose,       // "fclose"
  kRename,      // "rename": a new file taking its name
  kLock,        // "flock"
  kRemove,      // "remove": a temporary file an interrupted run left
  kMemory,      // "malloc": memory for a file's bytes
  kCheck,       // "check": none of the above; the plan found a reason to refuse
};

// What went wrong.
enum class Problem : std::uint8_t {
  kNone,
  kSystem,       // the system refused the step: `code` says why
  kHeld,         // another program holds the file (`code`: the system's words for it, if any)
  kNotAFile,     // a pipe, a device or a folder where a file is needed
  kPicture,      // the picture cannot be stamped: `detail` says why (the annotator's BmpError)
  kSameFile,     // `file` and `other` are one file, in two parts of the report (or the table)
  kEarlierFile,  // `file` is one file with an earlier report's (`other`, whose `otherrole` it was)
  kForeignBackup,  // a stamped picture's backup is not its original, or cannot be read (`detail`:
                   // why not, a Problem; `code` the system's)
  kNotItsStamp,  // restoring: the picture is not the stamp of its backup
  kNoBackup,     // restoring: the picture has no backup
  kNotOurTable,  // the CSV file is not a table that Stampo wrote
  kTableChanged, // the CSV file stopped being one of Stampo's tables during the run
  // Reasons to skip a report and go on with the next (see skips()).
  kStampedBefore,  // its picture was stamped by `other`, an earlier report of this run
  kNoMarker,       // the report has no scan mode line
  kNotAReport,     // the "report" is a picture
  kCutShort,       // the report ends before its figures
};

// The part a file plays for a report.
enum class Role : std::uint8_t {
  kNone,
  kReport,
  kPicture,
  kBackup,
  kPng,
  kTable,    // the CSV file
  kFolder,   // a folder given for its reports
  kConsole,  // standard output
};

// How far a report got: every file it touches is as the stage says.
enum class Stage : std::uint8_t {
  kNothingWritten,   // every file as it was
  kBackupWritten,    // the backup holds the picture's original (written now, or kept); the picture as it was
  kPictureReplaced,  // the picture stamped (or restored); the PNG, if any, not yet written
  kPngWritten,       // the picture stamped and its PNG written
  kRowsWritten,      // the CSV table holds the run's rows
};

struct Failure {
  Step step = Step::kNone;
  Problem problem = Problem::kNone;
  Role role = Role::kNone;       // the part `file` plays
  Role otherrole = Role::kNone;  // the part `other` plays
  Stage stage = Stage::kNothingWritten;
  int code = 0;      // the system's error code (errno; a Win32 error on Windows); 0 for none
  int detail = 0;    // kPicture: the annotator's reason; kForeignBackup: see there
  std::string file;  // as the user named it
  std::string other;

  bool ok() const { return problem == Problem::kNone; }
  // Whether the report is skipped and the run goes on, rather than stopped.
  bool skips() const { return problem >= Problem::kStampedBefore; }

  // What the system's code says, where there is one.
  bool notfound() const;  // the file, or a folder on its way, does not exist
  bool denied() const;    // no permission; a read-only file or file system
  bool full() const;      // the disk is full, or the file may grow no more
  bool nomemory() const;  // memory could not be had
};

// A failure of `step` on `file` with the error the system reported last
// (errno on POSIX, the thread's last Win32 error on Windows).
Failure lasterror(Step step, const std::string& file, Role role);

// A failure of `step` on `file` with a system code of the caller's.
Failure systemfailure(Step step, const std::string& file, Role role, int code);

// Memory that could not be had for `file`'s bytes ("malloc").
Failure outofmemory(const std::string& file, Role role);

// A pipe, a device or a folder where `step` needs a file (kNotAFile).
Failure notafile(Step step, const std::string& file, Role role);

// A failure that is not the system's: the plan's refusal, or a skip.
Failure refusal(Problem problem, const std::string& file, Role role,
                const std::string& other = std::string(), Role otherrole = Role::kNone);

// The system's own words for a code, as UTF-8: strerror on POSIX, the
// Windows message in the user's language on Windows.
std::string systemwords(int code);

}  // namespace stampo

#pragma once
// The picture annotator: stamps one scan graph picture with the report's
// figures, or puts its original back, by a plan made before anything is
// written.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "failure.h"
#include "file.h"
#include "png.h"
#include "summary.h"

namespace stampo {

// Buffers handed from one picture to the next, so that a batch allocates
// and clears them once rather than per picture. Nothing in them carries
// over: each call overwrites what it uses.
struct Workspace {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  std::vector<std::uint8_t> backup;
  std::vector<std::uint8_t> png;
  PngEncoder encoder;
  PlaneCanvas canvas;
};

// What a run remembers of the files its earlier reports touched: each
// file's identity (device and inode) with the part it played, and the
// names of the reports, so that a later report that meets one of them
// can be told which. A few dozen bytes a report.
class RunFiles {
 public:
  struct Earlier {
    Role role;
    std::uint32_t report;  // which earlier report (see name())
  };
  // The earlier report's file that `key` is, if any.
  const Earlier* find(const FileKey& key) const;
  // Notes a report's name; its number for remember().
  std::uint32_t addreport(const std::string& name);
  // Notes a file that exists (a key with no name).
  void remember(const FileKey& key, Role role, std::uint32_t report);
  std::string name(std::uint32_t report) const;

 private:
  struct Id {
    std::uint64_t volume, index;
    bool operator==(const Id& o) const { return volume == o.volume && index == o.index; }
  };
  struct IdHash {
    std::size_t operator()(const Id& id) const {
      return std::size_t(id.volume * 0x9E3779B97F4A7C15u ^ id.index);
    }
  };
  std::unordered_map<Id, Earlier, IdHash> seen_;
  std::string names_;                  // every name, one after another
  std::vector<std::uint32_t> starts_;  // where each begins
};

// One report's work on its picture.
struct Job {
  std::string report;      // as the user named it
  FileKey reportkey;       // the report's identity
  std::string picture;     // the picture beside it: NAME.bmp
  std::string png;         // with --png: NAME.png; else empty
  const FileKey* table = nullptr;  // with --csv: the table's identity
  std::string tablename;           // and its name
  ScanSummary summary;
};

// The backup of a picture: its path with ".bak" added.
std::string backupname(const std::string& picture);

// Stamps the job's picture: reads it, keeps its original as NAME.bmp.bak,
// and replaces the picture with itself 340 rows high, the statistics band
// at its foot (and with a PNG, writes it as NAME.png too).
//
// The plan: every file the report touches is resolved to what it really
// is (links followed, identity by device and inode) and every condition
// the writes need is checked before the first write: the picture can be
// stamped, written and replaced; no two of the report's files are one
// file, nor one of an earlier report's (the run's memory) or the CSV
// table; the backup, if the picture was stamped before, holds its
// original (else it is never replaced: kForeignBackup); each output's
// place takes a file, its folder lets us replace it, and no temporary
// file an interrupted run left is in the way. A picture that an earlier
// report of this run stamped, under a name whose backup is another file,
// is not stamped again (kStampedBefore: the report is skipped).
//
// Then the writes, each file replaced whole: the backup (flushed, and its
// folder, before the picture is touched), then the picture and the PNG
// (each flushed before its rename, their folder once after both). A
// crash at any moment leaves the original in the picture or the backup,
// and running again finishes the work. A failure carries the stage the
// report had reached, so what it says of each file is true. Other copies
// of the program wait while this one works on the picture. On success
// the run remembers the report's files.
Failure imgwt(const Job& job, RunFiles& run, Workspace& work);

// Puts the job's picture back from its backup: the backup's bytes replace
// the picture whole, the picture keeps its access rules and takes the
// backup's date, and the backup stays. Only a picture that is exactly the
// stamp of that backup with the report's figures is touched (else
// kNotItsStamp), one without a backup is refused (kNoBackup), and one
// that is its backup already is left as it is. The same plan as imgwt():
// everything is checked before the one write.
Failure restore(const Job& job, RunFiles& run, Workspace& work);

}  // namespace stampo

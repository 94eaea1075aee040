#include "imgwt.h"

#include "file.h"
#include "png.h"
#include "stamp.h"

namespace stampo {
namespace {

StampFailure failed(StampFailure::Kind kind, const FileError& e = FileError()) {
  StampFailure failure;
  failure.kind = kind;
  failure.file = e;
  return failure;
}

// The backup a picture of this height may have: none yet, one to keep, or
// one that must not be replaced.
enum class Backup { kWrite, kKeep, kForeign };

Backup judgebackup(const std::vector<std::uint8_t>& picture, const std::string& backup,
                   std::vector<std::uint8_t>& buffer, FileError& unreadable) {
  BmpHeader header;
  // A picture of any other height is a new scan: its backup is replaced.
  if (bmpcheck(picture.data(), picture.size(), header) != BmpError::kNone ||
      header.height != kOutputRows)
    return Backup::kWrite;
  // Stamped before. Its backup, if it has one, must hold its original.
  const FileError e = readfile(backup, buffer, kMaxPictureFile);
  if (e.notfound()) return Backup::kWrite;
  if (!e.ok()) {
    unreadable = e;
    return Backup::kForeign;
  }
  return isstampof(picture.data(), picture.size(), buffer.data(), buffer.size()) ? Backup::kKeep
                                                                                 : Backup::kForeign;
}

}  // namespace

StampFailure imgwt(const std::string& path, const ScanSummary& summary, Workspace& work,
                   const std::string& png) {
  // Held until this picture is done: another copy of the program started
  // on the same reports waits here, so it neither reads a picture this
  // copy is replacing nor backs up one that this copy has stamped.
  LockedFile picture;
  FileError e = picture.open(path);
  if (e.ok()) e = picture.readall(work.input, kMaxPictureFile);
  if (!e.ok()) return failed(StampFailure::kFile, e);

  // Stamp in memory first: nothing is written until everything that can
  // be checked has been.
  const std::vector<std::uint8_t>& input = work.input;
  StampFailure failure;
  failure.refused = stamppicture(input.data(), input.size(), summary, work.canvas, work.output);
  if (failure.refused != BmpError::kNone) {
    failure.kind = StampFailure::kRefused;
    return failure;
  }
  // A picture that is its own backup (a link either way, or a hard link)
  // would lose its original when either is replaced.
  const std::string backup = path + ".bak";
  if (picture.issame(backup)) return failed(StampFailure::kSameFile);
  e = picture.checkreplaceable();
  if (!e.ok()) return failed(StampFailure::kFile, e);

  // The backup is the input file exactly, trailing bytes and all, with the
  // picture's rules and date, and is on the disk before the picture is
  // replaced.
  FileError unreadable;
  const Backup judged = judgebackup(input, backup, work.backup, unreadable);
  if (judged == Backup::kForeign) return failed(StampFailure::kForeignBackup, unreadable);
  if (judged == Backup::kWrite) {
    e = checkreplaceable(backup);
    if (e.ok()) e = replacewhole(backup, input.data(), input.size(), picture, true);
  }
  if (e.ok()) e = picture.replace(work.output.data(), work.output.size());
  // The PNG follows the stamped picture, with its rules, and only once
  // the picture is stamped.
  if (e.ok() && !png.empty()) {
    if (!work.encoder.encode(work.output.data(), work.output.size(), work.png)) {
      e = FileError{"fwrite", png, kOutOfMemory};
    } else {
      e = checkreplaceable(png);
      if (e.ok()) e = replacewhole(png, work.png.data(), work.png.size(), path);
    }
  }
  const FileError closed = picture.close();
  if (e.ok()) e = closed;
  return e.ok() ? StampFailure() : failed(StampFailure::kFile, e);
}

}  // namespace stampo

#include "imgwt.h"

#include <new>

#include "file.h"
#include "png.h"
#include "stamp.h"

namespace stampo {

const RunFiles::Earlier* RunFiles::find(const FileKey& key) const {
  if (!key.name.empty()) return nullptr;  // a file not made yet: no earlier report's
  const auto at = seen_.find({key.volume, key.index});
  return at == seen_.end() ? nullptr : &at->second;
}

std::uint32_t RunFiles::addreport(const std::string& name) {
  starts_.push_back(std::uint32_t(names_.size()));
  names_ += name;
  return std::uint32_t(starts_.size() - 1);
}

void RunFiles::remember(const FileKey& key, Role role, std::uint32_t report) {
  if (key.name.empty()) seen_[{key.volume, key.index}] = {role, report};
}

std::string RunFiles::name(std::uint32_t report) const {
  const std::size_t start = starts_[report];
  const std::size_t end = report + 1 < starts_.size() ? starts_[report + 1] : names_.size();
  return names_.substr(start, end - start);
}

std::string backupname(const std::string& picture) { return picture + ".bak"; }

namespace {

// The backup a stamped picture keeps: none yet, one to keep, or one that
// must not be replaced (not its original, or not readable: `why`).
enum class Backup { kWrite, kKeep, kForeign };

Backup judgebackup(const std::vector<std::uint8_t>& picture, const std::string& backup,
                   const Place& place, std::vector<std::uint8_t>& buffer, Failure& why) {
  BmpHeader header;
  // A picture of any other height is a new scan: its backup is replaced.
  if (bmpcheck(picture.data(), picture.size(), header) != BmpError::kNone ||
      header.height != kOutputRows)
    return Backup::kWrite;
  // Stamped before. Its backup, if it has one, must hold its original.
  if (place.kind == Place::kNothing && !place.link) return Backup::kWrite;
  InputFile file;
  why = file.open(backup, Role::kBackup);
  if (why.ok()) why = file.readall(buffer, kMaxPictureFile);
  if (!why.ok()) return Backup::kForeign;
  (void)file.close();  // only read: its bytes are what matter
  return isstampof(picture.data(), picture.size(), buffer.data(), buffer.size()) ? Backup::kKeep
                                                                                 : Backup::kForeign;
}

// A clash of two of the report's files that are one file.
Failure clash(const std::string& file, Role role, const std::string& other, Role otherrole) {
  return refusal(Problem::kSameFile, file, role, other, otherrole);
}

// The report's files, by role, for the checks of identity.
struct Named {
  Role role;
  const std::string* name;
  FileKey key;
  bool present;  // this report has such a file
};

// Whether any two of the report's files are one file, or one of them is
// the CSV table or a file of an earlier report of the run. A picture an
// earlier report stamped under another backup is kStampedBefore, naming
// that report.
Failure checkidentities(const Job& job, const std::vector<Named>& files, const RunFiles& run) {
  // Within the report (the picture and the report aside: a report named
  // like its picture is a picture that is not a BMP, refused as such).
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      const Named &a = files[i], &b = files[j];
      if (!a.present || !b.present || a.key != b.key) continue;
      if (a.role == Role::kReport && b.role == Role::kPicture) continue;
      return clash(*b.name, b.role, *a.name, a.role);
    }
  }
  if (job.table != nullptr) {
    for (const Named& f : files)
      if (f.present && f.key == *job.table)
        return clash(job.tablename, Role::kTable, *f.name, f.role);
  }
  // Against the earlier reports. The same picture again with the same
  // backup (the report given twice, or under another name) is stamped
  // again; the same picture under another backup is not.
  const Named& picture = files[1];
  const Named& backup = files[2];
  const RunFiles::Earlier* stamped = run.find(picture.key);
  if (stamped != nullptr && stamped->role == Role::kPicture) {
    const RunFiles::Earlier* kept = run.find(backup.key);
    if (kept == nullptr || kept->role != Role::kBackup || kept->report != stamped->report)
      return refusal(Problem::kStampedBefore, job.report, Role::kReport, run.name(stamped->report),
                     Role::kReport);
  }
  for (const Named& f : files) {
    if (!f.present) continue;
    const RunFiles::Earlier* earlier = run.find(f.key);
    if (earlier == nullptr) continue;
    // The same report's own files again.
    if (earlier->role == f.role &&
        (f.role == Role::kReport || (stamped != nullptr && earlier->report == stamped->report)))
      continue;
    return refusal(Problem::kEarlierFile, *f.name, f.role, run.name(earlier->report),
                   earlier->role);
  }
  return {};
}

// Everything both plans need from the picture's folders: open, and
// whether the picture (which we have open) can be replaced in its own.
struct Folders {
  Folder beside;  // the picture's path's folder: its backup and PNG
  Folder real;    // where the picture really lives (a link's target's), if elsewhere
  bool apart = false;

  Failure open(const LockedFile& picture, const std::string& path) {
    Failure f = beside.open(path, Role::kFolder);
    if (f.ok() && picture.target() != path) {
      f = real.open(picture.target(), Role::kFolder);
      apart = f.ok() && real.key() != beside.key();
    }
    return f;
  }
  const Folder& ofpicture() const { return apart ? real : beside; }
  Failure flush() {
    Failure f = beside.flush(Role::kFolder);
    if (f.ok() && apart) f = real.flush(Role::kFolder);
    return f;
  }
};

}  // namespace

Failure imgwt(const Job& job, RunFiles& run, Workspace& work) {
  Stage stage = Stage::kNothingWritten;
  const auto at = [&stage](Failure f) {
    f.stage = stage;
    return f;
  };
  const std::string backup = backupname(job.picture);
  const bool png = !job.png.empty();
  try {
    // Held until this picture is done: another copy of the program
    // started on the same reports waits here, so it neither reads a
    // picture this copy is replacing nor backs up one that this copy has
    // stamped.
    LockedFile picture;
    Failure f = picture.open(job.picture, Role::kPicture);
    if (f.ok()) f = picture.readall(work.input, kMaxPictureFile);
    if (!f.ok()) return f;

    // Stamped in memory first: nothing is written until everything that
    // can be checked has been.
    const std::vector<std::uint8_t>& input = work.input;
    const BmpError refused =
        stamppicture(input.data(), input.size(), job.summary, work.canvas, work.output);
    if (refused != BmpError::kNone) {
      f = refusal(Problem::kPicture, job.picture, Role::kPicture);
      f.detail = int(refused);
      return f;
    }
    // The PNG is encoded aside from here on, while the checks and the
    // flushes leave the processor idle; it is not needed before the
    // picture is on the disk.
    bool encoded = false;
    Aside encoding;
    const auto encode = [&work, &encoded] {
      try {
        encoded = work.encoder.encode(work.output.data(), work.output.size(), work.png);
      } catch (const std::bad_alloc&) {
        encoded = false;
      }
    };
    if (png && !encoding.start(encode)) encode();

    // Every other file, looked at once, and the folders they live in.
    Place backupplace, pngplace;
    Folders folders;
    f = lookat(backup, Role::kBackup, backupplace);
    if (f.ok() && png) f = lookat(job.png, Role::kPng, pngplace);
    if (f.ok()) f = folders.open(picture, job.picture);
    if (!f.ok()) return f;
    const std::vector<Named> files = {
        {Role::kReport, &job.report, job.reportkey, true},
        {Role::kPicture, &job.picture, picture.key(), true},
        {Role::kBackup, &backup, folders.beside.keyof(backup, backupplace), true},
        {Role::kPng, &job.png, folders.beside.keyof(job.png, pngplace), png},
    };
    f = checkidentities(job, files, run);
    if (!f.ok()) return f;

    // The backup: a stamped picture keeps the one that holds its original.
    Failure why;
    const Backup judged = judgebackup(input, backup, backupplace, work.backup, why);
    if (judged == Backup::kForeign) {
      if (why.problem == Problem::kHeld) return why;
      f = refusal(Problem::kForeignBackup, job.picture, Role::kPicture, backup, Role::kBackup);
      f.code = why.code;
      f.detail = int(why.problem);  // kNone: read, and not the original
      return f;
    }

    // Each output's place and folder, and what interrupted runs left.
    const bool writebackup = judged == Backup::kWrite;
    if (writebackup)
      f = folders.beside.mayreplace(backup, backupplace, false, backup, Role::kBackup);
    if (f.ok())
      f = folders.ofpicture().mayreplace(picture.target(), picture.place(), true,
                                         job.picture, Role::kPicture);
    if (f.ok() && png) f = folders.beside.mayreplace(job.png, pngplace, false, job.png, Role::kPng);
    if (f.ok() && writebackup) f = Replacement::clearleftover(backup, Role::kBackup);
    if (f.ok()) f = Replacement::clearleftover(picture.target(), Role::kPicture);
    if (f.ok() && png) f = Replacement::clearleftover(job.png, Role::kPng);
    if (!f.ok()) return f;

    // The writes.
    // The new files are made, each with its rules, before anything is
    // flushed: a file made just after a flush waits for the file system's
    // journal to close, once for each.
    Replacement newbackup, newpicture, newpng;
    if (writebackup) f = newbackup.begin(backup, backup, Role::kBackup, &picture.rules());
    if (f.ok())
      f = newpicture.begin(picture.target(), job.picture, Role::kPicture, &picture.rules());
    if (f.ok() && png) f = newpng.begin(job.png, job.png, Role::kPng, &picture.rules());
    if (!f.ok()) return at(f);

    // The backup is the input file exactly, trailing bytes and all, with
    // the picture's rules and date, and is on the disk, under its name,
    // before the picture is replaced.
    if (writebackup) {
      f = newbackup.write(input.data(), input.size());
      if (f.ok()) f = newbackup.keeptimes(picture.rules());
      if (f.ok()) f = newbackup.finish();
      if (f.ok()) f = newbackup.commit();
      if (!f.ok()) return at(f);
      stage = Stage::kBackupWritten;  // under its name: a failed flush of its folder says so
      f = folders.beside.flush(Role::kFolder);
      if (!f.ok()) return at(f);
    }
    stage = Stage::kBackupWritten;  // written now, or kept from before

    // The picture and the PNG, each on the disk before it takes its name.
    f = newpicture.write(work.output.data(), work.output.size());
    if (f.ok()) f = newpicture.finish();
    if (f.ok() && png) {
      encoding.wait();
      if (!encoded) f = outofmemory(job.png, Role::kPng);
      if (f.ok()) f = newpng.write(work.png.data(), work.png.size());
      if (f.ok()) f = newpng.finish();
    }
    if (f.ok()) f = picture.letgo();
    if (f.ok()) f = newpicture.commit();
    if (!f.ok()) return at(f);
    stage = Stage::kPictureReplaced;
    if (png) {
      f = newpng.commit();
      if (!f.ok()) return at(f);
      stage = Stage::kPngWritten;
    }
    f = folders.flush();
    if (f.ok()) f = picture.close();
    if (!f.ok()) return at(f);

    // What later reports of the run are checked against.
    const std::uint32_t me = run.addreport(job.report);
    run.remember(newpicture.key(), Role::kPicture, me);
    run.remember(writebackup ? newbackup.key() : files[2].key, Role::kBackup, me);
    if (png) {
      run.remember(job.reportkey, Role::kReport, me);
      run.remember(newpng.key(), Role::kPng, me);
    }
    return {};
  } catch (const std::bad_alloc&) {
    return at(outofmemory(job.picture, Role::kPicture));
  }
}

Failure restore(const Job& job, RunFiles& run, Workspace& work) {
  Stage stage = Stage::kNothingWritten;
  const std::string backup = backupname(job.picture);
  try {
    LockedFile picture;
    Failure f = picture.open(job.picture, Role::kPicture);
    if (f.ok()) f = picture.readall(work.input, kMaxPictureFile);
    if (!f.ok()) return f;

    Place backupplace;
    Folders folders;
    f = lookat(backup, Role::kBackup, backupplace);
    if (f.ok()) f = folders.open(picture, job.picture);
    if (!f.ok()) return f;
    if (backupplace.kind == Place::kNothing)
      return refusal(Problem::kNoBackup, job.picture, Role::kPicture, backup, Role::kBackup);
    const std::vector<Named> files = {
        {Role::kReport, &job.report, job.reportkey, true},
        {Role::kPicture, &job.picture, picture.key(), true},
        {Role::kBackup, &backup, folders.beside.keyof(backup, backupplace), true},
        {Role::kPng, &job.png, FileKey(), false},
    };
    f = checkidentities(job, files, run);
    if (!f.ok()) return f;

    // The backup's bytes and date; then whether the picture is what
    // stamping that backup with the report's figures gives.
    InputFile original;
    f = original.open(backup, Role::kBackup);
    if (f.ok()) f = original.readall(work.backup, kMaxPictureFile);
    if (!f.ok()) return f;
    (void)original.close();  // only read
    const std::uint32_t me = run.addreport(job.report);
    if (work.input == work.backup) {  // restored before: nothing to do
      run.remember(picture.key(), Role::kPicture, me);
      run.remember(files[2].key, Role::kBackup, me);
      return picture.close();
    }
    const BmpError refused = stamppicture(work.backup.data(), work.backup.size(), job.summary,
                                          work.canvas, work.output);
    if (refused != BmpError::kNone || work.output != work.input)
      return refusal(Problem::kNotItsStamp, job.picture, Role::kPicture, backup, Role::kBackup);

    f = folders.ofpicture().mayreplace(picture.target(), picture.place(), true, job.picture,
                                       Role::kPicture);
    if (f.ok()) f = Replacement::clearleftover(picture.target(), Role::kPicture);
    if (!f.ok()) return f;

    Replacement restored;
    f = restored.begin(picture.target(), job.picture, Role::kPicture, &picture.rules());
    if (f.ok()) f = restored.write(work.backup.data(), work.backup.size());
    if (f.ok()) f = restored.keeptimes(original.rules());
    if (f.ok()) f = restored.finish();
    if (f.ok()) f = picture.letgo();
    if (f.ok()) f = restored.commit();
    if (!f.ok()) return f;
    stage = Stage::kPictureReplaced;
    f = folders.flush();
    if (f.ok()) f = picture.close();
    if (!f.ok()) {
      f.stage = stage;
      return f;
    }
    run.remember(restored.key(), Role::kPicture, me);
    run.remember(files[2].key, Role::kBackup, me);
    return {};
  } catch (const std::bad_alloc&) {
    Failure f = outofmemory(job.picture, Role::kPicture);
    f.stage = stage;
    return f;
  }
}

}  // namespace stampo

// The parts of the file layer that are the same on every system, built on
// the calls of system.h: reading a file, and replacing one whole.
#include <algorithm>

#include "file.h"
#include "paths.h"
#include "system.h"

namespace stampo {
namespace {

// Reads the open file `h` whole, as readfile() does.
FileError readhandle(sys::Handle h, std::vector<std::uint8_t>& out, std::size_t limit,
                     const std::string& shown) {
  // A regular file tells its size and is read in one call; if it grows
  // meanwhile, in growing blocks.
  std::size_t block = std::size_t(1) << 16;
  const std::uint64_t size = sys::sizeof_(h);
  if (size > 0 && size < limit) block = std::size_t(size) + 1;
  // `out` keeps its size from an earlier file: resizing it to the same
  // size again costs nothing, where growing it from empty would clear it.
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min({block, limit + 1 - used, std::size_t(1) << 30});
    out.resize(used + want);
    std::size_t got = 0;
    const FileError e = sys::readsome(h, out.data() + used, want, got, shown);
    if (!e.ok()) {
      out.resize(used);
      return e;
    }
    if (got == 0) break;
    used += got;
    if (got == want) block *= 2;
  }
  out.resize(used);
  return {};
}

FileError writehandle(sys::Handle h, const std::uint8_t* data, std::size_t size,
                      const std::string& shown) {
  while (size > 0) {
    std::size_t wrote = 0;
    const FileError e =
        sys::writesome(h, data, std::min(size, std::size_t(1) << 30), wrote, shown);
    if (!e.ok()) return e;
    data += wrote;
    size -= wrote;
  }
  return {};
}

// The temporary file that an interrupted run left for `target`, removed
// before its name is used. Only the copy of the program that holds the
// picture's lock writes these names, so whatever is there was left.
FileError clearleftover(const std::string& target) {
  return sys::removefile(temporaryname(target));
}

// Replaces `target` whole (see file.h): a temporary file beside it with
// the rules of `like`, written, flushed, renamed over it, and the folder
// flushed. Failures are told on `shown`. Where the system will not rename
// over an open file, `closefirst` (the picture's own handle, when the
// picture is the target) is closed just before the rename.
FileError replaceat(const std::string& target, const std::string& shown, const std::uint8_t* data,
                    std::size_t size, sys::Handle like, bool keeptimes, sys::Handle* closefirst) {
  const std::string temporary = temporaryname(target);
  FileError e = sys::removefile(temporary);
  if (!e.ok()) return e;
  sys::watchtemporary(temporary);
  sys::Handle h = sys::kNoHandle;
  e = sys::createnew(temporary, h, shown);
  if (e.ok()) {
    e = sys::copyrules(like, h, shown);
    if (e.ok()) e = writehandle(h, data, size, shown);
    if (e.ok() && keeptimes) e = sys::copytimes(like, h, shown);
    if (e.ok()) e = sys::flush(h, shown);
    const FileError closed = sys::closewritten(h, shown);
    if (e.ok()) e = closed;
    if (e.ok() && closefirst != nullptr && sys::kCloseBeforeRename && *closefirst != sys::kNoHandle) {
      const FileError released = sys::closewritten(*closefirst, shown);
      *closefirst = sys::kNoHandle;
      e = released;
    }
    if (e.ok()) e = sys::renameover(temporary, target, shown);
    if (!e.ok()) (void)sys::removefile(temporary);
  }
  sys::watchtemporary("");
  if (!e.ok()) return e;
  return sys::flushfolder(target, shown);
}

}  // namespace

std::string reason(const FileError& e) {
  if (e.code == kNotAFile) return "Not a regular file";
  if (e.code == kOutOfMemory) return "Not enough memory";
  return sys::systemwords(e.code);
}

int comparenames(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      // Numbers: leading zeros aside, the longer is larger, else the
      // first digit that differs says.
      std::size_t i2 = i, j2 = j;
      while (i2 < a.size() && a[i2] == '0') ++i2;
      while (j2 < b.size() && b[j2] == '0') ++j2;
      std::size_t ie = i2, je = j2;
      while (ie < a.size() && digit(a[ie])) ++ie;
      while (je < b.size() && digit(b[je])) ++je;
      if (ie - i2 != je - j2) return ie - i2 < je - j2 ? -1 : 1;
      const int order = a.compare(i2, ie - i2, b, j2, je - j2);
      if (order != 0) return order < 0 ? -1 : 1;
      i = ie, j = je;
      continue;
    }
    const unsigned char x = std::uint8_t(lower(a[i])), y = std::uint8_t(lower(b[j]));
    if (x != y) return x < y ? -1 : 1;
    ++i, ++j;
  }
  return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

std::string joinpath(const std::string& folder, const std::string& name) {
  // A folder that ends in a separator (or a drive, "C:") needs none more.
  if (folder.empty() || namestart(folder + "x") == folder.size()) return folder + name;
  return folder + sys::kSeparator + name;
}

FileError closestream(StreamPtr& f, const std::string& path) {
  return std::fclose(f.release()) == 0 ? FileError() : lasterror("fclose", path);
}

FileError readfile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t limit) {
  sys::Handle h = sys::kNoHandle;
  FileError e = sys::openfile(path, false, h, path);
  if (!e.ok()) return e;
  e = readhandle(h, out, limit, path);
  sys::closeread(h);
  return e;
}

FileError LockedFile::readall(std::vector<std::uint8_t>& out, std::size_t limit) {
  return readhandle(file_, out, limit, path_);
}

FileError LockedFile::checkreplaceable() {
  FileError e = sys::realtarget(path_, target_);
  if (e.ok()) e = sys::maywrite(path_);
  if (e.ok()) e = sys::mayreplace(target_, path_);
  if (e.ok()) e = clearleftover(target_);
  return e;
}

bool LockedFile::issame(const std::string& other) const { return sys::samefile(file_, other); }

FileError LockedFile::replace(const std::uint8_t* data, std::size_t size) {
  if (target_.empty()) {
    const FileError e = sys::realtarget(path_, target_);
    if (!e.ok()) return e;
  }
  return replaceat(target_, path_, data, size, file_, false, &file_);
}

FileError checkreplaceable(const std::string& path) {
  FileError e = sys::mayreplace(path, path);
  if (e.ok()) e = clearleftover(path);
  return e;
}

FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const LockedFile& like, bool keeptimes) {
  return replaceat(path, path, data, size, like.file_, keeptimes, nullptr);
}

FileError replacewhole(const std::string& path, const std::uint8_t* data, std::size_t size,
                       const std::string& likepath) {
  sys::Handle like = sys::kNoHandle;
  FileError e = sys::openfile(likepath, false, like, likepath);
  if (!e.ok()) return e;
  e = replaceat(path, path, data, size, like, false, nullptr);
  sys::closeread(like);
  return e;
}

AppendFile::~AppendFile() {
  if (file_ != sys::kNoHandle) sys::closeread(file_);
}

FileError AppendFile::open(const std::string& path) {
  path_ = path;
  FileError e = sys::openappend(path, file_, path);
  empty_ = e.ok() && sys::sizeof_(file_) == 0;
  return e;
}

FileError AppendFile::append(const std::string& bytes) {
  // One write (writehandle() loops only on a short one): a row never lands
  // in two pieces with another's between.
  FileError e = writehandle(file_, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            bytes.size(), path_);
  if (e.ok()) e = sys::flush(file_, path_);
  if (e.ok()) empty_ = false;
  return e;
}

FileError AppendFile::close() {
  if (file_ == sys::kNoHandle) return {};
  const sys::Handle h = file_;
  file_ = sys::kNoHandle;
  return sys::closewritten(h, path_);
}

}  // namespace stampo

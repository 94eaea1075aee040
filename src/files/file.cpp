// The parts of the file layer that are the same on every system, built on
// the calls of system.h: reading a file whole, and replacing one whole.
#include <algorithm>
#include <functional>
#include <new>

#include "file.h"
#include "paths.h"
#include "system.h"

namespace stampo {
namespace {

// Reads the open file `h` from here to the end, as readall() does.
Failure readhandle(sys::Handle h, std::vector<std::uint8_t>& out, std::size_t limit,
                   std::uint64_t size, const std::string& shown, Role role) {
  // A regular file's size is known and it is read in one call; if it grows
  // meanwhile, in growing blocks.
  std::size_t block = std::size_t(1) << 16;
  if (size > 0 && size < limit) block = std::size_t(size) + 1;
  // `out` keeps its size from an earlier file: resizing it to the same
  // size again costs nothing, where growing it from empty would clear it.
  std::size_t used = 0;
  while (used <= limit) {
    const std::size_t want = std::min({block, limit + 1 - used, std::size_t(1) << 30});
    try {
      out.resize(used + want);
    } catch (const std::bad_alloc&) {
      out.resize(used);
      return outofmemory(shown, role);
    }
    std::size_t got = 0;
    const Failure f = sys::readsome(h, out.data() + used, want, got, shown, role);
    if (!f.ok()) {
      out.resize(used);
      return f;
    }
    if (got == 0) break;
    used += got;
    if (got == want) block *= 2;
  }
  out.resize(used);
  return {};
}

}  // namespace

Failure systemfailure(Step step, const std::string& file, Role role, int code) {
  Failure f;
  f.step = step;
  f.problem = Problem::kSystem;
  f.role = role;
  f.code = code;
  f.file = file;
  return f;
}

Failure outofmemory(const std::string& file, Role role) {
  return systemfailure(Step::kMemory, file, role, sys::kNoMemoryCode);
}

Failure notafile(Step step, const std::string& file, Role role) {
  Failure f = refusal(Problem::kNotAFile, file, role);
  f.step = step;
  return f;
}

Failure refusal(Problem problem, const std::string& file, Role role, const std::string& other,
                Role otherrole) {
  Failure f;
  f.step = Step::kCheck;
  f.problem = problem;
  f.role = role;
  f.otherrole = otherrole;
  f.file = file;
  f.other = other;
  return f;
}

bool FileKey::operator==(const FileKey& other) const {
  return volume == other.volume && index == other.index && name.empty() == other.name.empty() &&
         (name.empty() || sys::samename(name, other.name));
}

std::size_t FileKeyHash::operator()(const FileKey& key) const {
  // Names are not hashed: two spellings of one name (case, on Windows)
  // must meet, and names only stand for files not made yet, few at once.
  return std::hash<std::uint64_t>()(key.volume * 0x9E3779B97F4A7C15u ^ key.index);
}

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

std::string foldcase(const std::string& name) {
  if (!kNamesIgnoreCase) return name;
  std::string folded = name;
  for (char& c : folded) c = lower(c);
  return folded;
}

int comparenames(const std::string& a, const std::string& b) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
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

// InputFile

InputFile::~InputFile() {
  if (file_ != sys::kNoHandle) sys::closeanyway(file_);
}

Failure InputFile::open(const std::string& path, Role role, const Place* looked) {
  path_ = path;
  role_ = role;
  return sys::openfile(path, false, role, looked, file_, key_, rules_, size_);
}

Failure InputFile::read(std::uint8_t* data, std::size_t size, std::size_t& got) {
  return sys::readsome(file_, data, size, got, path_, role_);
}

Failure InputFile::readall(std::vector<std::uint8_t>& out, std::size_t limit) {
  return readhandle(file_, out, limit, size_, path_, role_);
}

Failure InputFile::close() {
  if (file_ == sys::kNoHandle) return {};
  const sys::Handle h = file_;
  file_ = sys::kNoHandle;
  return sys::closefile(h, path_, role_);
}

// LockedFile

LockedFile::~LockedFile() { (void)close(); }

Failure LockedFile::open(const std::string& path, Role role) {
  path_ = path;
  role_ = role;
  // Looked at once: what it is, before it is opened, and whether it is a
  // link whose target a replacement changes.
  Place place;
  Failure f = lookat(path, role, place);
  target_ = path;
  if (f.ok() && place.link && place.kind == Place::kFile) f = sys::realtarget(path, role, target_);
  if (f.ok()) f = sys::openlocked(path, role, &place, file_, lock_, key_, rules_, size_);
  return f;
}

Failure LockedFile::readall(std::vector<std::uint8_t>& out, std::size_t limit) {
  return readhandle(file_, out, limit, size_, path_, role_);
}

Place LockedFile::place() const {
  Place place;
  place.kind = Place::kFile;
  place.key = key_;
  place.owner = rules_.owner;
  return place;
}

Failure LockedFile::letgo() {
  if (!sys::kCloseBeforeRename) return {};
  return release();
}

Failure LockedFile::release() {
  if (file_ == sys::kNoHandle) return {};
  const sys::Handle h = file_;
  file_ = sys::kNoHandle;
  rules_.source = sys::kNoHandle;
  return sys::closefile(h, path_, role_);
}

Failure LockedFile::close() {
  const Failure f = release();
  sys::unlock(lock_);
  return f;
}

// Folder

Folder::~Folder() { close(); }

Failure Folder::open(const std::string& file, Role role) {
  close();
  writable_ = false;
  const std::size_t start = namestart(file);
  path_ = start == 0 ? std::string(".") : file.substr(0, start);
  // "C:" alone names a drive's current folder, which "C:." says plainly.
  if (!path_.empty() && path_.back() == ':') path_ += '.';
  Failure f = sys::openfolder(path_, path_, role, file_, key_, mode_, owner_);
  if (!f.ok()) f.file = shown();
  return f;
}

std::string Folder::shown() const { return path_ == "." ? sys::fullpath(path_) : path_; }

Failure Folder::mayreplace(const std::string& target, const Place& place, bool held,
                           const std::string& shown, Role role) const {
  // A link is replaced itself, whatever it leads to; anything else that
  // is not a file is not renamed over.
  if (!place.link && (place.kind == Place::kFolder || place.kind == Place::kOther))
    return notafile(Step::kRename, shown, role);
  // Whether a file can be added is the folder's, asked once.
  Failure f = writable_ ? Failure() : sys::mayaddfiles(path_, shown, role);
  writable_ = f.ok();
  if (f.ok()) f = sys::mayrenameover(target, place, held, mode_, owner_, shown, role);
  return f;
}

FileKey Folder::keyof(const std::string& name, const Place& place) const {
  if (place.kind != Place::kNothing) return place.key;
  FileKey key = key_;
  key.name = name.substr(namestart(name));
  return key;
}

Failure Folder::flush(Role role) {
  Failure f = sys::flushfolder(file_, path_, role);
  if (!f.ok()) f.file = shown();
  return f;
}

void Folder::close() {
  if (file_ != sys::kNoHandle) sys::closeanyway(file_);
  file_ = sys::kNoHandle;
}

// Replacement

Replacement::~Replacement() { abandon(); }

Failure Replacement::clearleftover(const std::string& target, Role role) {
  return sys::removefile(temporaryname(target), role);
}

Failure Replacement::begin(const std::string& target, const std::string& shown, Role role,
                           const Rules* rules) {
  abandon();
  target_ = target;
  temporary_ = temporaryname(target);
  shown_ = shown;
  role_ = role;
  sys::watch(temporary_);
  Rules made;
  Failure f = sys::createnew(temporary_, rules != nullptr, shown, role, file_, key_, made);
  if (!f.ok()) {
    sys::unwatch(temporary_);
    temporary_.clear();
    return f;
  }
  created_ = true;
  if (rules != nullptr) f = sys::giverules(file_, *rules, made, shown, role);
  if (!f.ok()) abandon();
  return f;
}

Failure Replacement::write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    std::size_t wrote = 0;
    const Failure f =
        sys::writesome(file_, data, std::min(size, std::size_t(1) << 30), wrote, shown_, role_);
    if (!f.ok()) {
      abandon();
      return f;
    }
    data += wrote;
    size -= wrote;
  }
  return {};
}

Failure Replacement::keeptimes(const Rules& from) {
  const Failure f = sys::givetimes(file_, from, shown_, role_);
  if (!f.ok()) abandon();
  return f;
}

Failure Replacement::finish() {
  Failure f = sys::flush(file_, shown_, role_);
  const sys::Handle h = file_;
  file_ = sys::kNoHandle;
  const Failure closed = sys::closefile(h, shown_, role_);
  if (f.ok()) f = closed;
  if (!f.ok()) abandon();
  return f;
}

Failure Replacement::commit() {
  const Failure f = sys::renameover(temporary_, target_, shown_, role_);
  if (!f.ok()) {
    abandon();
    return f;
  }
  sys::unwatch(temporary_);
  created_ = false;
  temporary_.clear();
  return f;
}

void Replacement::abandon() {
  if (file_ != sys::kNoHandle) sys::closeanyway(file_);
  file_ = sys::kNoHandle;
  if (temporary_.empty()) return;
  if (created_) (void)sys::removefile(temporary_, role_);
  sys::unwatch(temporary_);
  created_ = false;
  temporary_.clear();
}

// Aside

struct Aside::Thread {
  std::function<void()> task;
  std::intptr_t handle = 0;
  static void run(void* self) { static_cast<Thread*>(self)->task(); }
};

Aside::~Aside() { wait(); }

bool Aside::start(std::function<void()> task) {
  wait();
  thread_ = new (std::nothrow) Thread;
  if (thread_ == nullptr) return false;
  thread_->task = std::move(task);
  if (sys::startthread(&Thread::run, thread_, thread_->handle)) return true;
  delete thread_;
  thread_ = nullptr;
  return false;
}

void Aside::wait() {
  if (thread_ == nullptr) return;
  sys::jointhread(thread_->handle);
  delete thread_;
  thread_ = nullptr;
}

}  // namespace stampo

// The file layer's system calls on POSIX systems.
#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "file.h"
#include "system.h"

namespace stampo {

Failure lasterror(Step step, const std::string& file, Role role) {
  const int code = errno;
  Failure f = systemfailure(step, file, role, code);
  // A program running the file, or a lock another holds.
  if (code == ETXTBSY || code == EWOULDBLOCK) f.problem = Problem::kHeld;
  return f;
}

bool Failure::notfound() const { return code == ENOENT || code == ENOTDIR; }
bool Failure::denied() const { return code == EACCES || code == EPERM || code == EROFS; }
bool Failure::full() const { return code == ENOSPC || code == EDQUOT || code == EFBIG; }
bool Failure::nomemory() const { return code == ENOMEM; }

std::string systemwords(int code) { return std::strerror(code); }

const bool kNamesIgnoreCase = false;

std::size_t namestart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

namespace {

FileKey keyof(const struct stat& st) { return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), {}}; }

// The temporary files being written, for the signal handler: two fixed
// buffers, one of which the handler may read while the other is being
// filled; a switch of one atomic index makes the new list the handler's.
// The signals come to the main thread only (threads of ours block them),
// so the handler never runs while the main thread fills the buffer it
// reads.
constexpr int kWatchedSlots = 4;
struct WatchList {
  char paths[kWatchedSlots][PATH_MAX];
};
WatchList watchlists[2];
std::atomic<int> watching{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads it");
std::string watched[kWatchedSlots];  // the main thread's own copy
const int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeandexit(int signal) {
  const WatchList& list = watchlists[watching.load(std::memory_order_acquire)];
  for (const char* path : list.paths)
    if (path[0] != '\0') ::unlink(path);
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered once this handler returns: the usual end
}

void watchsignals() {
  static bool watched = false;
  if (watched) return;
  watched = true;
  for (const int signal : kWatchedSignals) {
    struct sigaction was = {};
    // A signal the caller chose to ignore (nohup, a background job) stays
    // ignored.
    if (::sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    struct sigaction now = {};
    now.sa_handler = removeandexit;
    sigemptyset(&now.sa_mask);
    ::sigaction(signal, &now, nullptr);
  }
}

void publish() {
  const int next = 1 - watching.load(std::memory_order_relaxed);
  WatchList& list = watchlists[next];
  for (int i = 0; i < kWatchedSlots; ++i) {
    // A name too long for the buffer cannot be created either.
    const std::string& path = watched[i];
    if (path.size() < sizeof list.paths[i])
      std::memcpy(list.paths[i], path.c_str(), path.size() + 1);
    else
      list.paths[i][0] = '\0';
  }
  watching.store(next, std::memory_order_release);
}

// The user we act as, asked once.
uid_t me() {
  static const uid_t uid = ::geteuid();
  return uid;
}

// The check libattr's copy makes of each failed attribute: it fails only
// where the file system has attributes and anyone may set this one.
struct AttributeErrors {
  error_context context;
  int first = 0;  // the first errno that counts
};

extern "C" void attributeerror(error_context* context, const char*, ...) {
  auto* errors = reinterpret_cast<AttributeErrors*>(context);
  const int code = errno;
  // No attributes on this file system; or a namespace only an
  // administrator may set (trusted.*, security.*).
  if (code == ENOTSUP || code == EOPNOTSUPP || code == ENOSYS || code == EPERM) return;
  if (errors->first == 0) errors->first = code != 0 ? code : EIO;
}

// What a new thread runs, as pthread_create() calls it.
struct ThreadStart {
  void (*run)(void*);
  void* arg;
};

extern "C" void* threadmain(void* start) {
  const ThreadStart what = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  what.run(what.arg);
  return nullptr;
}

}  // namespace

namespace sys {

const char kSeparator = '/';
const bool kCloseBeforeRename = false;
const int kNoMemoryCode = ENOMEM;

void pause(unsigned ms) {
  struct timespec wait = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

Failure openfile(const std::string& path, bool write, Role role, const Place* looked, Handle& h,
                 FileKey& key, Rules& rules, std::uint64_t& size) {
  // Looked at before it is opened: opening a device may do something, and
  // opening a pipe waits for a writer.
  struct stat st;
  Place::Kind kind = Place::kFile;
  if (looked != nullptr)
    kind = looked->kind == Place::kNothing ? Place::kFile : looked->kind;  // open says why not
  else if (::stat(path.c_str(), &st) == 0)
    kind = S_ISREG(st.st_mode) ? Place::kFile : S_ISDIR(st.st_mode) ? Place::kFolder : Place::kOther;
  if (kind == Place::kFolder) return systemfailure(Step::kOpen, path, role, EISDIR);
  if (kind != Place::kFile) return notafile(Step::kOpen, path, role);
  const int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return lasterror(Step::kOpen, path, role);
  // And again once open, in case the path changed in between.
  if (::fstat(fd, &st) != 0) {
    const Failure f = lasterror(Step::kOpen, path, role);
    ::close(fd);
    return f;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return notafile(Step::kOpen, path, role);
  }
  h = fd;
  key = keyof(st);
  size = std::uint64_t(st.st_size);
  // The rules and times as they are now, before anything reads it.
  rules = Rules();
  rules.source = fd;
  rules.mode = st.st_mode & 07777;
  rules.owner = st.st_uid;
  rules.group = st.st_gid;
  rules.times[0][0] = st.st_atim.tv_sec, rules.times[0][1] = st.st_atim.tv_nsec;
  rules.times[1][0] = st.st_mtim.tv_sec, rules.times[1][1] = st.st_mtim.tv_nsec;
  if (write) {
    // Which of ACL and other attributes it has, for the files that
    // replace it: one listing, not a failed read for each.
    char names[1024];
    const ssize_t n = ::flistxattr(fd, names, sizeof names);
    if (n < 0 && errno == ERANGE) {
      rules.acl = rules.attributes = true;  // too many to list here: copy all there is
    } else if (n < 0 && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) {
      // Rules we cannot read are rules we cannot keep.
      const Failure f = lasterror(Step::kListAttributes, path, role);
      ::close(fd);
      return f;
    } else {
      for (ssize_t at = 0; at < n; at += ssize_t(std::strlen(names + at)) + 1) {
        const char* name = names + at;
        if (std::strcmp(name, "system.posix_acl_access") == 0)
          rules.acl = true;
        else if (std::strncmp(name, "system.posix_acl_", 17) != 0)
          rules.attributes = true;
      }
    }
  }
  return {};
}

Failure readsome(Handle h, std::uint8_t* data, std::size_t size, std::size_t& done,
                 const std::string& shown, Role role) {
  for (;;) {
    const ssize_t got = ::read(int(h), data, size);
    if (got >= 0) return done = std::size_t(got), Failure();
    if (errno != EINTR) return lasterror(Step::kRead, shown, role);
  }
}

Failure writesome(Handle h, const std::uint8_t* data, std::size_t size, std::size_t& done,
                  const std::string& shown, Role role) {
  for (;;) {
    const ssize_t n = ::write(int(h), data, size);
    if (n > 0) return done = std::size_t(n), Failure();
    if (n < 0 && errno == EINTR) continue;
    // A write that moves nothing: the file may grow no more.
    return n == 0 ? systemfailure(Step::kWrite, shown, role, ENOSPC)
                  : lasterror(Step::kWrite, shown, role);
  }
}

Failure closefile(Handle h, const std::string& shown, Role role) {
  return ::close(int(h)) == 0 ? Failure() : lasterror(Step::kClose, shown, role);
}

void closeanyway(Handle h) { ::close(int(h)); }

// Locks the open file against other copies of Stampo (see openlocked()).
static Failure lockfile(const std::string& path, Handle h, Role role) {
  unsigned waited = 0, pausems = kFirstPauseMs;
  for (;;) {
    if (::flock(int(h), LOCK_EX | LOCK_NB) == 0) return {};
    const int code = errno;
    if (code == EINTR) continue;
    // A file system without locks (some network and FUSE ones).
    if (code == ENOLCK || code == EOPNOTSUPP || code == ENOTSUP || code == ENOSYS) return {};
    if (code != EWOULDBLOCK || waited >= kHeldForMs) return lasterror(Step::kLock, path, role);
    pause(pausems);
    waited += pausems;
    pausems = std::min(pausems * 2, kLongestPauseMs);
  }
}

void unlock(std::intptr_t&) {}  // the lock goes with the descriptor

Failure openlocked(const std::string& path, Role role, const Place* looked, Handle& h,
                   std::intptr_t&, FileKey& key, Rules& rules, std::uint64_t& size) {
  for (;; looked = nullptr) {
    Failure f = openfile(path, true, role, looked, h, key, rules, size);
    if (!f.ok()) return f;
    f = lockfile(path, h, role);
    // The copy that held the lock before may have replaced the file: then
    // the path names a new one, and that is the one to lock and read.
    Place now;
    if (f.ok()) f = lookat(path, role, now);
    if (!f.ok() || (now.kind == Place::kFile && now.key == key)) {
      if (!f.ok()) {
        ::close(int(h));
        h = kNoHandle;
      }
      return f;
    }
    ::close(int(h));
    h = kNoHandle;
  }
}

Failure realtarget(const std::string& path, Role role, std::string& target) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return lasterror(Step::kOpen, path, role);
  target = real;
  std::free(real);
  return {};
}

Failure createnew(const std::string& path, bool ours, const std::string& shown, Role role,
                  Handle& h, FileKey& key, Rules& made) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                        ours ? 0600 : 0666);
  if (fd < 0) return lasterror(Step::kCreate, shown, role);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const Failure f = lasterror(Step::kCreate, shown, role);
    ::close(fd);
    ::unlink(path.c_str());
    return f;
  }
  h = fd;
  key = keyof(st);
  made.owner = st.st_uid;
  made.group = st.st_gid;
  return {};
}

Failure giverules(Handle to, const Rules& rules, const Rules& made, const std::string& shown,
                  Role role) {
  // The owner and group only where the system lets us give them away (as
  // root, or to a group we belong to); a group we cannot give loses its
  // access (and with an ACL, so do the named users and groups: the group
  // bits are its mask), so the new file is never more readable than the
  // one it replaces. No set-id bits on our files.
  const bool groupkept = (made.owner == rules.owner && made.group == rules.group) ||
                         ::fchown(int(to), rules.owner, rules.group) == 0 ||
                         ::fchown(int(to), uid_t(-1), rules.group) == 0;
  mode_t mode = rules.mode & 0777;
  if (!groupkept) mode &= ~mode_t(0070);
  if (rules.acl) {
    // The ACL (libacl): one that cannot be set where it says more than the
    // bits fails, rather than leave the file more open.
    if (::perm_copy_fd(shown.c_str(), int(rules.source), shown.c_str(), int(to), nullptr) != 0)
      return lasterror(Step::kRules, shown, role);
    if (!groupkept && ::fchmod(int(to), mode) != 0) return lasterror(Step::kRules, shown, role);
  } else if (::fchmod(int(to), mode) != 0) {
    return lasterror(Step::kRules, shown, role);
  }
  if (rules.attributes) {
    // Extended attributes (libattr), the ACL aside: each must be copied,
    // unless the file system has none or only an administrator may set it.
    AttributeErrors errors = {};
    errors.context.error = attributeerror;
    errno = 0;
    if (::attr_copy_fd(shown.c_str(), int(rules.source), shown.c_str(), int(to), nullptr,
                       &errors.context) != 0 &&
        errors.first != 0)
      return systemfailure(Step::kAttributes, shown, role, errors.first);
  }
  return {};
}

Failure givetimes(Handle to, const Rules& rules, const std::string& shown, Role role) {
  const struct timespec times[2] = {{time_t(rules.times[0][0]), long(rules.times[0][1])},
                                    {time_t(rules.times[1][0]), long(rules.times[1][1])}};
  return ::futimens(int(to), times) == 0 ? Failure() : lasterror(Step::kTimes, shown, role);
}

Failure flush(Handle h, const std::string& shown, Role role) {
  return ::fsync(int(h)) == 0 ? Failure() : lasterror(Step::kFlush, shown, role);
}

Failure renameover(const std::string& from, const std::string& to, const std::string& shown,
                   Role role) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? Failure()
                                                 : lasterror(Step::kRename, shown, role);
}

Failure removefile(const std::string& path, Role role) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT ? Failure()
                                                        : lasterror(Step::kRemove, path, role);
}

Failure openfolder(const std::string& path, const std::string& shown, Role role, Handle& h,
                   FileKey& key, std::uint32_t& mode, std::uint32_t& owner) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lasterror(Step::kList, shown, role);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const Failure f = lasterror(Step::kList, shown, role);
    ::close(fd);
    return f;
  }
  h = fd;
  key = keyof(st);
  mode = st.st_mode;
  owner = st.st_uid;
  return {};
}

Failure mayaddfiles(const std::string& path, const std::string& shown, Role role) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0
             ? Failure()
             : lasterror(Step::kCreate, shown, role);
}

Failure mayrenameover(const std::string&, const Place& place, bool, std::uint32_t mode,
                      std::uint32_t owner, const std::string& shown, Role role) {
  // A sticky folder (/tmp) lets only a file's owner, the folder's owner
  // and root rename over a file: rename would fail with EPERM.
  if ((mode & S_ISVTX) != 0 && place.kind != Place::kNothing && me() != 0 && place.owner != me() &&
      owner != me())
    return systemfailure(Step::kRename, shown, role, EPERM);
  return {};
}

Failure flushfolder(Handle h, const std::string& shown, Role role) {
  // Some file systems cannot flush a folder and say so (EINVAL); their
  // renames are as durable as they make them.
  if (::fsync(int(h)) != 0 && errno != EINVAL) return lasterror(Step::kFlush, shown, role);
  return {};
}

std::string fullpath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  const std::string full = real;
  std::free(real);
  return full;
}

bool samename(const std::string& a, const std::string& b) { return a == b; }

void watch(const std::string& temporary) {
  watchsignals();
  for (std::string& slot : watched) {
    if (!slot.empty()) continue;
    slot = temporary;
    publish();
    return;
  }
}

void unwatch(const std::string& temporary) {
  for (std::string& slot : watched) {
    if (slot != temporary) continue;
    slot.clear();
    publish();
    return;
  }
}

bool startthread(void (*run)(void*), void* arg, std::intptr_t& thread) {
  // Created with the stopping signals blocked, so that it is born, and
  // stays, deaf to them: they come to the main thread.
  sigset_t block, was;
  sigemptyset(&block);
  for (const int signal : kWatchedSignals) sigaddset(&block, signal);
  ::pthread_sigmask(SIG_BLOCK, &block, &was);
  auto* start = new (std::nothrow) ThreadStart{run, arg};
  pthread_t id;
  const bool started =
      start != nullptr && ::pthread_create(&id, nullptr, threadmain, start) == 0;
  ::pthread_sigmask(SIG_SETMASK, &was, nullptr);
  if (started)
    thread = std::intptr_t(id);
  else
    delete start;
  return started;
}

void jointhread(std::intptr_t thread) { ::pthread_join(pthread_t(thread), nullptr); }

}  // namespace sys

Failure lookat(const std::string& path, Role role, Place& place) {
  place = Place();
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return lasterror(Step::kLook, path, role);
  }
  place.owner = st.st_uid;
  if (S_ISLNK(st.st_mode)) {
    place.link = true;
    if (::stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return {};  // a link that leads nowhere
      return lasterror(Step::kLook, path, role);
    }
  }
  place.kind = S_ISREG(st.st_mode) ? Place::kFile : S_ISDIR(st.st_mode) ? Place::kFolder : Place::kOther;
  place.key = keyof(st);
  return {};
}

Failure listfolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return lasterror(Step::kList, folder, Role::kFolder);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    bool file = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {  // where the type is not told
      struct stat st;
      file = ::stat(joinpath(folder, name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    } else if (entry->d_type != DT_DIR) {
      file = true;  // a pipe or device: taken up, and refused, as a report
    }
    if (file) names.push_back(name);
    errno = 0;
  }
  const Failure f = errno != 0 ? lasterror(Step::kList, folder, Role::kFolder) : Failure();
  ::closedir(dir);
  return f;
}

Failure expandwildcards(const std::string& arg, std::vector<std::string>& out) {
  out.assign(1, arg);
  return {};
}

void sortnames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = comparenames(a, b);
    return order != 0 ? order < 0 : a < b;
  });
}

}  // namespace stampo

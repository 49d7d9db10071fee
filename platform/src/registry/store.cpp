#include "registry/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <winreg.h>

#include "device/profile.h"
#include "files/own_files.h"

namespace registry {
namespace {

struct FileId {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};

  static FileId of(const struct stat &st) {
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  }
  bool operator==(const FileId &o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

struct State {
  std::string root;
  bool loaded = false;
  FileId id;             // the file the hive was read from or last written to
  bool damaged = false;  // that file holds lines that could not be read: keep it before replacing it
  int unopenable = 0;    // errno of the last failed open of a file that is there; 0 when it opened
  Hive hive;
};

std::mutex stateLock;
State state;

// An exclusive lock on the device root folder for one registry call, so that a read-modify-write
// of another process cannot interleave with ours. Closing the descriptor releases it.
class RootLock {
 public:
  explicit RootLock(const std::string &root) : fd_(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0)
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~RootLock() {
    if (fd_ >= 0) close(fd_);
  }
  RootLock(const RootLock &) = delete;
  RootLock &operator=(const RootLock &) = delete;
  // Makes a rename in the folder durable.
  void syncFolder() const {
    if (fd_ >= 0) fsync(fd_);
  }

 private:
  int fd_;
};

LONG writeError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG ? ERROR_DISK_FULL : ERROR_CANTWRITE;
}

// Gives the damaged file a second name beside it, so that replacing it loses nothing.
bool keepDamaged(const std::string &file) {
  for (int n = 1; n < 1000; ++n) {
    std::string copy = file + platform::kDamagedSuffix + (n > 1 ? "-" + std::to_string(n) : std::string());
    if (link(file.c_str(), copy.c_str()) == 0) {
      std::fprintf(stderr, "registry file %s: the damaged file is kept as %s\n", file.c_str(), copy.c_str());
      return true;
    }
    if (errno == ENOENT) return true;  // gone already: nothing to keep
    if (errno != EEXIST) break;
  }
  std::fprintf(stderr, "registry file %s: cannot keep a copy of the damaged file (%s); not replacing it\n",
               file.c_str(), std::strerror(errno));
  return false;
}

// Temporary file, fsync, rename: the file is always either the old or the new registry.
LONG save(State &s, const RootLock &lock, const Hive &hive) {
  std::string file = s.root + "/" + platform::kRegistryFile;
  std::string temp;
  int fd = platform::createTemporary(file, temp);
  if (fd < 0) return writeError(errno);
  bool ok = platform::writeWhole(fd, hive.format()) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && s.damaged && !keepDamaged(file)) {
    ok = false;
    error = EIO;
  }
  if (ok && rename(temp.c_str(), file.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    return writeError(error);
  }
  lock.syncFolder();
  s.damaged = false;
  struct stat st;
  s.id = stat(file.c_str(), &st) == 0 ? FileId::of(st) : FileId();
  return ERROR_SUCCESS;
}

Hive profileDefaults() {
  Hive hive;
  for (const device::RegistryDefault &entry : device::current().registryDefaults()) {
    bool created;
    Key &key = hive.create(entry.key, created);
    if (entry.value) key.values[device::regtext::fold(entry.value->name)] = *entry.value;
  }
  return hive;
}

void load(State &s, int fd, const struct stat &st, const std::string &file) {
  std::string text;
  char buffer[65536];
  bool readable = true;
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readable = false;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  std::vector<Hive::Problem> problems;
  if (readable) {
    s.hive = Hive::parse(text, problems);
  } else {
    s.hive = Hive();
    problems.push_back({0, std::string("cannot be read: ") + std::strerror(errno)});
  }
  for (const Hive::Problem &p : problems)
    std::fprintf(stderr, "registry file %s:%d: %s; the line is skipped\n", file.c_str(), p.line, p.message.c_str());
  s.id = FileId::of(st);
  s.damaged = !problems.empty();
  s.loaded = true;
}

// Makes the hive match the device root's file. ERROR_SUCCESS, or the error of a file that is
// there but cannot be opened (permissions, no descriptors left): it is never replaced, the hive
// stays as last read (the profile's defaults when never read) and the next call tries again.
LONG sync(State &s, const std::string &root, const RootLock &lock) {
  if (s.root != root) {
    s = State();
    s.root = root;
  }
  std::string file = root + "/" + platform::kRegistryFile;
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT) {
    const int error = errno;
    if (error != s.unopenable)
      std::fprintf(stderr, "registry file %s cannot be opened: %s; it is kept as it is and tried again\n",
                   file.c_str(), std::strerror(error));
    s.unopenable = error;
    if (!s.loaded) s.hive = profileDefaults();
    if (error == EACCES || error == EPERM) return ERROR_ACCESS_DENIED;
    return error == EMFILE || error == ENFILE ? ERROR_TOO_MANY_OPEN_FILES : ERROR_CANTREAD;
  }
  s.unopenable = 0;
  if (fd < 0) {
    // A root without a registry yet: start from the profile's defaults and write them down, so
    // every process of this root sees the same start. A failed write is retried by the next change.
    s.hive = profileDefaults();
    s.damaged = false;
    s.loaded = true;
    save(s, lock, s.hive);
    return ERROR_SUCCESS;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && !(s.loaded && FileId::of(st) == s.id)) load(s, fd, st, file);
  close(fd);
  return ERROR_SUCCESS;
}

}  // namespace

LONG read(const std::function<LONG(Hive &)> &look) {
  std::lock_guard<std::mutex> guard(stateLock);
  std::string root = device::root();
  RootLock lock(root);
  sync(state, root, lock);
  return look(state.hive);
}

LONG change(const std::function<LONG(Hive &, bool &)> &edit) {
  std::lock_guard<std::mutex> guard(stateLock);
  std::string root = device::root();
  RootLock lock(root);
  if (LONG unreadable = sync(state, root, lock); unreadable != ERROR_SUCCESS) return unreadable;
  Hive copy = state.hive;
  bool changed = false;
  LONG result = edit(copy, changed);
  if (result != ERROR_SUCCESS || !changed) return result;
  result = save(state, lock, copy);
  if (result == ERROR_SUCCESS) state.hive = std::move(copy);
  return result;
}

}  // namespace registry

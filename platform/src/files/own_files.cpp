#include "files/own_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "crt/text.h"

namespace platform {
namespace {

bool startsNoCase(std::u16string_view name, std::u16string_view prefix) {
  return name.size() >= prefix.size() && equalsNoCase(name.substr(0, prefix.size()), prefix);
}

}  // namespace

bool emulatorFile(std::u16string_view rootEntry) {
  static const std::u16string registry = toUtf16(kRegistryFile);
  static const std::u16string shellLog = toUtf16(kShellLog);
  static const std::u16string session = toUtf16(kSessionFolder);
  return equalsNoCase(rootEntry, registry) || equalsNoCase(rootEntry, shellLog) || equalsNoCase(rootEntry, session) ||
         startsNoCase(rootEntry, registry + toUtf16(kTemporarySuffix)) ||
         startsNoCase(rootEntry, registry + toUtf16(kDamagedSuffix));
}

int createTemporary(const std::string &file, std::string &temporary) {
  static std::atomic<unsigned> serial{0};
  const std::string stem = file + kTemporarySuffix + std::to_string(getpid()) + "-";
  // A name left by a process of the same number that ended, or planted, is passed over.
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = stem + std::to_string(serial.fetch_add(1));
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool writeWhole(int fd, std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool makePrivateFolder(const std::string &folder) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOTDIR) {
      struct stat info;
      if (lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) errno = ELOOP;
    }
    return false;
  }
  struct stat info;
  bool usable = fstat(fd, &info) == 0;
  if (usable && info.st_uid != geteuid()) {
    usable = false;
    errno = EPERM;
  } else if (usable && (info.st_mode & 077) && fchmod(fd, 0700) != 0) {
    usable = false;
  }
  const int error = errno;
  close(fd);
  errno = error;
  return usable;
}

}  // namespace platform

// _wfopen. A writable file on a volume with a capacity is a cookie stream whose every write is
// accounted against the volume's usage: one compare-and-swap per write that makes the file longer.
// Such streams are unbuffered, so that a write the volume cannot hold fails in the fwrite that
// made it (short count, error flag, ERROR_DISK_FULL), not in a later flush.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/paths.h"
#include "kernel/lasterror.h"

namespace platform {
namespace {

struct OpenMode {
  int flags = 0;
  bool writes = false;
  bool append = false;
  const char *canonical = nullptr;  // for the C library
};

bool parseMode(const char16_t *mode, OpenMode &out) {
  if (!mode || !mode[0]) return false;
  bool plus = false;
  for (const char16_t *m = mode + 1; *m; ++m) {
    if (*m == u'+') plus = true;
    else if (*m != u'b' && *m != u't') return false;
  }
  switch (mode[0]) {
    case u'r':
      out.flags = plus ? O_RDWR : O_RDONLY;
      out.canonical = plus ? "r+" : "r";
      break;
    case u'w':
      out.flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      out.canonical = plus ? "w+" : "w";
      break;
    case u'a':
      out.flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT;
      out.append = true;
      out.canonical = plus ? "a+" : "a";
      break;
    default:
      return false;
  }
  out.writes = plus || mode[0] != u'r';
  return true;
}

struct AccountedFile {
  int fd;
  std::shared_ptr<Volume> volume;
  bool append;
  uint64_t size;
  uint64_t position = 0;
};

ssize_t accountedRead(void *cookie, char *buffer, size_t length) {
  auto *file = static_cast<AccountedFile *>(cookie);
  ssize_t got = pread(file->fd, buffer, length, static_cast<off_t>(file->position));
  if (got < 0) {
    setLastErrorFromErrno();
    return -1;
  }
  file->position += static_cast<uint64_t>(got);
  return got;
}

ssize_t accountedWrite(void *cookie, const char *buffer, size_t length) {
  auto *file = static_cast<AccountedFile *>(cookie);
  uint64_t at = file->append ? file->size : file->position;
  uint64_t end = at + length;
  uint64_t growth = end > file->size ? end - file->size : 0;
  uint64_t granted = growth ? file->volume->reserve(growth) : 0;
  size_t allowed = length - static_cast<size_t>(growth - granted);
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = pwrite(file->fd, buffer + done, allowed - done, static_cast<off_t>(at + done));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    done += static_cast<size_t>(n);
  }
  int hostError = errno;
  uint64_t written = at + done;
  uint64_t grown = written > file->size ? written - file->size : 0;
  file->volume->release(granted - grown);
  if (written > file->size) file->size = written;
  file->position = written;
  if (done < length) {
    if (done < allowed) {
      SetLastError(win32ErrorFromErrno(hostError));
    } else {
      errno = ENOSPC;
      SetLastError(ERROR_DISK_FULL);
    }
  }
  return static_cast<ssize_t>(done);
}

int accountedSeek(void *cookie, off64_t *offset, int whence) {
  auto *file = static_cast<AccountedFile *>(cookie);
  int64_t base = whence == SEEK_SET ? 0
                 : whence == SEEK_CUR ? static_cast<int64_t>(file->position)
                                      : static_cast<int64_t>(file->size);
  int64_t target = base + *offset;
  if (whence < SEEK_SET || whence > SEEK_END || target < 0) {
    errno = EINVAL;
    return -1;
  }
  file->position = static_cast<uint64_t>(target);
  *offset = target;
  return 0;
}

int accountedClose(void *cookie) {
  auto *file = static_cast<AccountedFile *>(cookie);
  int result = close(file->fd);
  delete file;
  return result;
}

FILE *openAccounted(const MappedPath &mapped, const OpenMode &mode) {
  struct stat before;
  bool truncates = (mode.flags & O_TRUNC) && stat(mapped.host.c_str(), &before) == 0 &&
                   S_ISREG(before.st_mode);
  int fd = open(mapped.host.c_str(), mode.flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    setFileError(errno, mapped.host);
    return nullptr;
  }
  if (truncates) mapped.volume->release(static_cast<uint64_t>(before.st_size));
  struct stat info;
  fstat(fd, &info);
  auto *file = new AccountedFile{fd, mapped.volume, mode.append, static_cast<uint64_t>(info.st_size)};
  cookie_io_functions_t functions{accountedRead, accountedWrite, accountedSeek, accountedClose};
  FILE *stream = fopencookie(file, mode.canonical, functions);
  if (!stream) {
    accountedClose(file);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

}  // namespace
}  // namespace platform

using namespace platform;

FILE *_wfopen(const char16_t *path, const char16_t *mode) {
  OpenMode parsed;
  if (!path || !parseMode(mode, parsed)) {
    errno = EINVAL;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  MappedPath mapped;
  if (!mapPath(path, mapped)) {
    errno = ENOENT;
    return nullptr;
  }
  if (mapped.volume && parsed.writes) return openAccounted(mapped, parsed);
  FILE *stream = std::fopen(mapped.host.c_str(), parsed.canonical);
  if (!stream) setFileError(errno, mapped.host);
  return stream;
}

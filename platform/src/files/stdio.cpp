// _wfopen and _fwritegather. A writable file on a volume with a capacity is a cookie stream whose
// every write is accounted against the volume's usage: one compare-and-swap per write that makes
// the file longer. Such streams are unbuffered, so that a write the volume cannot hold fails in
// the fwrite that made it (short count, error flag, ERROR_DISK_FULL), not in a later flush.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <cestdio.h>

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
  FILE *stream = nullptr;
};

// The accounted streams open, for _fwritegather: the C library does not give a stream's cookie
// back.
std::mutex g_streamsLock;
std::unordered_map<FILE *, AccountedFile *> g_streams;

AccountedFile *accountedFileOf(FILE *stream) {
  std::lock_guard<std::mutex> held(g_streamsLock);
  auto it = g_streams.find(stream);
  return it == g_streams.end() ? nullptr : it->second;
}

// Writes the first `length` bytes of the pieces at `at`, again after a partial write; the bytes
// written (fewer when a write fails, errno telling why). The pieces are used up on the way.
size_t writePieces(int fd, iovec *pieces, size_t count, size_t length, uint64_t at) {
  size_t first = 0, done = 0;
  for (size_t i = 0, left = length; i < count; ++i) {
    pieces[i].iov_len = std::min(pieces[i].iov_len, left);
    left -= pieces[i].iov_len;
  }
  while (done < length) {
    while (pieces[first].iov_len == 0) ++first;
    int batch = int(std::min<size_t>(count - first, IOV_MAX));
    ssize_t n = pwritev(fd, pieces + first, batch, static_cast<off_t>(at + done));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    done += static_cast<size_t>(n);
    for (size_t left = static_cast<size_t>(n); left > 0;) {
      size_t step = std::min(left, pieces[first].iov_len);
      pieces[first].iov_base = static_cast<char *>(pieces[first].iov_base) + step;
      pieces[first].iov_len -= step;
      left -= step;
      if (pieces[first].iov_len == 0) ++first;
    }
  }
  return done;
}

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

// One write of the pieces' bytes, as far as the volume holds them.
size_t accountedWritePieces(AccountedFile *file, iovec *pieces, size_t count) {
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) length += pieces[i].iov_len;
  uint64_t at = file->append ? file->size : file->position;
  uint64_t end = at + length;
  uint64_t growth = end > file->size ? end - file->size : 0;
  uint64_t granted = growth ? file->volume->reserve(growth) : 0;
  // The volume holds the file up to its size and what was granted: a write that starts beyond
  // that (after a seek past the end) writes nothing at all.
  const uint64_t limit = file->size + granted;
  size_t allowed = limit > at ? static_cast<size_t>(std::min<uint64_t>(length, limit - at)) : 0;
  errno = 0;
  size_t done = allowed ? writePieces(file->fd, pieces, count, allowed, at) : 0;
  int hostError = errno;
  uint64_t written = at + done;
  uint64_t grown = done && written > file->size ? written - file->size : 0;
  file->volume->release(granted - grown);
  if (grown) file->size = written;
  file->position = written;
  if (done < length) {
    if (done < allowed) {
      SetLastError(win32ErrorFromErrno(hostError));
    } else {
      errno = ENOSPC;
      SetLastError(ERROR_DISK_FULL);
    }
  }
  return done;
}

ssize_t accountedWrite(void *cookie, const char *buffer, size_t length) {
  iovec piece{const_cast<char *>(buffer), length};
  return static_cast<ssize_t>(accountedWritePieces(static_cast<AccountedFile *>(cookie), &piece, 1));
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
  if (file->stream) {
    std::lock_guard<std::mutex> held(g_streamsLock);
    g_streams.erase(file->stream);
  }
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
  file->stream = stream;
  std::lock_guard<std::mutex> held(g_streamsLock);
  g_streams[stream] = file;
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
  if (mapped.readOnly && parsed.writes) {
    errno = EACCES;
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (mapped.volume && parsed.writes) return openAccounted(mapped, parsed);
  FILE *stream = std::fopen(mapped.host.c_str(), parsed.canonical);
  if (!stream) setFileError(errno, mapped.host);
  return stream;
}

size_t _fwritegather(FILE *stream, const FWRITEPIECE *pieces, size_t count) {
  std::vector<iovec> vector(count);
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) {
    vector[i] = iovec{const_cast<void *>(pieces[i].data), pieces[i].size};
    length += pieces[i].size;
  }
  if (std::fflush(stream) != 0) {
    setLastErrorFromErrno();
    return 0;
  }
  // The stream is moved past what was written with fseek, so that the C library's idea of the
  // position follows.
  if (AccountedFile *file = accountedFileOf(stream)) {
    size_t done = accountedWritePieces(file, vector.data(), count);
    DWORD error = GetLastError();
    std::fseek(stream, static_cast<long>(file->position), SEEK_SET);
    SetLastError(error);
    return done;
  }
  int fd = fileno(stream);
  if (fd >= 0) {
    // A host file, at the descriptor's offset: a flushed stream keeps it at its position.
    off_t at = lseek(fd, 0, SEEK_CUR);
    if (at < 0) {
      setLastErrorFromErrno();
      return 0;
    }
    errno = 0;
    size_t done = writePieces(fd, vector.data(), count, length, static_cast<uint64_t>(at));
    int error = errno;
    std::fseek(stream, static_cast<long>(at + static_cast<off_t>(done)), SEEK_SET);
    if (done < length) SetLastError(win32ErrorFromErrno(error));
    return done;
  }
  // Any other stream: its own writes, piece by piece, up to the first that falls short.
  size_t done = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].size == 0) continue;
    size_t n = std::fwrite(pieces[i].data, 1, pieces[i].size, stream);
    done += n;
    if (n < pieces[i].size || std::ferror(stream)) break;
  }
  return done;
}

// Folder creation, deletion, renaming, attributes and free space.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/paths.h"
#include "kernel/lasterror.h"

using namespace platform;

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  MappedPath mapped;
  if (!mapPath(path, mapped)) return FALSE;
  if (mapped.readOnly) {
    struct stat info;
    SetLastError(lstat(mapped.host.c_str(), &info) == 0 ? ERROR_ALREADY_EXISTS : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (mkdir(mapped.host.c_str(), 0777) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errno == EEXIST ? ERROR_ALREADY_EXISTS
                                                                          : win32ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR path) {
  MappedPath mapped;
  if (!mapPath(path, mapped)) return FALSE;
  struct stat info;
  if (lstat(mapped.host.c_str(), &info) != 0) {
    setFileError(errno, mapped.host);
    return FALSE;
  }
  if (S_ISDIR(info.st_mode) || mapped.readOnly) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(mapped.host.c_str()) != 0) {
    setFileError(errno, mapped.host);
    return FALSE;
  }
  if (mapped.volume && S_ISREG(info.st_mode)) mapped.volume->release(static_cast<uint64_t>(info.st_size));
  return TRUE;
}

extern "C" BOOL WINAPI MoveFileW(LPCWSTR existing, LPCWSTR target) {
  MappedPath from, to;
  if (!mapPath(existing, from) || !mapPath(target, to)) return FALSE;
  struct stat info;
  if (lstat(from.host.c_str(), &info) != 0) {
    setFileError(errno, from.host);
    return FALSE;
  }
  if (from.readOnly || to.readOnly) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (lstat(to.host.c_str(), &info) == 0) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  // Between volumes the bytes move from one usage figure to the other.
  bool crossing = from.volume != to.volume;
  uint64_t size = crossing ? treeSize(from.host) : 0;
  if (crossing && to.volume) {
    uint64_t granted = to.volume->reserve(size);
    if (granted < size) {
      to.volume->release(granted);
      SetLastError(ERROR_DISK_FULL);
      return FALSE;
    }
  }
  if (rename(from.host.c_str(), to.host.c_str()) != 0) {
    int error = errno;
    if (crossing && to.volume) to.volume->release(size);
    setFileError(error, error == ENOENT ? to.host : from.host);
    return FALSE;
  }
  if (crossing && from.volume) from.volume->release(size);
  return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
  MappedPath mapped;
  if (!mapPath(path, mapped)) return INVALID_FILE_ATTRIBUTES;
  struct stat info;
  if (stat(mapped.host.c_str(), &info) != 0) {
    setFileError(errno, mapped.host);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (mapped.cardRoot) attributes |= FILE_ATTRIBUTE_TEMPORARY;
  if (!(info.st_mode & S_IWUSR) || (mapped.readOnly && !S_ISDIR(info.st_mode))) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

extern "C" BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller,
                                           PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFree) {
  MappedPath mapped;
  if (!mapPath(directory ? directory : u"\\", mapped)) return FALSE;
  struct stat info;
  if (stat(mapped.host.c_str(), &info) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  uint64_t total, free, available;
  if (mapped.volume) {
    total = mapped.volume->capacity();
    uint64_t used = mapped.volume->used();
    free = available = total > used ? total - used : 0;
  } else {
    struct statvfs host;
    if (statvfs(mapped.host.c_str(), &host) != 0) {
      setFileError(errno, mapped.host);
      return FALSE;
    }
    total = static_cast<uint64_t>(host.f_blocks) * host.f_frsize;
    free = static_cast<uint64_t>(host.f_bfree) * host.f_frsize;
    available = static_cast<uint64_t>(host.f_bavail) * host.f_frsize;
  }
  if (freeToCaller) freeToCaller->QuadPart = available;
  if (totalBytes) totalBytes->QuadPart = total;
  if (totalFree) totalFree->QuadPart = free;
  return TRUE;
}

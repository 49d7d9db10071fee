// The storage-card enumeration over the profile's cards, and FindClose (of every search).
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "files/volumes.h"
#include "kernel/objects.h"
#include <projects.h>

namespace platform {
namespace {

class CardSearch : public Search {
 public:
  std::vector<StorageCard> cards;
  size_t next = 0;
};

FILETIME fileTimeOf(const timespec &when) {
  // 100 ns units since 1601-01-01.
  uint64_t ticks = (static_cast<uint64_t>(when.tv_sec) + 11644473600ull) * 10000000ull +
                   static_cast<uint64_t>(when.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void describe(const std::string &root, const StorageCard &card, LPWIN32_FIND_DATAW data) {
  std::memset(data, 0, sizeof(*data));
  data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  struct stat info;
  if (!card.hostName.empty() && stat((root + "/" + card.hostName).c_str(), &info) == 0) {
    data->ftCreationTime = fileTimeOf(info.st_ctim);
    data->ftLastAccessTime = fileTimeOf(info.st_atim);
    data->ftLastWriteTime = fileTimeOf(info.st_mtim);
  }
  size_t n = std::min(card.name.size(), static_cast<size_t>(MAX_PATH - 1));
  std::memcpy(data->cFileName, card.name.data(), n * sizeof(WCHAR));
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" HANDLE WINAPI FindFirstFlashCard(LPWIN32_FIND_DATAW findData) {
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::shared_ptr<const VolumeLayout> layout = currentLayout();
  if (layout->cards.empty()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_shared<CardSearch>();
  search->cards = layout->cards;
  search->next = 1;
  describe(layout->root, search->cards[0], findData);
  std::lock_guard<std::mutex> guard(kernelLock);
  return addHandleLocked(search);
}

extern "C" BOOL WINAPI FindNextFlashCard(HANDLE handle, LPWIN32_FIND_DATAW findData) {
  std::lock_guard<std::mutex> guard(kernelLock);
  std::shared_ptr<CardSearch> search = handleObjectLocked<CardSearch>(handle);
  if (!search || !findData) {
    SetLastError(search ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (search->next >= search->cards.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  describe(currentLayout()->root, search->cards[search->next++], findData);
  return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE handle) {
  std::shared_ptr<KernelObject> released;
  {
    std::lock_guard<std::mutex> guard(kernelLock);
    if (!handleObjectLocked<Search>(handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    released = removeHandleLocked(handle);
  }
  return TRUE;
}

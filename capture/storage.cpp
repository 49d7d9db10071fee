#include "capture/storage.h"

#include <cewchar.h>
#include <projects.h>

#include <cstdio>
#include <cstdlib>

StorageList g_StorageList;

namespace {

constexpr WCHAR kMyDocuments[] = TEXT("\\My Documents");
constexpr size_t kMyDocumentsUnits = sizeof kMyDocuments / sizeof(WCHAR) - 1;

// Appends an entry with zeroed path and label buffers; false when memory ran out.
StorageEntry *AddEntry(StorageList &list) {
  StorageEntry &entry = list.entries[list.count];
  entry.path = static_cast<WCHAR *>(calloc(kStoragePathUnits, sizeof(WCHAR)));
  entry.label = static_cast<char *>(calloc(kStorageLabelBytes, 1));
  if (!entry.path || !entry.label) {
    free(entry.path);
    free(entry.label);
    entry = StorageEntry{};
    return nullptr;
  }
  ++list.count;
  return &entry;
}

}  // namespace

uint32_t BuildStorageList(StorageList &list) {
  for (uint32_t i = 0; i < list.count; ++i) {
    free(list.entries[i].path);
    free(list.entries[i].label);
    list.entries[i] = StorageEntry{};
  }
  list.count = 0;

  StorageEntry *device = AddEntry(list);
  if (!device) return 0;
  wcscpy(device->path, kMyDocuments);
  snprintf(device->label, kStorageLabelBytes, "\\My Documents\\My..");

  // A card becomes "\" + its name; one whose finished path would not fit its buffer is left out.
  WIN32_FIND_DATAW card;
  HANDLE search = FindFirstFlashCard(&card);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const size_t length = wcslen(card.cFileName);
      if (length == 0 || 1 + length + kMyDocumentsUnits >= kStoragePathUnits) continue;
      StorageEntry *entry = AddEntry(list);
      if (!entry) break;
      entry->path[0] = TEXT('\\');
      wcscpy(entry->path + 1, card.cFileName);
    } while (list.count < kMaxStorages && FindNextFlashCard(search, &card));
    FindClose(search);
  }

  for (uint32_t i = 1; i < list.count; ++i) {
    StorageEntry &entry = list.entries[i];
    char narrow[kStoragePathUnits];
    bool sevenBit = true;
    size_t n = 0;
    for (; entry.path[n]; ++n) {
      sevenBit = sevenBit && entry.path[n] < 128;
      narrow[n] = char(entry.path[n]);
    }
    narrow[n] = 0;
    if (sevenBit)
      snprintf(entry.label, kStorageLabelBytes, "%s\\My..", narrow);
    else
      snprintf(entry.label, kStorageLabelBytes, "\\Storage%u\\My..", unsigned(i));
    wcscat(entry.path, kMyDocuments);
  }
  return list.count;
}

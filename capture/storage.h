// The storages pictures and videos can be written to: the device's own "\My Documents" and
// up to nine storage cards, with the labels the settings menu shows for them.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr uint32_t kMaxStorages = 10;
constexpr uint32_t kStoragePathUnits = 128;  // 256-byte buffer
constexpr uint32_t kStorageLabelBytes = 128;

struct StorageEntry {
  WCHAR *path;  // root of the storage's "My Pictures" and "My Videos", e.g. "\Storage Card\My Documents"
  char *label;  // e.g. "\Storage Card\My.."
};

struct StorageList {
  StorageEntry entries[kMaxStorages];
  uint32_t count;
};

extern StorageList g_StorageList;

// Frees the previous entries and lists "\My Documents" and then every storage card with a
// non-empty name, at most ten storages in all. Returns the entry count.
uint32_t BuildStorageList(StorageList &list);

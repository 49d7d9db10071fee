#include "files/volumes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "crt/text.h"
#include "device/profile.h"
#include "files/own_files.h"

namespace platform {

namespace fs = std::filesystem;

uint64_t treeSize(const std::string &hostPath, const std::function<bool(const std::string &)> &excludedTopLevel) {
  struct stat info;
  if (lstat(hostPath.c_str(), &info) != 0) return 0;
  if (S_ISREG(info.st_mode)) return static_cast<uint64_t>(info.st_size);
  if (!S_ISDIR(info.st_mode)) return 0;
  uint64_t total = 0;
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(hostPath, error)) {
    if (excludedTopLevel && excludedTopLevel(entry.path().filename().string())) continue;
    total += treeSize(entry.path().string());
  }
  return total;
}

Volume::Volume(const std::string &hostRoot, uint64_t capacity,
               const std::function<bool(const std::string &)> &excluded)
    : capacity_(capacity), used_(treeSize(hostRoot, excluded)) {}

uint64_t Volume::reserve(uint64_t bytes) {
  uint64_t now = used_.load(std::memory_order_relaxed);
  uint64_t granted;
  do {
    uint64_t free = capacity_ > now ? capacity_ - now : 0;
    granted = std::min(bytes, free);
  } while (!used_.compare_exchange_weak(now, now + granted, std::memory_order_relaxed));
  return granted;
}

void Volume::release(uint64_t bytes) {
  uint64_t now = used_.load(std::memory_order_relaxed);
  while (!used_.compare_exchange_weak(now, now > bytes ? now - bytes : 0, std::memory_order_relaxed)) {
  }
}

namespace {

[[noreturn]] void profileFault(const device::Profile &profile, const device::ProfileEntry &entry,
                               const std::string &message) {
  device::stopOnBadSetting("handset profile error: " + profile.where(entry) + ": " + entry.key + ": " + message);
}

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  size_t e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// "Name, capacity" or "Name" (no emulated capacity).
StorageCard cardOf(const device::Profile &profile, const device::ProfileEntry &entry,
                   const std::string &root) {
  StorageCard card;
  size_t comma = entry.value.rfind(',');
  card.hostName = trim(entry.value.substr(0, comma));
  card.name = toUtf16(card.hostName);
  if (card.hostName.find_first_of("\\/:*?\"<>|") != std::string::npos || card.hostName == "." ||
      card.hostName == ".." || emulatorFile(card.name))
    profileFault(profile, entry, "\"" + card.hostName + "\" cannot name a storage card");
  uint64_t capacity = 0;
  if (comma != std::string::npos) {
    try {
      capacity = profile.parseNumber(entry, trim(entry.value.substr(comma + 1)));
    } catch (const device::ProfileError &error) {
      device::stopOnBadSetting(std::string("handset profile error: ") + error.what());
    }
  }
  if (!card.hostName.empty()) {
    std::string folder = root + "/" + card.hostName;
    mkdir(folder.c_str(), 0777);
    if (capacity) card.volume = std::make_shared<Volume>(folder, capacity, nullptr);
  }
  return card;
}

std::mutex layoutLock;
std::shared_ptr<const VolumeLayout> layout;
std::string layoutKey;

}  // namespace

std::shared_ptr<const VolumeLayout> currentLayout() {
  const std::string &root = device::root();
  const device::Profile &profile = device::current();
  std::string key = root + '\n' + profile.text("memory");
  for (const std::string &card : profile.all("storage_card")) key += '\n' + card;
  std::lock_guard<std::mutex> guard(layoutLock);
  if (layout && key == layoutKey) return layout;
  auto built = std::make_shared<VolumeLayout>();
  built->root = root;
  std::vector<std::string> cardFolders;
  for (const device::ProfileEntry &entry : profile.entries()) {
    if (entry.key != "storage_card") continue;
    built->cards.push_back(cardOf(profile, entry, root));
    if (!built->cards.back().hostName.empty()) cardFolders.push_back(built->cards.back().hostName);
  }
  uint64_t memory = profile.number("memory", 0);
  // The memory is what the root holds besides the cards and the emulator's own files.
  auto excluded = [&cardFolders](const std::string &name) {
    return std::find(cardFolders.begin(), cardFolders.end(), name) != cardFolders.end() ||
           emulatorFile(toUtf16(name));
  };
  if (memory) built->memory = std::make_shared<Volume>(root, memory, excluded);
  layout = built;
  layoutKey = key;
  return layout;
}

}  // namespace platform

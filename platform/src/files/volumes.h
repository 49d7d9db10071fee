// The handset's storage volumes: the device's own memory (everything in the device root outside
// the cards) and each storage card, with the capacities the profile gives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A volume with a capacity. Its usage is the size of its files, counted once when the volume is
// set up and kept current by the platform's own writes, truncations, deletions and moves.
class Volume {
 public:
  // `excluded`: what lies directly in hostRoot but not on the volume (other volumes' folders).
  Volume(const std::string &hostRoot, uint64_t capacity, const std::function<bool(const std::string &)> &excluded);
  uint64_t capacity() const { return capacity_; }
  uint64_t used() const { return used_.load(std::memory_order_relaxed); }
  // Takes up to `bytes` of the free space; returns how much it took.
  uint64_t reserve(uint64_t bytes);
  void release(uint64_t bytes);

 private:
  const uint64_t capacity_;
  std::atomic<uint64_t> used_;
};

struct StorageCard {
  std::u16string name;   // as the enumeration reports it; may be empty
  std::string hostName;  // its folder in the device root
  std::shared_ptr<Volume> volume;  // null when the profile gives no capacity
};

// The volumes of the running profile in the current device root.
struct VolumeLayout {
  std::string root;
  std::shared_ptr<Volume> memory;  // null when the profile gives no "memory"
  std::vector<StorageCard> cards;
};

// Rebuilt when the device root or the profile's memory and card entries change.
std::shared_ptr<const VolumeLayout> currentLayout();

// The bytes of the regular files below a host path (the path itself when it is a file), without
// the entries directly in it that `excludedTopLevel` names.
uint64_t treeSize(const std::string &hostPath,
                  const std::function<bool(const std::string &)> &excludedTopLevel = nullptr);

}  // namespace platform

// The physical memory map: SDRAM as one sparse memory file with a first-fit page allocator,
// and register blocks of their own. Regions are never unmapped, so addresses handed out stay
// valid until the process ends (static destructors included).
#include "device/physical.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "lcd/lcd_registers.h"

namespace device {
namespace {

struct Region {
  uint64_t base;
  uint64_t length;
  int fd;
  uint8_t *host;
};

int makeMemoryFile(const char *name, uint64_t bytes) {
  int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0)
    throw std::runtime_error(std::string("handset: cannot create physical memory ") + name + ": " +
                             std::strerror(errno));
  return fd;
}

uint8_t *mapShared(int fd, uint64_t bytes) {
  void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) throw std::runtime_error(std::string("handset: cannot map physical memory: ") + std::strerror(errno));
  return static_cast<uint8_t *>(p);
}

class MemoryMap {
 public:
  MemoryMap() {
    int fd = makeMemoryFile("handset-sdram", kSdramBytes);
    regions_.push_back({kSdramBase, kSdramBytes, fd, mapShared(fd, kSdramBytes)});
    free_[0] = kSdramBytes;
  }

  std::mutex lock;

  const Region *find(uint64_t address, uint64_t length) const {
    for (const Region &r : regions_)
      if (address >= r.base && length <= r.length && address - r.base <= r.length - length) return &r;
    return nullptr;
  }

  Region &add(uint64_t address, uint64_t bytes) {
    for (Region &r : regions_)
      if (r.base == address) return r;
    int fd = makeMemoryFile("handset-registers", bytes);
    regions_.push_back({address, bytes, fd, mapShared(fd, bytes)});
    return regions_.back();
  }

  // First fit over the free spans of SDRAM (offset → length).
  uint64_t allocate(uint64_t bytes) {
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      if (it->second < bytes) continue;
      const uint64_t offset = it->first, rest = it->second - bytes;
      free_.erase(it);
      if (rest) free_[offset + bytes] = rest;
      return offset;
    }
    throw std::bad_alloc();
  }

  void release(uint64_t offset, uint64_t bytes) {
    // The block reads as zeros when it is handed out again.
    std::memset(regions_[0].host + offset, 0, bytes);
    auto next = free_.emplace(offset, bytes).first;
    if (auto after = std::next(next); after != free_.end() && next->first + next->second == after->first) {
      next->second += after->second;
      free_.erase(after);
    }
    if (next != free_.begin()) {
      auto before = std::prev(next);
      if (before->first + before->second == next->first) {
        before->second += next->second;
        free_.erase(next);
      }
    }
  }

  uint8_t *sdramHost() const { return regions_[0].host; }

 private:
  std::vector<Region> regions_;
  std::map<uint64_t, uint64_t> free_;
};

// Never destroyed: blocks may be released by static destructors of other files.
MemoryMap &memoryMap() {
  static MemoryMap *map = new MemoryMap;
  return *map;
}

uint64_t wholePages(uint64_t bytes) { return (bytes + kPageBytes - 1) & ~(kPageBytes - 1); }

}  // namespace

bool findPhysical(uint64_t address, uint64_t length, PhysicalRange *out) {
  if (length == 0) return false;
  if (!ensureRegisters(address)) return false;
  MemoryMap &map = memoryMap();
  std::lock_guard<std::mutex> guard(map.lock);
  const Region *r = map.find(address, length);
  if (!r) return false;
  *out = {r->fd, address - r->base};
  return true;
}

volatile uint32_t *mapRegisterBlock(uint64_t address, size_t bytes) {
  MemoryMap &map = memoryMap();
  std::lock_guard<std::mutex> guard(map.lock);
  return reinterpret_cast<volatile uint32_t *>(map.add(address, wholePages(bytes)).host);
}

PhysicalBlock::PhysicalBlock(size_t bytes) {
  MemoryMap &map = memoryMap();
  const uint64_t length = wholePages(bytes ? bytes : 1);
  std::lock_guard<std::mutex> guard(map.lock);
  const uint64_t offset = map.allocate(length);
  data_ = map.sdramHost() + offset;
  address_ = kSdramBase + offset;
  size_ = bytes;
}

PhysicalBlock::~PhysicalBlock() { release(); }

PhysicalBlock::PhysicalBlock(PhysicalBlock &&other) noexcept
    : data_(other.data_), address_(other.address_), size_(other.size_) {
  other.data_ = nullptr;
}

PhysicalBlock &PhysicalBlock::operator=(PhysicalBlock &&other) noexcept {
  if (this != &other) {
    release();
    data_ = other.data_;
    address_ = other.address_;
    size_ = other.size_;
    other.data_ = nullptr;
  }
  return *this;
}

void PhysicalBlock::release() {
  if (!data_) return;
  MemoryMap &map = memoryMap();
  std::lock_guard<std::mutex> guard(map.lock);
  map.release(address_ - kSdramBase, wholePages(size_ ? size_ : 1));
  data_ = nullptr;
}

}  // namespace device

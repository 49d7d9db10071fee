// The handset's physical address space: its RAM (SDRAM at 0xA0000000) and the register blocks
// of its devices. Every region lies in a memory file, so that the platform can map a physical
// range into a program (VirtualCopy) and both sides see the same bytes. Regions and blocks
// start on page boundaries. This is the device's control API; product code never includes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace device {

constexpr uint64_t kPageBytes = 4096;
constexpr uint64_t kSdramBase = 0xA0000000;
constexpr uint64_t kSdramBytes = 64u << 20;

// Where a physical range lies: the memory file and the range's offset in it.
struct PhysicalRange {
  int fd;
  uint64_t offset;
};
// False when [address, address + length) is not entirely inside one region.
bool findPhysical(uint64_t address, uint64_t length, PhysicalRange *out);

// A zero-filled, page-aligned block of the handset's RAM for the emulated devices' own use
// (the display's frame buffer, DMA descriptors, overlay planes). Freed with the object.
class PhysicalBlock {
 public:
  PhysicalBlock() = default;
  // Throws std::bad_alloc when the RAM has no room left.
  explicit PhysicalBlock(size_t bytes);
  ~PhysicalBlock();
  PhysicalBlock(PhysicalBlock &&other) noexcept;
  PhysicalBlock &operator=(PhysicalBlock &&other) noexcept;
  PhysicalBlock(const PhysicalBlock &) = delete;
  PhysicalBlock &operator=(const PhysicalBlock &) = delete;

  uint8_t *data() const { return data_; }
  uint64_t address() const { return address_; }  // physical
  size_t size() const { return size_; }

 private:
  void release();
  uint8_t *data_ = nullptr;
  uint64_t address_ = 0;
  size_t size_ = 0;
};

// The same as an array of T.
template <typename T>
class PhysicalArray {
 public:
  explicit PhysicalArray(size_t count) : block_(count * sizeof(T)) {}
  T *get() const { return reinterpret_cast<T *>(block_.data()); }
  T &operator[](size_t i) const { return get()[i]; }
  uint64_t address() const { return block_.address(); }

 private:
  PhysicalBlock block_;
};

// A device's register block at a fixed physical address: `bytes` (whole pages) of a memory file
// of its own, zero-filled. Returns the host address of the registers; the block lives until the
// process ends. A second call for the same address returns the same block.
volatile uint32_t *mapRegisterBlock(uint64_t address, size_t bytes);

}  // namespace device

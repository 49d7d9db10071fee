// What the fuzz targets share: a reader that takes an input apart into the pieces a target
// needs, a handset of its own in a temporary folder, and the check that stops a run when a
// property of the code under test does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Takes bytes from the front of an input; past its end every piece is zero or empty.
class Reader {
 public:
  Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  size_t left() const { return size_ - at_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t u16() { return uint32_t(byte()) | uint32_t(byte()) << 8; }
  uint32_t u32() { return u16() | u16() << 16; }
  std::string bytes(size_t count) {
    count = count < left() ? count : left();
    std::string out(reinterpret_cast<const char *>(data_ + at_), count);
    at_ += count;
    return out;
  }
  // The bytes up to the next newline (which is consumed), or to the end.
  std::string line() {
    size_t end = at_;
    while (end < size_ && data_[end] != '\n') ++end;
    std::string out(reinterpret_cast<const char *>(data_ + at_), end - at_);
    at_ = end < size_ ? end + 1 : end;
    return out;
  }
  std::string rest() { return bytes(left()); }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

// A handset in a fresh temporary folder (root and program directory), removed at exit, running
// the profile given as text.
void useTemporaryHandset(const std::string &profile);
// The handset's root folder on the host.
const std::string &handsetRoot();

// Ends the run as a crash when a property the target checks does not hold.
[[noreturn]] void fail(const char *what, const std::string &detail = "");
inline void check(bool holds, const char *what, const std::string &detail = "") {
  if (!holds) fail(what, detail);
}

}  // namespace fuzz

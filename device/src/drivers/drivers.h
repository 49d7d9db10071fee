// The camera drivers behind device::openDriver.
#pragma once

#include <memory>

#include "device/drivers.h"

namespace device::drivers {

IoStatus openLcm(uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle);
IoStatus openDsc(uint32_t access, uint32_t share, std::unique_ptr<DriverHandle> *handle);

// Whether a new open with (access, share) may join opens whose accesses and shares are combined in
// (heldAccess, heldShare): each side must share what the other asks for.
inline bool shareable(int opens, uint32_t heldAccess, uint32_t heldShare, uint32_t access, uint32_t share) {
  if (!opens) return true;
  auto shares = [](uint32_t shareBits, uint32_t accessBits) {
    return (!(accessBits & kDriverRead) || (shareBits & kShareRead)) &&
           (!(accessBits & kDriverWrite) || (shareBits & kShareWrite));
  };
  return shares(heldShare, access) && shares(share, heldAccess);
}

}  // namespace device::drivers

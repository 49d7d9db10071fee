// Between the memory map and the devices whose registers appear on demand.
#pragma once

#include <cstdint>

namespace device {

// Makes the register block that holds `address` when a device of the handset owns it; false
// when the address belongs to a device this handset does not have.
bool ensureRegisters(uint64_t address);

}  // namespace device

// The LCD overlay set-up: HANDSET_LCD_OVERLAY's "N:FORMAT:WxH+X+Y" on the first line, shown by
// the emulated controller, then the controller's registers rewritten as a program may (the rest
// of the input: register and value pairs) while the screen source follows the plane on top and
// converts it. The screen source reads only what the descriptors mapped.
#include "camera/lcd_planes.h"
#include "device/lcd.h"
#include "support.h"

namespace {

// The registers a program sets to size and show the planes; the descriptors stay the
// controller's own.
const uint32_t kRegisters[] = {device::LCCR1,  device::LCCR2,  device::LCCR3,  device::OVL1C1,
                               device::OVL1C2, device::OVL2C1, device::OVL2C2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static device::LcdController *lcd = [] {
    fuzz::useTemporaryHandset("display = 240x320\nprocessor_name = PXA270\n");
    return device::lcdController();
  }();
  fuzz::check(lcd != nullptr, "a PXA270 handset has an LCD controller");
  lcd->hideOverlay(1);
  lcd->hideOverlay(2);
  lcd->syncBasePlane();

  fuzz::Reader in(data, size);
  const std::string text = in.line();
  device::OverlaySetup setup;
  std::string error;
  if (device::parseOverlaySetup(text, &setup, &error)) {
    fuzz::check(setup.overlay == 1 || setup.overlay == 2, "an overlay is 1 or 2");
    fuzz::check(setup.width >= 1 && setup.width <= 1024 && setup.height >= 1 && setup.height <= 1024,
                "an overlay's size lies within 1024 x 1024");
    lcd->showOverlay(setup);
  } else {
    fuzz::check(!error.empty(), "a refused set-up says why");
  }

  LcdPlanes *planes = LcdPlanes::Create();
  fuzz::check(planes != nullptr, "the screen source maps the LCD registers");
  uint32_t capacity = 64;
  uint8_t *buffer = static_cast<uint8_t *>(std::malloc(capacity));
  for (int round = 0; round < 4; ++round) {
    FrameDesc frame{};
    planes->Choose(&buffer, &capacity);
    if (planes->Convert(buffer, capacity, &frame))
      fuzz::check(frame.data == buffer && frame.size <= capacity, "a frame lies in the buffer");
    for (int writes = in.byte() % 4; writes > 0 && in.left() >= 5; --writes) {
      const uint32_t offset = kRegisters[in.byte() % (sizeof kRegisters / sizeof kRegisters[0])];
      lcd->write(offset, in.u32());
    }
  }
  delete planes;
  std::free(buffer);
  return 0;
}

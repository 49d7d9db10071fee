// The display's front ends. Headless keeps the frame buffer to itself; "sdl" shows it in a
// desktop window (device/src/desktop/). Both write the last picture to HANDSET_SCREENSHOT when
// the display closes.
#include <cstdio>
#include <cstdlib>

#include "desktop/sdl_window.h"
#include "device/display.h"

namespace device {
namespace {

class Headless : public FrontEnd {
 public:
  void close(const Display &display) override { saveScreenshotAtClose(display); }
};

}  // namespace

void saveScreenshotAtClose(const Display &display) {
  const char *path = std::getenv("HANDSET_SCREENSHOT");
  if (path && *path && !display.savePng(path)) std::fprintf(stderr, "handset: cannot write the screenshot %s\n", path);
}

const std::vector<FrontEndEntry> &frontEnds() {
  static const std::vector<FrontEndEntry> table = {
      {"headless", [] { return std::unique_ptr<FrontEnd>(new Headless); }},
      {"sdl", createSdlWindow},
  };
  return table;
}

}  // namespace device

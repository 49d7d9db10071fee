// The display's front ends. Headless keeps the frame buffer to itself; with HANDSET_SCREENSHOT
// set it writes the last picture there as a PNG when the display closes.
#include <cstdio>
#include <cstdlib>

#include "device/display.h"

namespace device {
namespace {

class Headless : public FrontEnd {
 public:
  void close(const Display &display) override {
    const char *path = std::getenv("HANDSET_SCREENSHOT");
    if (path && *path && !display.savePng(path))
      std::fprintf(stderr, "handset: cannot write the screenshot %s\n", path);
  }
};

}  // namespace

const std::vector<FrontEndEntry> &frontEnds() {
  static const std::vector<FrontEndEntry> table = {
      {"headless", [] { return std::unique_ptr<FrontEnd>(new Headless); }},
  };
  return table;
}

}  // namespace device

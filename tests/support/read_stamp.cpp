// Prints the camera's frame stamp of each JPEG file named: "FILE frame N ms T", or "FILE no stamp".
// Exit code 1 when a file had none.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/support/stamp.h"

int main(int argc, char **argv) {
  int missing = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (const auto stamp = ReadFrameStampFromJpeg(jpeg)) {
      std::printf("%s frame %u ms %u\n", argv[i], stamp->frame, stamp->ms);
    } else {
      std::printf("%s no stamp\n", argv[i]);
      missing = 1;
    }
  }
  return missing;
}

#include "tests/support/stamp.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

#include "device/frame_stamp.h"

std::optional<device::FrameStamp> ReadFrameStamp(const uint8_t *rgb, int width, int height) {
  using namespace device;
  auto luma = [&](double x, double y) {
    const int px = std::clamp(int(x), 0, width - 1), py = std::clamp(int(y), 0, height - 1);
    const uint8_t *p = rgb + (size_t(py) * width + px) * 3;
    return (p[0] + p[1] + p[2]) / 3;
  };
  // Each of the eight ways the stamped picture may lie: turned a quarter (the grid's columns
  // then run down the picture), mirrored across, mirrored down.
  for (int way = 0; way < 8; ++way) {
    const bool turned = way & 1, mirrorX = way & 2, mirrorY = way & 4;
    const int stampedWidth = turned ? height : width, stampedHeight = turned ? width : height;
    const StampGeometry g = stampGeometry(stampedWidth, stampedHeight);
    bool bits[kStampBits];
    for (int row = 0; row < kStampRows; ++row)
      for (int column = 0; column < kStampColumns; ++column) {
        double x = g.left + (column + 0.5) * g.cell, y = g.top + (row + 0.5) * g.cell;
        if (turned) std::swap(x, y);
        if (mirrorX) x = width - x;
        if (mirrorY) y = height - y;
        bits[row * kStampColumns + column] = luma(x, y) >= 128;
      }
    FrameStamp stamp;
    if (stampFromBits(bits, stamp)) return stamp;
  }
  return std::nullopt;
}

std::optional<device::FrameStamp> ReadFrameStampFromJpeg(const std::vector<uint8_t> &jpeg) {
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colours = 0;
  std::optional<device::FrameStamp> stamp;
  if (handle && tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colours) == 0) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    if (tjDecompress2(handle, jpeg.data(), jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, 0) == 0)
      stamp = ReadFrameStamp(rgb.data(), width, height);
  }
  if (handle) tjDestroy(handle);
  return stamp;
}

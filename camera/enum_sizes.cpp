#include "camera/enum_sizes.h"

#include "app/device.h"

namespace {

struct Size {
  uint32_t width, height;
};

constexpr Size kSizes[] = {{160, 120}, {176, 144}, {320, 240},   {352, 288},
                           {640, 480}, {1280, 960}, {1280, 1024}, {1600, 1200}};

constexpr uint32_t kModelJpeg = 11;
constexpr uint32_t kModelSmallNativeOnSmartphone = 13;
constexpr uint32_t kLastModel = 14;
constexpr uint32_t kSmallCameraMode = 2;
constexpr Size kSmallMode = {352, 288};

struct ModelSizes {
  Size largest, native;
};

// By model code 0 to 14.
constexpr ModelSizes kModels[kLastModel + 1] = {
    {{1280, 960}, {1280, 960}},    // 0
    {{1280, 960}, {1280, 960}},    // 1
    {{1280, 960}, {640, 480}},     // 2
    {{1280, 1024}, {1280, 1024}},  // 3
    {{1600, 1200}, {640, 480}},    // 4
    {{1280, 1024}, {640, 480}},    // 5
    {{1280, 1024}, {1280, 1024}},  // 6
    {{640, 480}, {352, 288}},      // 7
    {{1280, 1024}, {352, 288}},    // 8
    {{1280, 1024}, {352, 288}},    // 9
    {{1280, 1024}, {352, 288}},    // 10
    {{1600, 1200}, {1600, 1200}},  // 11
    {{1280, 960}, {1280, 960}},    // 12
    {{1280, 1024}, {640, 480}},    // 13 (352 × 288 on a smartphone)
    {{1280, 960}, {1280, 960}},    // 14
};

}  // namespace

uint32_t EnumSizes(SizeEntry *sizes, uint32_t *count, const DeviceRecord &device, uint32_t cameraMode,
                   SensorModes *modes) {
  const uint32_t model = device.modelCode;
  if (model > kLastModel) return 0;
  Size largest = kModels[model].largest;
  if (largest.width > sizes[0].width || largest.height > sizes[0].height)
    largest = {sizes[0].width, sizes[0].height};
  if (cameraMode == kSmallCameraMode) largest = kSmallMode;
  const bool jpeg = model == kModelJpeg;
  const uint32_t format = jpeg ? FORMAT_IJPG : FORMAT_UYVY;

  const uint32_t capacity = *count;
  uint32_t n = 0;
  for (const Size &s : kSizes) {
    if (s.width > largest.width || s.height > largest.height) break;
    if (s.width == 1280 && s.height == 960 && largest.height >= 1024) continue;
    if (jpeg && cameraMode == kSmallCameraMode && (s.width == 352 || s.width == 176)) continue;
    if (n < capacity) sizes[n++] = {s.width, s.height, format};
  }
  *count = n;
  Size native = kModels[model].native;
  if (model == kModelSmallNativeOnSmartphone && device.smartphone) native = kSmallMode;
  *modes = {native.width, native.height, jpeg};
  return 1;
}

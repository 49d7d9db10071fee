#include "camera/camera_options.h"

#include <iterator>

namespace {

constexpr RowDefinition kProp1Rows[] = {{1, nullptr, 1}, {2, nullptr, 2}, {3, nullptr, 4}};
constexpr RowDefinition kProp2Rows[] = {{5, nullptr, 1}, {6, nullptr, 2}, {7, nullptr, 4}, {8, nullptr, 8}};
constexpr RowDefinition kProp10Rows[] = {
    {16, nullptr, 1}, {17, nullptr, 2}, {18, nullptr, 4}, {19, nullptr, 8}, {20, nullptr, 16}};
constexpr RowDefinition kProp10AltRows[] = {{22, nullptr, 1}, {23, nullptr, 128}};
constexpr int32_t kProp10AltSmartphone = 32;
constexpr RowDefinition kExposureRows[] = {{25, nullptr, 2}, {26, nullptr, 4}, {27, nullptr, 6}};
constexpr RowDefinition kAspectRows[] = {
    {-1, "4:3", 0}, {-1, "3:4", 1}, {-1, "16:9", 2}, {-1, "9:16", 3}, {-1, "1:1", 4}};
constexpr RowDefinition kCameraModeRows[] = {{42, nullptr, 1}, {43, nullptr, 2}};
constexpr RowDefinition kFlashRows[] = {{29, nullptr, 0}, {30, nullptr, 1}};
constexpr RowDefinition kFullResRows[] = {{33, nullptr, 0}, {34, nullptr, 1}};

// The rows tables of the single Camera; Prop10's first value follows Prop10Alt at run time.
OptionRow s_prop1[std::size(kProp1Rows)];
OptionRow s_prop2[std::size(kProp2Rows)];
OptionRow s_prop10[std::size(kProp10Rows)];
OptionRow s_prop10Alt[std::size(kProp10AltRows)];
OptionRow s_exposure[std::size(kExposureRows)];
OptionRow s_aspect[std::size(kAspectRows)];
OptionRow s_cameraMode[std::size(kCameraModeRows)];
OptionRow s_flash[std::size(kFlashRows)];
OptionRow s_fullRes[std::size(kFullResRows)];

constexpr OptionList Camera::*kCameraLists[] = {
    &Camera::Prop4,           &Camera::Prop5,          &Camera::Prop7,         &Camera::Prop8,
    &Camera::Prop6,           &Camera::Prop9,          &Camera::Prop1,         &Camera::Prop2,
    &Camera::Prop10,          &Camera::Prop10Alt,      &Camera::ExposurePreview,
    &Camera::ExposureStill,   &Camera::PreviewSize,    &Camera::StillSize,     &Camera::PreviewAspect,
    &Camera::StillAspect,     &Camera::CameraMode,     &Camera::Flash,         &Camera::FullResPreview};
static_assert(std::size(kCameraLists) == kCameraOptionCount);

template <size_t N>
void Labelled(OptionList &list, OptionRow (&rows)[N], const RowDefinition (&def)[N], uint32_t defaultRow,
              const char *const *language) {
  FillRows(rows, def, N, language);
  ShapeTable(list, rows, N, defaultRow);
}

}  // namespace

void InitCameraOptions(Camera &camera, const DeviceRecord &device, bool screenCapture,
                       const char *const *language) {
  ShapeArithmetic(camera.Prop4, 9, 1, 1, 4);
  ShapeArithmetic(camera.Prop5, 9, 1, 1, 4);
  ShapeArithmetic(camera.Prop7, 8, 1, 1, 4);
  ShapeArithmetic(camera.Prop8, 11, 0, 1, 0);
  ShapeArithmetic(camera.Prop6, 9, 1, 1, 3);
  ShapeArithmetic(camera.Prop9, 15, 1, 1, 0);
  Labelled(camera.Prop1, s_prop1, kProp1Rows, 0, language);
  Labelled(camera.Prop2, s_prop2, kProp2Rows, 0, language);
  Labelled(camera.Prop10, s_prop10, kProp10Rows, 0, language);
  Labelled(camera.Prop10Alt, s_prop10Alt, kProp10AltRows, 0, language);
  if (device.smartphone) s_prop10Alt[1].value = kProp10AltSmartphone;
  Labelled(camera.ExposurePreview, s_exposure, kExposureRows, 0, language);
  ShapeTable(camera.ExposureStill, s_exposure, std::size(s_exposure), 1);
  ShapeArithmetic(camera.PreviewSize, 100, 0, 1, 0);
  ShapeArithmetic(camera.StillSize, 100, 0, 1, 0);
  Labelled(camera.PreviewAspect, s_aspect, kAspectRows, 0, language);
  ShapeTable(camera.StillAspect, s_aspect, std::size(s_aspect), 0);
  Labelled(camera.CameraMode, s_cameraMode, kCameraModeRows, 0, language);
  Labelled(camera.Flash, s_flash, kFlashRows, 0, language);
  Labelled(camera.FullResPreview, s_fullRes, kFullResRows, 0, language);

  const uint32_t model = device.modelCode;
  if (model == 9 || model == 10) {
    ShapeArithmetic(camera.Prop6, 10, 0, 1, 4);
    ShapeArithmetic(camera.Prop7, 10, 0, 1, 4);
  } else if (model == 14) {
    ShapeArithmetic(camera.Prop5, 9, 0, 1, 4);
    ShapeArithmetic(camera.Prop4, 7, 0, 1, 4);
  }
  if (model == 5 || model == 6 || model == 9 || model == 10 || model == 12)
    ShapeArithmetic(camera.Prop5, 18, 0, 15, 8);
  if (model == 14 || screenCapture) {
    camera.PreviewAspect.count = 1;
    camera.StillAspect.count = 1;
  }

  for (OptionList Camera::*list : kCameraLists) (camera.*list).index = -1;
}

void ShapeProp5AfterProbe(Camera &camera, bool accepted) {
  OptionList &prop5 = camera.Prop5;
  if (accepted)
    ShapeArithmetic(prop5, 18, 0, 15, 8);
  else
    ShapeArithmetic(prop5, 9, 0, 1, 4);
  int32_t index = prop5.index;
  if (index < 0 || uint32_t(index) == prop5.defaultRow || uint32_t(index) >= prop5.count)
    prop5.index = -1;
}

uint32_t CameraPropertyId(const Camera &camera, const OptionList &list, uint32_t modelCode) {
  const bool swapped = modelCode == 14;
  if (&list == &camera.Prop4) return swapped ? 5 : 4;
  if (&list == &camera.Prop5) return swapped ? 4 : 5;
  if (&list == &camera.Prop6) return 6;
  if (&list == &camera.Prop7) return 7;
  if (&list == &camera.Prop8) return 8;
  if (&list == &camera.Prop9) return 9;
  if (&list == &camera.Prop1) return 1;
  if (&list == &camera.Prop2) return 2;
  if (&list == &camera.Prop10 || &list == &camera.Prop10Alt) return 10;
  return 0;
}

void SetProp10FirstRow(int32_t value) { s_prop10[0].value = value; }

// The Camera's option lists: rows, defaults and the shapes that depend on the device.
#include <gtest/gtest.h>

#include <vector>

#include "camera/camera_options.h"

namespace {

struct Shape {
  uint32_t count;
  int32_t first;  // value of row 0
  int32_t step;
  uint32_t defaultRow;
};

Shape ShapeOf(const OptionList &list) {
  return {list.count, list.base, list.step, list.defaultRow};
}

bool operator==(const Shape &a, const Shape &b) {
  return a.count == b.count && a.first == b.first && a.step == b.step && a.defaultRow == b.defaultRow;
}

std::vector<int32_t> Values(OptionList &list) {
  std::vector<int32_t> values;
  const int32_t saved = list.index;
  for (uint32_t row = 0; row < list.count; ++row) {
    list.index = int32_t(row);
    values.push_back(OptionValue(list));
  }
  list.index = saved;
  return values;
}

class CameraOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < 169; ++n) language_[n] = labels_[n].assign("L" + std::to_string(n)).c_str();
  }
  Camera &init(uint32_t model, bool smartphone = false, bool screenCapture = false) {
    DeviceRecord device = {};
    device.modelCode = model;
    device.smartphone = smartphone;
    InitCameraOptions(camera_, device, screenCapture, language_);
    return camera_;
  }
  Camera camera_{};
  std::string labels_[169];
  const char *language_[169];
};

TEST_F(CameraOptions, ArithmeticListsFollowTheModel) {
  struct Case {
    uint32_t model;
    Shape prop4, prop5, prop6, prop7;
  } cases[] = {
      {24, {9, 1, 1, 4}, {9, 1, 1, 4}, {9, 1, 1, 3}, {8, 1, 1, 4}},
      {0, {9, 1, 1, 4}, {9, 1, 1, 4}, {9, 1, 1, 3}, {8, 1, 1, 4}},
      {9, {9, 1, 1, 4}, {18, 0, 15, 8}, {10, 0, 1, 4}, {10, 0, 1, 4}},
      {10, {9, 1, 1, 4}, {18, 0, 15, 8}, {10, 0, 1, 4}, {10, 0, 1, 4}},
      {14, {7, 0, 1, 4}, {9, 0, 1, 4}, {9, 1, 1, 3}, {8, 1, 1, 4}},
      {5, {9, 1, 1, 4}, {18, 0, 15, 8}, {9, 1, 1, 3}, {8, 1, 1, 4}},
      {6, {9, 1, 1, 4}, {18, 0, 15, 8}, {9, 1, 1, 3}, {8, 1, 1, 4}},
      {12, {9, 1, 1, 4}, {18, 0, 15, 8}, {9, 1, 1, 3}, {8, 1, 1, 4}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("model " + std::to_string(c.model));
    Camera &camera = init(c.model);
    EXPECT_TRUE(ShapeOf(camera.Prop4) == c.prop4);
    EXPECT_TRUE(ShapeOf(camera.Prop5) == c.prop5);
    EXPECT_TRUE(ShapeOf(camera.Prop6) == c.prop6);
    EXPECT_TRUE(ShapeOf(camera.Prop7) == c.prop7);
    EXPECT_TRUE(ShapeOf(camera.Prop8) == (Shape{11, 0, 1, 0}));
    EXPECT_TRUE(ShapeOf(camera.Prop9) == (Shape{15, 1, 1, 0}));
  }
  EXPECT_EQ(OptionValue(init(24).Prop4), 5);
  EXPECT_EQ(OptionValue(init(10).Prop5), 120);
  EXPECT_EQ(OptionValue(init(14).Prop4), 4);
}

TEST_F(CameraOptions, LabelledListsHoldTheirRows) {
  Camera &camera = init(24);
  struct Case {
    OptionList *list;
    std::vector<int32_t> values;
    int32_t defaultValue;
    const char *firstLabel;
  } cases[] = {
      {&camera.Prop1, {1, 2, 4}, 1, "L1"},
      {&camera.Prop2, {1, 2, 4, 8}, 1, "L5"},
      {&camera.Prop10, {1, 2, 4, 8, 16}, 1, "L16"},
      {&camera.Prop10Alt, {1, 128}, 1, "L22"},
      {&camera.ExposurePreview, {2, 4, 6}, 2, "L25"},
      {&camera.ExposureStill, {2, 4, 6}, 4, "L25"},
      {&camera.PreviewAspect, {0, 1, 2, 3, 4}, 0, "4:3"},
      {&camera.StillAspect, {0, 1, 2, 3, 4}, 0, "4:3"},
      {&camera.CameraMode, {1, 2}, 1, "L42"},
      {&camera.Flash, {0, 1}, 0, "L29"},
      {&camera.FullResPreview, {0, 1}, 0, "L33"},
  };
  for (Case &c : cases) {
    SCOPED_TRACE(c.firstLabel);
    EXPECT_EQ(Values(*c.list), c.values);
    EXPECT_EQ(c.list->index, -1);
    EXPECT_EQ(OptionValue(*c.list), c.defaultValue);
    ASSERT_NE(c.list->table, nullptr);
    EXPECT_STREQ(c.list->table[0].label, c.firstLabel);
  }
  // Before the first open the size lists count 0 to 99.
  for (OptionList *size : {&camera.PreviewSize, &camera.StillSize}) {
    EXPECT_TRUE(ShapeOf(*size) == (Shape{100, 0, 1, 0}));
    EXPECT_EQ(size->table, nullptr);
  }
}

TEST_F(CameraOptions, SmartphoneNightRowAndScreenCaptureAspect) {
  Camera &camera = init(24, true);
  camera.Prop10Alt.index = 1;
  EXPECT_EQ(OptionValue(camera.Prop10Alt), 32);
  SetProp10FirstRow(OptionValue(camera.Prop10Alt));
  camera.Prop10.index = 0;
  EXPECT_EQ(OptionValue(camera.Prop10), 32);

  for (auto [model, screen] : {std::pair{14u, false}, std::pair{24u, true}}) {
    Camera &c = init(model, false, screen);
    EXPECT_EQ(c.PreviewAspect.count, 1u);
    EXPECT_EQ(c.StillAspect.count, 1u);
    EXPECT_STREQ(c.StillAspect.table[0].label, "4:3");
  }
  EXPECT_EQ(init(24).StillAspect.count, 5u);
  // A fresh fill puts the fixed value back into Prop10's first row.
  EXPECT_EQ(OptionValue(init(24).Prop10), 1);
}

TEST_F(CameraOptions, PropertyIdsSwapOnModel14) {
  Camera &camera = init(14);
  EXPECT_EQ(CameraPropertyId(camera, camera.Prop4, 14), 5u);
  EXPECT_EQ(CameraPropertyId(camera, camera.Prop5, 14), 4u);
  EXPECT_EQ(CameraPropertyId(camera, camera.Prop4, 24), 4u);
  EXPECT_EQ(CameraPropertyId(camera, camera.Prop5, 24), 5u);
  const std::pair<OptionList *, uint32_t> ids[] = {
      {&camera.Prop6, 6}, {&camera.Prop7, 7}, {&camera.Prop8, 8}, {&camera.Prop9, 9},
      {&camera.Prop1, 1}, {&camera.Prop2, 2}, {&camera.Prop10, 10}, {&camera.Prop10Alt, 10},
      {&camera.ExposurePreview, 0}, {&camera.Flash, 0}, {&camera.StillSize, 0}, {&camera.CameraMode, 0}};
  for (auto [list, id] : ids) EXPECT_EQ(CameraPropertyId(camera, *list, 24), id);
}

TEST_F(CameraOptions, Prop5ProbeKeepsADistinctSelectedRow) {
  struct Case {
    bool accepted;
    int32_t selected;
    int32_t expectIndex;
    int32_t expectValue;
  } cases[] = {
      {true, 3, 3, 45},     // kept: below 18 and not the default
      {true, 8, -1, 120},   // the new default row itself
      {false, 12, -1, 4},   // beyond the 9 rows
      {false, 2, 2, 2},
      {false, -1, -1, 4},
  };
  for (const Case &c : cases) {
    Camera &camera = init(5);
    camera.Prop5.index = c.selected;
    ShapeProp5AfterProbe(camera, c.accepted);
    EXPECT_EQ(camera.Prop5.index, c.expectIndex);
    EXPECT_EQ(OptionValue(camera.Prop5), c.expectValue);
  }
}

}  // namespace

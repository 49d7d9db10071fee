// The capture library's table as the program uses it: the graph built around the handset's
// capture filter, formats listed and chosen, frames and stills delivered to plain functions,
// picture properties, and nothing of COM left behind.
#include <streams.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "com_fixture.h"
#include "device/camera.h"
#include "dsgrab/dsgrab.h"

extern "C" uint32_t DllGetData(CaptureTable *table);

static bool operator==(const FormatRecord &a, const FormatRecord &b) {
  return a.width == b.width && a.height == b.height && a.subtype == b.subtype;
}

namespace {

const char kGraphManager[] =
    "os_version = 5.1.1700\nsystem_library = fgraph.dll\n"
    "registry = [HKEY_CLASSES_ROOT\\CLSID\\{E436EBB3-524F-11CE-9F53-0020AF0BA770}\\InprocServer32] "
    "@=\"\\\\Windows\\\\fgraph.dll\"\n";
const char kCaptureFilter[] =
    "system_library = capfilter.dll\n"
    "registry = [HKEY_CLASSES_ROOT\\CLSID\\{F80B6E95-B55A-4619-AEC4-A10EAEDE980C}\\InprocServer32] "
    "@=\"\\\\Windows\\\\capfilter.dll\"\n";
const char kCaptureFormats[] =
    "camera = directshow\ncamera_rate = 30\ndshow_device = CAM1:\n"
    "dshow_capture = 320x240 UYVY\ndshow_capture = 176x144 YV12\ndshow_capture = 320x240 RGB565\n"
    "dshow_capture = 160x-120 UYVY\ndshow_capture = 352x288 UYVY videoinfo2\ndshow_capture = 480x360 UYVY short\n";
const char kStillFormats[] = "dshow_still = 640x480 UYVY\ndshow_still = 320x240 YV12\n";
const std::string kDirectShow = std::string(kGraphManager) + kCaptureFilter;

constexpr uint32_t kUyvy = 0x59565955, kYv12 = 0x32315659, kRgb565 = 0xE436EB7B;

// What one frame function received.
struct Sink {
  std::mutex lock;
  std::condition_variable arrived;
  int count = 0;
  uint32_t size = 0;
  int received() {
    std::lock_guard<std::mutex> held(lock);
    return count;
  }
  // Generous: the machine may be loaded.
  bool waitBeyond(int n) {
    std::unique_lock<std::mutex> held(lock);
    return arrived.wait_for(held, std::chrono::seconds(10), [&] { return count > n; });
  }
} captures, stills;
template <Sink &sink>
uint32_t deliver(uint8_t *data, uint32_t size) {
  EXPECT_NE(data, nullptr);
  {
    std::lock_guard<std::mutex> held(sink.lock);
    ++sink.count, sink.size = size;
  }
  sink.arrived.notify_all();
  return 1;
}
const FrameCallback onCapture = deliver<captures>, onStill = deliver<stills>;

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

class Grab : public ComFixture {
 protected:
  std::string profileText() const override { return profile; }
  void SetUp() override {
    ComFixture::SetUp();
    device::resetSensor();
    captures.count = stills.count = 0;
    ASSERT_EQ(DllGetData(&table), 1u);
  }
  void TearDown() override {
    unsetenv("HANDSET_FAULTS");
    table.SetGraphState(0);
    EXPECT_EQ(table.CloseCamera(), 1u);
    // Nothing of the library, the graph manager or the capture filter is left alive, and
    // COM on this thread is uninitialised again.
    EXPECT_EQ(CBaseObject::ObjectsActive(), 0);
    for (const char16_t *library : {u"\\Windows\\fgraph.dll", u"\\Windows\\capfilter.dll"}) {
      HMODULE module = LoadLibraryW(library);
      if (!module) continue;  // a profile without it
      auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
      ASSERT_NE(canUnload, nullptr);
      EXPECT_EQ(canUnload(), S_OK);
      FreeLibrary(module);
    }
    IUnknown *object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph, (void **)&object),
              CO_E_NOTINITIALIZED);
    ComFixture::TearDown();
  }

  std::string profile = kDirectShow + kCaptureFormats + kStillFormats;
  CaptureTable table = {};
};

TEST_F(Grab, EveryOperationFailsWithoutAnOpenCamera) {
  for (int closed = 0; closed < 2; ++closed) {
    SCOPED_TRACE(closed ? "after CloseCamera" : "before OpenCamera");
    if (closed) {
      ASSERT_EQ(table.OpenCamera() + table.CloseCamera(), 2u);
    }
    FormatRecord list[4] = {}, fmt = {320, 240, kUyvy};
    uint32_t count = 4;
    PropertyRange range = {VideoProcAmp_Brightness, 0, 0, 0, 0, 0, 7};
    PropertyValue value = {VideoProcAmp_Brightness, 0, 0, 7};
    EXPECT_EQ(table.SetGraphState(2) + table.SetFrameCallback(onCapture) + table.EnumFormats(list, &count, 0) +
                  table.SelectFormat(&fmt, 0) + table.CaptureStill(onStill) + table.GetPropertyRanges(&range, 1, 1) +
                  table.AccessProperties(&value, 1, 1, 0),
              0u);
    EXPECT_EQ(range.result + value.result, 14);  // nothing was queried
    EXPECT_EQ(table.CloseCamera(), 1u);
  }
}

TEST_F(Grab, OpeningFailsCleanlyWithoutACameraOrItsFilter) {
  struct Case {
    const char *what;
    std::string profile;
  } cases[] = {
      {"no DirectShow camera", kDirectShow + "camera = none\n"},
      {"a camera without a device name", kDirectShow + "camera = directshow\n"},
      {"the capture filter not registered", kGraphManager + std::string(kCaptureFormats)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    device::setCurrent(device::Profile::parse(c.profile, "grab.profile"));
    EXPECT_EQ(table.OpenCamera(), 0u);
    EXPECT_EQ(table.SetGraphState(0), 0u);  // no state was kept
    EXPECT_EQ(CBaseObject::ObjectsActive(), 0);
  }
}

TEST_F(Grab, ListsOnlyPlainVideoInfoFormatsUpToTheCapacity) {
  ASSERT_EQ(table.OpenCamera(), 1u);
  const std::vector<FormatRecord> capture = {
      {320, 240, kUyvy}, {176, 144, kYv12}, {320, 240, kRgb565}, {160, 120, kUyvy}};
  const std::vector<FormatRecord> still = {{640, 480, kUyvy}, {320, 240, kYv12}};
  struct Row {
    uint32_t still, capacity;
    std::vector<FormatRecord> expected;
  } rows[] = {
      {0, 0, {}},
      {0, 2, {capture[0], capture[1]}},
      {0, 16, capture},  // VideoInfo2 and the short block are passed over; the height is positive
      {1, 1, {still[0]}},
      {1, 16, still},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(testing::Message() << "still " << row.still << " capacity " << row.capacity);
    std::vector<FormatRecord> list(row.capacity + 1, FormatRecord{0xAA, 0xAA, 0xAA});
    uint32_t count = row.capacity;
    EXPECT_EQ(table.EnumFormats(list.data(), &count, row.still), 1u);
    ASSERT_EQ(count, row.expected.size());
    EXPECT_EQ(std::vector<FormatRecord>(list.begin(), list.begin() + count), row.expected);
    EXPECT_EQ(list[count], (FormatRecord{0xAA, 0xAA, 0xAA}));  // nothing written past the filled ones
  }
  uint32_t count = 4;
  EXPECT_EQ(table.EnumFormats(nullptr, &count, 0), 1u);
  EXPECT_EQ(count, 0u);
}

TEST_F(Grab, SelectsOnlyListedFormatsAndDeliversTheirBuffers) {
  ASSERT_EQ(table.OpenCamera(), 1u);
  ASSERT_EQ(table.SetFrameCallback(onCapture), 1u);
  struct Row {
    FormatRecord fmt;
    uint32_t still;
    uint32_t result;
    uint32_t imageBytes;  // of the frames then delivered, 0 when the format is not taken
    const char *faults = nullptr;
  } rows[] = {
      {{176, 144, kYv12}, 0, 1, 176 * 144 * 3 / 2},
      {{160, 120, kUyvy}, 0, 1, 160 * 120 * 2},  // listed bottom up, matched by its absolute height
      {{320, 240, kRgb565}, 0, 1, 320 * 240 * 2},
      {{352, 288, kUyvy}, 0, 0, 0},  // VideoInfo2
      {{480, 360, kUyvy}, 0, 0, 0},  // format block too short
      {{640, 480, kUyvy}, 0, 0, 0},  // a still format, not the capture pin's
      {{176, 144, kUyvy}, 0, 0, 0},  // listed size, other subtype
      {{320, 240, kUyvy}, 0, 0, 0, "dshow-format:320x240"},  // the filter refuses it
      {{640, 480, kUyvy}, 1, 1, 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(testing::Message() << row.fmt.width << "x" << row.fmt.height << " still " << row.still);
    if (row.faults) setenv("HANDSET_FAULTS", row.faults, 1);
    EXPECT_EQ(table.SelectFormat(&row.fmt, row.still), row.result);
    unsetenv("HANDSET_FAULTS");
    if (!row.imageBytes) continue;
    const int before = captures.received();
    ASSERT_EQ(table.SetGraphState(2), 1u);
    ASSERT_TRUE(captures.waitBeyond(before + 1));
    ASSERT_EQ(table.SetGraphState(0), 1u);
    // The size passed is the sample buffer's, which the filter makes larger than the picture.
    EXPECT_GT(captures.size, row.imageBytes);
  }
}

TEST_F(Grab, RunStatesAndCallbacksGovernDelivery) {
  ASSERT_EQ(table.OpenCamera(), 1u);
  // Running with no function set: samples are taken and dropped, and the stream goes on.
  ASSERT_EQ(table.SetGraphState(2), 1u);
  settle();
  EXPECT_EQ(captures.received(), 0);
  ASSERT_EQ(table.SetFrameCallback(onCapture), 1u);
  ASSERT_TRUE(captures.waitBeyond(1));
  // An unknown state is accepted and changes nothing: the graph keeps running.
  EXPECT_EQ(table.SetGraphState(5), 1u);
  const int running = captures.received();
  ASSERT_TRUE(captures.waitBeyond(running));
  // A null function stops delivery to the caller.
  ASSERT_EQ(table.SetFrameCallback(nullptr), 1u);
  settle();
  const int cut = captures.received();
  settle();
  EXPECT_EQ(captures.received(), cut);
  ASSERT_EQ(table.SetGraphState(0), 1u);
}

TEST_F(Grab, AStillComesFromTheStillPinAndRunsAStoppedGraph) {
  ASSERT_EQ(table.OpenCamera(), 1u);
  ASSERT_EQ(table.SetFrameCallback(onCapture), 1u);
  const FormatRecord fmt = {320, 240, kYv12};
  ASSERT_EQ(table.SelectFormat(&fmt, 1), 1u);
  EXPECT_EQ(table.CaptureStill(onStill), 1u);  // the graph was stopped: it is run first
  ASSERT_TRUE(stills.waitBeyond(0));
  EXPECT_GT(stills.size, 320u * 240 * 3 / 2);
  EXPECT_TRUE(captures.waitBeyond(0));  // the capture branch keeps its own function
  setenv("HANDSET_FAULTS", "dshow-setmode", 1);
  EXPECT_EQ(table.CaptureStill(onStill), 0u);
  unsetenv("HANDSET_FAULTS");
  settle();
  EXPECT_EQ(stills.received(), 1);
}

TEST_F(Grab, WithoutAStillPinTheCaptureBranchFeedsTheStillFunctionUntilReplaced) {
  profile = kDirectShow + kCaptureFormats;
  device::setCurrent(device::Profile::parse(profile, "grab.profile"));
  ASSERT_EQ(table.OpenCamera(), 1u);
  // The still flag falls back to the capture pin's formats.
  FormatRecord list[8];
  uint32_t count = 8;
  ASSERT_EQ(table.EnumFormats(list, &count, 1), 1u);
  EXPECT_EQ(count, 4u);
  ASSERT_EQ(table.SetFrameCallback(onCapture), 1u);
  ASSERT_EQ(table.SetGraphState(2), 1u);
  ASSERT_TRUE(captures.waitBeyond(0));
  EXPECT_EQ(table.CaptureStill(onStill), 1u);
  ASSERT_TRUE(stills.waitBeyond(2));  // every frame, not only the next
  const int moved = captures.received();
  settle();
  EXPECT_EQ(captures.received(), moved);
  ASSERT_EQ(table.SetFrameCallback(onCapture), 1u);
  ASSERT_TRUE(captures.waitBeyond(moved));
  const int back = stills.received();
  settle();
  EXPECT_EQ(stills.received(), back);
}

TEST_F(Grab, PropertiesReportAResultForEachRecord) {
  ASSERT_EQ(table.OpenCamera(), 1u);
  PropertyRange ranges[] = {{VideoProcAmp_Brightness, 0, 0, 0, 0, 0, 7}, {10, 0, 0, 0, 0, 0, 7}};
  ASSERT_EQ(table.GetPropertyRanges(ranges, 2, 1), 1u);
  EXPECT_EQ(std::make_tuple(ranges[0].result, ranges[0].minimum, ranges[0].maximum), std::make_tuple(S_OK, -100, 100));
  EXPECT_EQ(ranges[1].result, E_PROP_ID_UNSUPPORTED);  // a property the filter lacks
  EXPECT_EQ(table.GetPropertyRanges(nullptr, 3, 0), 1u);
  struct Row {
    uint32_t procAmp, set;
    PropertyValue value;
    HRESULT result;
    LONG readBack;
  } rows[] = {
      {1, 1, {VideoProcAmp_Brightness, 40, VideoProcAmp_Flags_Manual, 7}, S_OK, 40},
      {1, 0x100, {VideoProcAmp_Brightness, -30, VideoProcAmp_Flags_Manual, 7}, S_OK, 40},  // only the low byte sets
      {0, 1, {CameraControl_Zoom, 200, CameraControl_Flags_Manual, 7}, S_OK, 200},
      {0, 1, {CameraControl_Pan, 1, CameraControl_Flags_Manual, 7}, E_PROP_ID_UNSUPPORTED, 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.value.property);
    PropertyValue v = row.value, got = {row.value.property, 0, 0, 7};
    ASSERT_EQ(table.AccessProperties(&v, 1, row.procAmp, row.set), 1u);
    EXPECT_EQ(v.result, row.result);
    if (row.result != S_OK) continue;
    ASSERT_EQ(table.AccessProperties(&got, 1, row.procAmp, 0), 1u);
    EXPECT_EQ(std::make_pair(got.result, got.value), std::make_pair(S_OK, row.readBack));
  }
}

}  // namespace

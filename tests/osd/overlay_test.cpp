// What the overlay draws, read back cell by cell with the readable font on a 240 × 320 screen
// (30 columns, 20 lines upright).
#include <atomic>
#include <thread>

#include "pipeline/preview.h"
#include "tests/osd/program_screen.h"

namespace {

using Overlay = ProgramScreen;

const std::string kHint0(1, '\0');  // glyph 0 (code 1): the menu hint
const std::string kHint1(1, '\1');  // glyph 1 (code 2): the Action hint

TEST_F(Overlay, PreviewShowsModeZoomSizeAndHints) {
  Compose();
  EXPECT_EQ(Line(0), " Photo >..............100%." + kHint0 + "..");
  EXPECT_EQ(Line(19), "." + kHint1 + std::string(21, '.') + "480x640");  // upright: turned
  EXPECT_EQ(Colour(1, 0), kGreen);
  EXPECT_EQ(Colour(27, 0), kWhite);
  EXPECT_EQ(Colour(1, 19), kWhite);
  EXPECT_EQ(Colour(29, 19), kGreen);
  for (uint32_t row = 1; row < 19; ++row) EXPECT_EQ(Line(row), std::string(30, '.'));

  g_App.settings[SET_CAPTURE_MODE]->index = 1;
  Compose();
  EXPECT_EQ(Cells(0, 0, 9), "< Video >");
  g_App.settings[SET_CAPTURE_MODE]->index = 2;
  Compose();
  EXPECT_EQ(Cells(0, 0, 12), "< Interval .");
}

// The screen orientation turns the text so that the menu hint sits in the corner a tap ends
// the program with, and the Action hint in the corner a tap turns the screen with.
TEST_F(Overlay, HintsSitInTheTapCornersOfEachOrientation) {
  enum Corner { TOP_LEFT, TOP_RIGHT, BOTTOM_RIGHT, BOTTOM_LEFT };
  struct Case {
    int32_t orientation;
    Corner closing, turning;
  } cases[] = {{0, TOP_LEFT, BOTTOM_RIGHT}, {1, TOP_RIGHT, BOTTOM_LEFT}, {2, BOTTOM_RIGHT, TOP_LEFT},
               {3, BOTTOM_LEFT, TOP_RIGHT}};
  // Whether both ends of the cell lie in the corner's 32 × 32 square of the 240 × 320 screen.
  auto cellIn = [this](uint32_t column, uint32_t row, Corner corner) {
    const TextRenderer &r = g_App.text;
    for (uint32_t d : {0u, 1u}) {
      const ptrdiff_t offset = ptrdiff_t(row * r.charHeight + d * 15) * r.yStep +
                               ptrdiff_t(column * r.charWidth + d * 7) * r.xStep;
      const ptrdiff_t at = r.origin + offset - picture_.data();
      const ptrdiff_t x = at % 240, y = at / 240;
      const bool left = x < 32, right = x >= 240 - 32, top = y < 32, bottom = y >= 320 - 32;
      const bool in[] = {top && left, top && right, bottom && right, bottom && left};
      if (!in[corner]) return false;
    }
    return true;
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.orientation);
    Lay(240, 320, uint32_t(c.orientation));
    Compose();
    const TextRenderer &r = g_App.text;
    EXPECT_EQ(Cells(r.columns - 3, 0, 1), kHint0);
    EXPECT_TRUE(cellIn(r.columns - 3, 0, c.closing));
    EXPECT_EQ(Cells(1, r.rows - 1, 1), kHint1);
    EXPECT_TRUE(cellIn(1, r.rows - 1, c.turning));
  }
}

TEST_F(Overlay, SizeAndZoomFollowTheGeometry) {
  struct Case {
    uint32_t model;
    uint32_t magnification, cropWidth, cropHeight;
    int32_t zoomStep;
    int32_t orientation, mounting;  // rows of #35 and #41
    const char *zoom, *size;
  } cases[] = {
      {24, 98304, 640, 480, 0, 0, 1, "150%.", "480x640"},  // #35 - #41 odd: exchanged
      {24, 98304, 1280, 960, 0, 2, 0, "150%h", "640x480"},  // crop twice the output
      {24, 65536 * 4, 1280, 480, 0, 0, 0, "400%.", "640x480"},
      {11, 98304, 640, 480, 2, 0, 0, "400%.", "640x480"},  // the camera library's steps
      {11, 98304, 640, 480, 0, 0, 0, "100%.", "640x480"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.zoom);
    g_App.device.modelCode = c.model;
    CaptureGeometry &g = g_App.camera.active;
    g.magnification = c.magnification;
    g.cropWidth = c.cropWidth;
    g.cropHeight = c.cropHeight;
    g_App.camera.zoomStep = c.zoomStep;
    g_App.settings[SET_MOUNTING]->index = c.mounting;
    Lay(240, 320, uint32_t(c.orientation));
    Compose();
    const TextRenderer &r = g_App.text;
    EXPECT_EQ(Cells(r.columns - 8, 0, 5), c.zoom);
    EXPECT_EQ(Cells(r.columns - 7, r.rows - 1, 7), c.size);
  }
}

TEST_F(Overlay, StatusMessagesAreDrawnLiterallyUntilTheyRunOut) {
  ShowStatus("Try %s %n 100%%", 2000);
  Compose();
  EXPECT_EQ(Cells(0, 19, 16), ".Try %s %n 100%.");
  EXPECT_EQ(Colour(1, 19), kYellow);
  EXPECT_NE(g_App.status.text.load(), nullptr);

  g_App.status.startTick = GetTickCount() - 2500;  // run out: cleared, the hint is back
  Compose();
  EXPECT_EQ(g_App.status.text.load(), nullptr);
  EXPECT_EQ(Cells(0, 19, 3), "." + kHint1 + ".");

  ShowStatus("Kept", 0);  // no duration: stays
  g_App.status.startTick = GetTickCount() - 100000;
  Compose();
  EXPECT_EQ(Cells(1, 19, 4), "Kept");
  g_App.status.startTick = GetTickCount() + 5000;  // the tick counter went back: run out
  g_App.status.duration = 1000;
  Compose();
  EXPECT_EQ(g_App.status.text.load(), nullptr);
}

TEST_F(Overlay, HintsOnlyWhereTheyApply) {
  g_App.device.smartphone = 1;
  Compose();
  EXPECT_EQ(Line(0), " Photo >..............100%....");
  EXPECT_EQ(Cells(0, 19, 3), "...");

  g_App.device.smartphone = 0;
  g_App.ScreenCaptureMode = 1;
  Compose();
  EXPECT_EQ(Line(4), "To start screen capture,......");
  EXPECT_EQ(Line(8), "run Mirantel again............");  // its full stop reads as a blank
  Lay(240, 320, 0);  // landscape, 40 columns: centred block
  Compose();
  EXPECT_EQ(Cells(0, 6, 32), ".....Mirantel will be minimized.");
  g_App.menu.shown = 1;
  Compose();
  EXPECT_EQ(Line(4).find("start"), std::string::npos);
}

TEST_F(Overlay, AboutPage) {
  g_App.captureState = STATE_ABOUT;
  Compose();
  EXPECT_EQ(Line(1), "...Vendrasol Pelkavo..........");
  EXPECT_EQ(Line(4), "...Version 1.15.1.............");
  EXPECT_EQ(Line(6), "...Camera, video, screen......");
  EXPECT_EQ(Line(7), "...Device: EMULATED HANDSET...");
  EXPECT_EQ(Colour(3, 1), kBlue);
  EXPECT_EQ(Colour(3, 4), kYellow);
  EXPECT_EQ(Line(0).substr(0, 8), "........");  // no selector, no zoom
  EXPECT_EQ(Line(19), std::string(30, '.'));  // no size, no Action hint

  g_App.ScreenCaptureMode = 1;
  g_App.language.strings[LANG_ABOUT_VERSION] = nullptr;  // a missing string is left out
  Compose();
  g_App.language.strings[LANG_ABOUT_VERSION] = "Version";
  EXPECT_EQ(Line(1), "...Vendrasol Mirantel.........");
  EXPECT_EQ(Line(4), "... 1.1.......................");
}

TEST_F(Overlay, MenuReplacesTheSelector) {
  g_App.menu.shown = 1;
  Compose();
  EXPECT_EQ(Cells(0, 0, 6), ".Menu.");
  EXPECT_EQ(Cells(0, 1, 8), ">General");
  EXPECT_EQ(Cells(23, 19, 7), "480x640");  // the size stays
  EXPECT_EQ(Cells(0, 19, 3), "...");       // no Action hint with the menu up
}

class Recording : public Overlay {
 protected:
  void SetUp() override {
    Overlay::SetUp();
    g_App.settings[SET_CAPTURE_MODE]->index = 1;
    g_App.captureState = STATE_CAPTURING;
    Recorder &recorder = g_App.recorder;
    recorder.writer = CreateAviWriter();
    ASSERT_NE(recorder.writer, nullptr);
    recorder.kind = RECORD_AVI;
    recorder.writer->frameInterval = 40;
  }
  // `slots` slots of 40 ms recorded, `pictures` of them new, over `ms` since the start.
  void Recorded(uint32_t slots, uint32_t pictures, uint32_t ms) {
    g_App.recorder.writer->slotCounter = slots;
    g_App.recorder.writer->newFrames = pictures;
    g_App.recorder.startTick = GetTickCount() - ms;
  }
};

TEST_F(Recording, BlinkingStateTimeAndFrameRate) {
  Recorded(300, 13000, 1000000);  // 12 s of slots; 13 pictures per second since the start
  Blink(true);
  Compose();
  EXPECT_EQ(Cells(0, 19, 12), ".Rec ...12s.");
  EXPECT_EQ(Colour(1, 19), kRed);
  EXPECT_EQ(Colour(8, 19), kGreen);
  EXPECT_EQ(Cells(24, 0, 6), "fps:13");
  EXPECT_EQ(Cells(0, 0, 8), "< Video ");
  EXPECT_EQ(Line(0).find('%'), std::string::npos);  // no zoom while recording

  Blink(false);  // without the blink: the missing sound, if any
  Compose();
  EXPECT_EQ(Cells(0, 19, 12), "........12s.");
  g_App.recorder.soundOn = 0;
  Blink(false);
  Compose();
  EXPECT_EQ(Cells(0, 19, 12), ".nosnd..12s.");
  EXPECT_EQ(Colour(1, 19), kYellow);
}

TEST_F(Recording, FrameRateShownOnlyInItsRange) {
  struct Case {
    uint32_t slots, pictures, ms;
    const char *shown;
  } cases[] = {
      // Rates over 1000 s, so that a slow test run cannot change them.
      {25, 25000, 1000000, "......"},  // 1000 ms recorded: too early
      {26, 25000, 1000000, "fps:25"},  // 1040 ms: shown
      {26, 30000, 1000000, "......"},  // 30 per second and more: not shown
      {26, 29000, 1000000, "fps:29"},
      {26, 499, 1000000, "......"},    // below 1 per second
      {26, 1000, 1000000, "fps:1."},
  };
  for (const Case &c : cases) {
    Recorded(c.slots, c.pictures, c.ms);
    Compose();
    EXPECT_EQ(Cells(24, 0, 6), c.shown) << c.pictures << " in " << c.ms;
  }
}

TEST_F(Recording, PagesAfterRecordingAndStatus) {
  Recorded(50, 50, 2000);
  g_App.captureState = STATE_DIALOG;
  Blink(true);
  Compose();
  EXPECT_EQ(Cells(0, 19, 11), ".Paused 2s.");
  EXPECT_EQ(Cells(0, 0, 8), "........");  // no selector on a page after a capture

  DestroyAviWriter(g_App.recorder.writer);
  g_App.recorder.writer = nullptr;
  g_App.recorder.kind = RECORD_MP4;  // the camera library's recording: its progress counts
  g_App.recorder.progress = 7400;
  Blink(true);
  Compose();
  EXPECT_EQ(Cells(0, 19, 11), ".Stop:..7s.");

  ShowStatus("Full", 1000);
  Blink(true);
  Compose();
  EXPECT_EQ(Cells(0, 19, 11), ".Full......");
}

TEST_F(Overlay, SeriesShowsShotsAndFramesLeft) {
  g_App.settings[SET_CAPTURE_MODE]->index = 2;
  g_App.captureState = STATE_CAPTURING;
  g_App.shotCounter = 3;
  g_App.FramesRemaining = 4;
  Blink(true);
  Compose();
  EXPECT_EQ(Cells(0, 19, 15), ".Shoots:.3 (4).");
  EXPECT_EQ(Colour(1, 19), kRed);
  g_App.FramesRemaining = 1;
  Blink(false);
  Compose();
  EXPECT_EQ(Cells(0, 19, 15), ".........3.....");
}

TEST_F(Overlay, BlinkChangesEveryHalfSecond) {
  const uint32_t now = GetTickCount();
  g_App.blink = 0;
  g_App.blinkTick = now;
  Compose();
  EXPECT_EQ(g_App.blink, 0);  // 0 ms since the last change
  g_App.blinkTick = now - 600;
  Compose();
  EXPECT_EQ(g_App.blink, 1);
  EXPECT_GE(g_App.blinkTick, now);
  g_App.blinkTick = GetTickCount() + 60000;  // the counter went back
  Compose();
  EXPECT_EQ(g_App.blink, 0);
}

// The frame thread composes while the main thread walks the menus, edits, switches the
// capture mode and shows messages.
TEST_F(Overlay, ComposesWhileTheMainThreadChangesTheMenus) {
  std::atomic<bool> done{false};
  std::atomic<uint32_t> compositions{0};
  std::thread composer([&] {
    while (!done.load()) {
      DrawOverlay(&g_App.text);
      ++compositions;
    }
  });
  for (uint32_t i = 0; i < 3000 || compositions.load() < 100; ++i) {
    MenuPage *page = &g_App.menu.pages[i % kMenuPageCount];
    g_App.menu.current = page;
    g_App.menu.shown = i & 1;
    CursorNext(page);
    page->editSaved = i % 3 == 0 ? 0 : -1;
    g_App.settings[SET_CAPTURE_MODE]->index = int32_t(i % 3);
    UpdateCapturePage(i % 3 != 1);
    ShowStatus(i & 2 ? "Two" : "One", i & 4 ? 0 : 1);
  }
  ShowStatus("Last", 0);
  g_App.menu.shown = 0;
  done = true;
  composer.join();
  EXPECT_GT(compositions.load(), 0u);
  Compose();
  EXPECT_EQ(Cells(0, 19, 6), ".Last.");
}

// Turning the screen while another thread composes: no composition sees half a layout.
TEST_F(Overlay, TurningTheScreenWhileComposing) {
  const size_t guard = 4096;
  std::vector<uint16_t> block(240 * 320 + 2 * guard, kBackground);
  Picture &screen = g_App.ScreenPicture;
  screen.pixels = block.data() + guard;
  g_App.menu.current = &g_App.menu.pages[PAGE_KEYS];  // long lines in every orientation
  g_App.menu.shown = 1;
  std::atomic<bool> done{false};
  std::atomic<uint32_t> compositions{0};
  std::thread composer([&] {
    while (!done.load()) {
      if (!TakeCompose(false)) continue;
      DrawOverlay(&g_App.text);
      ReleaseCompose();
      ++compositions;
    }
  });
  for (uint32_t i = 0; i < 2000 || compositions.load() < 100; ++i) {
    g_App.settings[SET_SCREEN_ORIENTATION]->index = int32_t(i % 4);
    SetOverlayTextOrientation();
  }
  done = true;
  composer.join();
  for (size_t i = 0; i < guard; ++i) {
    ASSERT_EQ(block[i], kBackground) << i;
    ASSERT_EQ(block[guard + 240 * 320 + i], kBackground) << i;
  }
}

}  // namespace

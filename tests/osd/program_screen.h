// The program's screen for overlay and menu tests: the program just started on an emulated
// handset, and a screen picture over which the overlay is drawn.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/menus.h"
#include "app/settings.h"
#include "pipeline/osd.h"
#include "pipeline/overlay.h"
#include "platform/kernel.h"
#include "tests/osd/glyph_reader.h"
#include "tests/support/program_fixture.h"

class ProgramScreen : public ProgramFixture {
 protected:
  static constexpr uint16_t kBackground = 0x0000;

  void SetUp() override {
    platform::setTickCount(0x40000000);  // far from 0, so that ticks long past are positive
    Prepare(EmulatedHandset(), false);
    UseReadableFont();
    Lay(240, 320, 1);  // upright: 30 columns, 20 lines
  }
  void TearDown() override {
    if (g_App.recorder.writer) DestroyAviWriter(g_App.recorder.writer);
    g_App.recorder.writer = nullptr;
    g_App.recorder.kind = 0;
    g_App.ScreenPicture.pixels = nullptr;
  }

  // The state of a program just started on the handset: no capture, no message, the menu
  // hidden, a 640 × 480 picture without zoom.
  void Prepare(const DeviceRecord &device, bool screenCapture, const char *flashSound = "") {
    StartProgram(device, screenCapture, flashSound);
    g_App.recorder.soundOn = 1;
    g_App.shotCounter = 0;
    g_App.FramesRemaining = 0;
    g_App.PreviewCost = 0;
    CaptureGeometry &g = g_App.camera.active;
    g = CaptureGeometry{};
    g.captureWidth = g.cropWidth = g.outputWidth = 640;
    g.captureHeight = g.cropHeight = g.outputHeight = 480;
    g.magnification = 65536;
  }

  void UseReadableFont() { MakeReadableFont(readable_, g_App.text); }
  void UseShippedFont() {
    g_App.text.glyphs = g_App.font.glyphs;
    g_App.text.outlines = g_App.font.outlines;
    g_App.text.pageSize = kFontWords;
  }

  // A screen of width × height in the given screen orientation (#35: 1 upright, 0 landscape).
  void Lay(uint32_t width, uint32_t height, uint32_t orientation) {
    picture_.assign(size_t(width) * height, kBackground);
    Picture &screen = g_App.ScreenPicture;
    screen.header.biWidth = LONG(width);
    screen.header.biHeight = LONG(height);
    screen.header.biSizeImage = width * height * 2;
    screen.pixels = picture_.data();
    g_App.settings[SET_SCREEN_ORIENTATION]->index = int32_t(orientation);
    SetOverlayTextOrientation();
  }

  // Forces the blink flag on or off for the next composition (it changes then).
  void Blink(bool on) {
    g_App.blink = !on;
    g_App.blinkTick = GetTickCount() - 1000;
  }

  // The overlay over a plain background, or over the given picture.
  void Compose(const std::vector<uint16_t> *under = nullptr) {
    if (under)
      picture_ = *under;
    else
      std::fill(picture_.begin(), picture_.end(), kBackground);
    DrawOverlay(&g_App.text);
  }

  std::string Line(uint32_t row) const { return TextLine(g_App.text, row, kBackground); }
  uint16_t Colour(uint32_t column, uint32_t row) const { return CellColour(g_App.text, column, row); }
  // Line `row` from `column` on, `length` cells.
  std::string Cells(uint32_t column, uint32_t row, size_t length) const { return Line(row).substr(column, length); }

  FontBitmaps readable_{};
  std::vector<uint16_t> picture_;
};

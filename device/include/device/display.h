// The emulated handset's display: an RGB 565 frame buffer in the panel's size, turned by the
// orientation in force, shown by a front end. This is the display's control API for the
// platform layer, tests and tools; product code never includes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/physical.h"

namespace device {

// What the display driver tells about its frame buffer (the profile's "frame_buffer").
enum class FrameBufferAccess { raw, gxinfo, none };

class Display;

// Shows the frame buffer somewhere. Headless (the default) shows it nowhere; a window front end
// is another entry of the front-end table. Every operation has a default, so callers never
// test for one.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // A frame was finished (GXEndDraw) or the layout changed (orientation).
  virtual void present(const Display &) {}
  // The display goes away (process end).
  virtual void close(const Display &) {}
  // Whether the display is seen on the desktop (a window), so that the shell may open files
  // with the desktop's own viewer.
  virtual bool windowShown() const { return false; }
  // Plays a WAV image through the desktop's loudspeaker in place of what plays there; an empty
  // image stops it. The handset's timing of the sound is the platform's, not the front end's.
  virtual void playSound(std::vector<uint8_t>) {}
  // The busy cursor over the screen came up or went (device/cursor.h).
  virtual void showWaitCursor(bool) {}
};

struct FrontEndEntry {
  const char *name;
  std::unique_ptr<FrontEnd> (*create)();
};
// The front ends in order of preference; HANDSET_DISPLAY names one, "headless" by default.
const std::vector<FrontEndEntry> &frontEnds();

class Display {
 public:
  Display(int panelWidth, int panelHeight, FrameBufferAccess access, std::vector<int> orientations,
          int orientation, std::unique_ptr<FrontEnd> frontEnd);
  ~Display();
  Display(const Display &) = delete;
  // Closes the front end (once; the destructor does it too): a window goes, a screenshot asked
  // for at the close is saved.
  void close();
  Display &operator=(const Display &) = delete;

  // The panel in its own orientation (0 degrees).
  int panelWidth() const { return panelWidth_; }
  int panelHeight() const { return panelHeight_; }
  // The logical screen in the orientation in force: a quarter turn swaps width and height.
  int width() const;
  int height() const;
  int bitsPerPixel() const { return 16; }
  // Bytes from one row to the next: rows are packed in the logical layout.
  int pitch() const { return width() * 2; }

  // Orientation in degrees clockwise: 0, 90, 180 or 270.
  int orientation() const;
  bool supportsOrientation(int degrees) const;
  const std::vector<int> &orientations() const { return orientations_; }
  // Turns the screen; false (nothing changes) for an orientation the panel does not offer.
  // The frame buffer keeps its address and is cleared to black.
  bool setOrientation(int degrees);

  FrameBufferAccess access() const { return access_; }

  // The frame buffer: width() × height() pixels of RGB 565, rows packed. Its address stays the
  // same for the life of the display.
  uint16_t *pixels() { return pixels_.get(); }
  const uint16_t *pixels() const { return pixels_.get(); }
  // Where the frame buffer lies in the handset's physical memory (the LCD controller's base plane).
  uint64_t frameBufferAddress() const { return pixels_.address(); }
  uint16_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width() + x]; }

  void present() const;
  bool windowShown() const { return frontEnd_->windowShown(); }
  void playSound(std::vector<uint8_t> wav) const { frontEnd_->playSound(std::move(wav)); }
  void showWaitCursor(bool shown) const { frontEnd_->showWaitCursor(shown); }

  // What the panel shows now, as the LCD controller scans it out: a copy of the frame buffer
  // (width() × height() pixels), taken without regard to a program drawing at the same time.
  void snapshot(std::vector<uint16_t> &pixels, int &width, int &height) const;

  // The logical screen as a PNG file (8-bit RGB); false when the file cannot be written.
  bool savePng(const std::string &path) const;

 private:
  int panelWidth_, panelHeight_;
  FrameBufferAccess access_;
  std::vector<int> orientations_;
  std::atomic<int> orientation_;
  PhysicalArray<uint16_t> pixels_;
  std::unique_ptr<FrontEnd> frontEnd_;
  std::atomic<bool> closed_{false};
};

// The running handset's display, made from the current profile on first use ("display",
// "bits_per_pixel", "frame_buffer", "display_orientation", "display_orientations"). A profile
// the display cannot use ends the process with the error on stderr (exit code 2).
Display &display();
// Drops the display so that the next display() is made from the current profile (tests).
void resetDisplay();

// PNG encoding of RGB 565 pixels (rows packed) as 8-bit RGB, each channel widened by
// repeating its high bits.
std::vector<uint8_t> encodePng(const uint16_t *pixels, int width, int height);

// What the shell does when HANDSET_SCREENSHOT is set and the display closes: writes its last
// picture there. Every front end calls it from close().
void saveScreenshotAtClose(const Display &display);

// Hardware input: keys and taps on the screen, and what the user does with the programs (bring
// one to the front, switch to the home screen, close them), delivered to whatever the platform
// registered.
struct InputEvent {
  enum Kind {
    keyDown,
    keyUp,
    tapDown,
    tapUp,
    activate,    // the program comes (back) to the front
    deactivate,  // another program (the home screen) comes to the front
    switchTask,  // deactivate when the program is in front, else activate
    close,       // the system closes the program's windows
  } kind;
  int key;   // virtual-key code for keys
  int x, y;  // screen position for taps
};
using InputSink = std::function<void(const InputEvent &)>;
// The platform's receiver of hardware input; an empty sink drops input.
void setInputSink(InputSink sink);
void pressKey(int key, bool down);
// False on a handset without a touch screen (the profile's "touch_screen").
bool tap(int x, int y, bool down);
// One of the program-level events (activate, deactivate, switchTask, close).
void userAction(InputEvent::Kind kind);

// The virtual-key codes of the buttons the GAPI key lists call A, B and C: App1 to App3 on a
// Pocket PC; the two soft keys and Talk on a Smartphone (the profile's "platform_type").
struct ApplicationButtons {
  int a, b, c;
};
ApplicationButtons applicationButtons();

}  // namespace device

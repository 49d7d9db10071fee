#include "device/display.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "device/profile.h"

namespace device {

Display::Display(int panelWidth, int panelHeight, FrameBufferAccess access, std::vector<int> orientations,
                 int orientation, std::unique_ptr<FrontEnd> frontEnd)
    : panelWidth_(panelWidth),
      panelHeight_(panelHeight),
      access_(access),
      orientations_(std::move(orientations)),
      orientation_(orientation),
      pixels_(static_cast<size_t>(panelWidth) * panelHeight),
      frontEnd_(std::move(frontEnd)) {
  present();  // the panel lights up, black
}

Display::~Display() { close(); }

void Display::close() {
  if (!closed_.exchange(true)) frontEnd_->close(*this);
}

namespace {

bool quarterTurn(int degrees) { return degrees == 90 || degrees == 270; }

bool supports(const std::vector<int> &orientations, int degrees) {
  return std::find(orientations.begin(), orientations.end(), degrees) != orientations.end();
}

}  // namespace

int Display::orientation() const { return orientation_.load(); }

int Display::width() const { return quarterTurn(orientation()) ? panelHeight_ : panelWidth_; }

int Display::height() const { return quarterTurn(orientation()) ? panelWidth_ : panelHeight_; }

bool Display::supportsOrientation(int degrees) const { return supports(orientations_, degrees); }

bool Display::setOrientation(int degrees) {
  if (!supportsOrientation(degrees)) return false;
  if (degrees != orientation()) {
    orientation_.store(degrees);
    std::memset(pixels_.get(), 0, static_cast<size_t>(panelWidth_) * panelHeight_ * 2);
    present();
  }
  return true;
}

void Display::present() const { frontEnd_->present(*this); }

#if defined(__SANITIZE_THREAD__)
extern "C" void AnnotateIgnoreReadsBegin(const char *file, int line);
extern "C" void AnnotateIgnoreReadsEnd(const char *file, int line);
#endif

// The panel reads the frame buffer the way DMA does, beside whatever thread draws into it (a
// picture torn between two frames is what a handset shows too), so the thread sanitizer is not
// to track this copy; memcpy is watched whatever the function's attributes, hence the annotation.
void Display::snapshot(std::vector<uint16_t> &pixels, int &width, int &height) const {
  width = this->width();
  height = this->height();
  pixels.resize(static_cast<size_t>(width) * height);
#if defined(__SANITIZE_THREAD__)
  AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
#endif
  std::memcpy(pixels.data(), pixels_.get(), pixels.size() * sizeof(uint16_t));
#if defined(__SANITIZE_THREAD__)
  AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
#endif
}

bool Display::savePng(const std::string &path) const {
  std::vector<uint16_t> shown;
  int width, height;
  snapshot(shown, width, height);
  std::vector<uint8_t> png = encodePng(shown.data(), width, height);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out.flush());
}

namespace {

std::mutex displayLock;
std::unique_ptr<Display> running;

std::unique_ptr<FrontEnd> chooseFrontEnd() {
  const char *wanted = std::getenv("HANDSET_DISPLAY");
  std::string name = wanted && *wanted ? wanted : "headless";
  for (const FrontEndEntry &entry : frontEnds())
    if (name == entry.name) return entry.create();
  std::string known;
  for (const FrontEndEntry &entry : frontEnds()) known += std::string(known.empty() ? "" : ", ") + entry.name;
  throw std::runtime_error("HANDSET_DISPLAY: unknown front end \"" + name + "\" (known: " + known + ")");
}

int parseOrientation(const Profile &profile, const ProfileEntry &entry, const std::string &text) {
  uint64_t degrees = profile.parseNumber(entry, text);
  if (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270)
    throw ProfileError(profile.where(entry) + ": " + entry.key + ": expected 0, 90, 180 or 270, found \"" +
                       text + "\"");
  return static_cast<int>(degrees);
}

std::unique_ptr<Display> makeDisplay(const Profile &profile) {
  std::string size = profile.text("display", "240x320");
  size_t x = size.find('x');
  int width = std::stoi(size.substr(0, x)), height = std::stoi(size.substr(x + 1));
  if (const ProfileEntry *e = profile.find("display"); e && (width <= 0 || height <= 0 || width > 4096 || height > 4096))
    throw ProfileError(profile.where(*e) + ": display: unusable size \"" + size + "\"");
  if (const ProfileEntry *e = profile.find("bits_per_pixel"); e && profile.number("bits_per_pixel", 16) != 16)
    throw ProfileError(profile.where(*e) + ": bits_per_pixel: the emulated display has 16 bits per pixel");

  std::string fb = profile.text("frame_buffer", "raw");
  FrameBufferAccess access = fb == "gxinfo" ? FrameBufferAccess::gxinfo
                             : fb == "none" ? FrameBufferAccess::none
                                            : FrameBufferAccess::raw;

  std::vector<int> orientations = {0, 90, 180, 270};
  if (const ProfileEntry *e = profile.find("display_orientations")) {
    orientations.clear();
    std::string list = e->value;
    std::replace(list.begin(), list.end(), ',', ' ');
    std::istringstream words(list);
    for (std::string word; words >> word;) orientations.push_back(parseOrientation(profile, *e, word));
    if (!supports(orientations, 0))
      throw ProfileError(profile.where(*e) + ": display_orientations: must include 0");
  }
  int orientation = 0;
  if (const ProfileEntry *e = profile.find("display_orientation")) {
    orientation = parseOrientation(profile, *e, e->value);
    if (!supports(orientations, orientation))
      throw ProfileError(profile.where(*e) + ": display_orientation: not among display_orientations");
  }
  return std::make_unique<Display>(width, height, access, std::move(orientations), orientation, chooseFrontEnd());
}

}  // namespace

Display &display() {
  std::lock_guard<std::mutex> guard(displayLock);
  if (!running) {
    try {
      running = makeDisplay(current());
      // A window's libraries (the desktop's GL among them) were loaded as it opened, so their
      // exit handlers would run before the display's destructor: the window closes first, at
      // the program's end, while they still stand.
      static std::once_flag closeAtExit;
      if (running->windowShown())
        std::call_once(closeAtExit, [] {
          std::atexit([] {
            Display *shown;
            {
              std::lock_guard<std::mutex> held(displayLock);
              shown = running.get();
            }
            if (shown) shown->close();
          });
        });
    } catch (const std::exception &error) {
      // Whichever thread asked first ends the program, before anything of it ran.
      stopOnBadSetting(std::string("handset display error: ") + error.what());
    }
  }
  return *running;
}

void resetDisplay() {
  std::lock_guard<std::mutex> guard(displayLock);
  running.reset();
}

namespace {

std::mutex inputLock;
InputSink inputSink;

void deliver(const InputEvent &event) {
  InputSink sink;
  {
    std::lock_guard<std::mutex> guard(inputLock);
    sink = inputSink;
  }
  if (sink) sink(event);
}

}  // namespace

void setInputSink(InputSink sink) {
  std::lock_guard<std::mutex> guard(inputLock);
  inputSink = std::move(sink);
}

void pressKey(int key, bool down) { deliver({down ? InputEvent::keyDown : InputEvent::keyUp, key, 0, 0}); }

bool tap(int x, int y, bool down) {
  if (!current().flag("touch_screen", true)) return false;
  deliver({down ? InputEvent::tapDown : InputEvent::tapUp, 0, x, y});
  return true;
}

void userAction(InputEvent::Kind kind) { deliver({kind, 0, 0, 0}); }

ApplicationButtons applicationButtons() {
  // VK_APP1..VK_APP3; VK_F1, VK_F2 (the soft keys) and VK_F3 (Talk).
  if (current().text("platform_type") == "SmartPhone") return {0x70, 0x71, 0x72};
  return {0xC1, 0xC2, 0xC3};
}

}  // namespace device

#include "x_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// A request that fails leaves the picture empty instead of ending the test.
int ignoreError(Display *, XErrorEvent *) { return 0; }

}  // namespace

bool grabWindow(const std::string &display, unsigned long window, std::vector<uint32_t> &pixels, int &width,
                int &height) {
  pixels.clear();
  XSetErrorHandler(ignoreError);
  Display *x = XOpenDisplay(display.c_str());
  if (!x) return false;
  // From the screen, where the window lies: what the user sees of it.
  XWindowAttributes attributes;
  XImage *image = nullptr;
  int left = 0, top = 0;
  Window child;
  if (XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable &&
      XTranslateCoordinates(x, window, attributes.root, 0, 0, &left, &top, &child)) {
    width = attributes.width, height = attributes.height;
    image = XGetImage(x, attributes.root, left, top, width, height, AllPlanes, ZPixmap);
  }
  if (image) {
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column) pixels.push_back(XGetPixel(image, column, row) & 0xFFFFFF);
    XDestroyImage(image);
  }
  XCloseDisplay(x);
  return image != nullptr;
}

bool windowPlace(const std::string &display, unsigned long window, WindowPlace &place) {
  XSetErrorHandler(ignoreError);
  Display *x = XOpenDisplay(display.c_str());
  if (!x) return false;
  XWindowAttributes attributes;
  Window child;
  const bool known = XGetWindowAttributes(x, window, &attributes) &&
                     XTranslateCoordinates(x, window, attributes.root, 0, 0, &place.left, &place.top, &child);
  if (known) {
    place.width = attributes.width, place.height = attributes.height;
    place.screenWidth = WidthOfScreen(attributes.screen), place.screenHeight = HeightOfScreen(attributes.screen);
  }
  XCloseDisplay(x);
  return known;
}

bool askToClose(const std::string &display, unsigned long window) {
  XSetErrorHandler(ignoreError);
  Display *x = XOpenDisplay(display.c_str());
  if (!x) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(x, window, False, NoEventMask, &event) != 0;
  XCloseDisplay(x);
  return sent;
}

#include "gapi/keys.h"

#include "device/display.h"
#include "device/profile.h"

namespace platform {
namespace {

struct Button {
  short key;
  int x, y;  // position below the panel, in the panel's own (portrait) coordinates
};

}  // namespace

GXKeyList defaultKeys(bool landscape) {
  const device::Display &display = device::display();
  const int w = display.panelWidth(), h = display.panelHeight(), cx = w / 2, pad = h + 40;
  const bool smartphone = device::current().text("platform_type") == "SmartPhone";
  const Button up{VK_UP, cx, pad - 15}, down{VK_DOWN, cx, pad + 15}, left{VK_LEFT, cx - 15, pad},
      right{VK_RIGHT, cx + 15, pad}, a{static_cast<short>(smartphone ? VK_TSOFT1 : VK_APP1), 20, h + 20},
      b{static_cast<short>(smartphone ? VK_TSOFT2 : VK_APP2), w - 20, h + 20},
      c{static_cast<short>(smartphone ? VK_TTALK : VK_APP3), 20, h + 60}, start{VK_RETURN, cx, pad};
  // Landscape is the handset turned a quarter clockwise, the buttons on the left, as the program's
  // landscape text reads: portrait (x, y) is seen at (h - 1 - y, x).
  auto point = [&](const Button &button) {
    return landscape ? POINT{h - 1 - button.y, button.x} : POINT{button.x, button.y};
  };
  auto entry = [&](const Button &button) { return std::pair<short, POINT>{button.key, point(button)}; };
  auto [vkUp, ptUp] = entry(landscape ? left : up);
  auto [vkDown, ptDown] = entry(landscape ? right : down);
  auto [vkLeft, ptLeft] = entry(landscape ? down : left);
  auto [vkRight, ptRight] = entry(landscape ? up : right);
  auto [vkA, ptA] = entry(a);
  auto [vkB, ptB] = entry(b);
  auto [vkC, ptC] = entry(c);
  auto [vkStart, ptStart] = entry(start);
  return {vkUp, ptUp, vkDown, ptDown, vkLeft, ptLeft, vkRight, ptRight,
          vkA,  ptA,  vkB,    ptB,    vkC,    ptC,    vkStart, ptStart};
}

}  // namespace platform

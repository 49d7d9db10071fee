// The preview step of the frame pipeline, the picture buffers and the composition of the screen.
#include "pipeline/preview.h"

#include <gx.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/appstate.h"
#include "app/settings.h"
#include "pipeline/overlay.h"

// ComposeBusy: a taker that may not wait gives up at once; one that may waits for the holder,
// who never waits for anything while holding it.
bool TakeCompose(bool wait) {
  while (g_App.ComposeBusy.exchange(1, std::memory_order_acquire)) {
    if (!wait) return false;
    std::this_thread::yield();
  }
  return true;
}

void ReleaseCompose() { g_App.ComposeBusy.store(0, std::memory_order_release); }

namespace {

constexpr uint32_t kPictureAlign = 32;

void ClearPicture(Picture &picture) {
  if (picture.pixels) std::memset(picture.pixels, 0, picture.header.biSizeImage);
}

// ComposeAndBlit's work, by a holder of ComposeBusy.
void ComposeHeld() {
  Picture &screen = g_App.ScreenPicture;
  const Picture &preview = g_App.PreviewPicture;
  if (!screen.pixels) return;
  if (preview.pixels)
    std::memcpy(screen.pixels, preview.pixels, std::min(screen.header.biSizeImage, preview.header.biSizeImage));
  DrawOverlay(&g_App.text);
  // The display takes a whole screen; a smaller picture is not blitted.
  if (uint64_t(g_App.device.width) * g_App.device.height * 2 <= screen.capacity) BlitToDisplay(screen.pixels);
}

}  // namespace

uint32_t SetPictureSize(Picture *picture, uint32_t width, uint32_t height, uint32_t minBytes) {
  BITMAPINFOHEADER &h = picture->header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biXPelsPerMeter = h.biYPelsPerMeter = 3780;
  uint64_t image = uint64_t(width) * height * 2;
  uint64_t bytes = std::max<uint64_t>(image, minBytes);
  if (bytes > UINT32_MAX - kPictureAlign) bytes = 0;  // not addressable as a picture: none
  if (bytes != picture->capacity || (bytes && !picture->block)) {
    FreePicture(picture);
    if (bytes) {
      picture->block = std::malloc(size_t(bytes) + kPictureAlign - 1);
      if (picture->block) {
        uintptr_t at = (reinterpret_cast<uintptr_t>(picture->block) + kPictureAlign - 1) & ~uintptr_t(kPictureAlign - 1);
        picture->pixels = reinterpret_cast<uint16_t *>(at);
        picture->capacity = uint32_t(bytes);
      }
    }
  }
  bool ok = bytes == 0 ? image == 0 : picture->block != nullptr;
  h.biWidth = ok ? LONG(width) : 0;
  h.biHeight = ok ? LONG(height) : 0;
  h.biSizeImage = ok ? DWORD(image) : 0;
  return ok;
}

void FreePicture(Picture *picture) {
  std::free(picture->block);
  picture->block = nullptr;
  picture->pixels = nullptr;
  picture->capacity = 0;
}

void DrawPreview(const FrameDesc *frame, uint32_t force) {
  if (!g_App.FullScreen.load(std::memory_order_relaxed) && !force) return;
  FrameDesc local = *frame;
  if (local.format == FORMAT_IYUV) local.format = FORMAT_YV12;
  if (g_App.ScreenCaptureMode && !force) {
    // The screen is never fed back into itself.
    if (TakeCompose(false)) {
      ClearPicture(g_App.PreviewPicture);
      ReleaseCompose();
    }
    return;
  }
  const uint32_t tick = g_App.FrameTick;
  if (!force && tick >= g_App.LastPreviewTick &&
      tick - g_App.LastPreviewTick < uint32_t(SettingValue(SET_PREVIEW_INTERVAL)))
    return;
  // The interval runs from the last frame shown: one skipped because another thread composes
  // holds back nothing.
  if (local.format == FORMAT_IJPG) {
    g_App.LastPreviewTick = tick;
    ComposeAndBlit();  // a JPEG frame is never decoded for the preview; the overlay still is
  } else if (TakeCompose(force)) {
    g_App.LastPreviewTick = tick;
    int mode = SettingValue(EffectiveRow(*g_App.settings[SET_CAPTURE_MODE]) == 1 ? SET_VIDEO_PREVIEW_MODE
                                                                                   : SET_PHOTO_PREVIEW_MODE);
    ConvertPreview(&local, uint32_t(SettingValue(SET_MOUNTING)), uint32_t(mode),
                   reinterpret_cast<uint8_t *>(g_App.EncodeBuffer.pixels), g_App.EncodeBuffer.capacity);
    if (g_App.MainWindow) ComposeHeld();
    ReleaseCompose();
  }
  g_App.PreviewCost.store(GetTickCount() - tick, std::memory_order_relaxed);
}

void BlitToDisplay(const uint16_t *pixels) {
  if (!g_App.FullScreen.load(std::memory_order_relaxed)) return;
  uint16_t *target = g_App.device.bitsPerPixel == 16 ? g_App.displayCache.load(std::memory_order_relaxed) : nullptr;
  const bool begun = target == nullptr;
  if (begun) {
    target = static_cast<uint16_t *>(GXBeginDraw());
    if (!target) return;
    uint16_t *none = nullptr;
    g_App.displayCache.compare_exchange_strong(none, target, std::memory_order_relaxed);
  }
  size_t bytes = size_t(g_App.device.width) * g_App.device.height * 2;
  if (pixels)
    std::memcpy(target, pixels, bytes);
  else
    std::memset(target, 0, bytes);
  if (begun) GXEndDraw();
}

void ClearPreview() {
  TakeCompose(true);
  ClearPicture(g_App.PreviewPicture);
  if (g_App.MainWindow) ComposeHeld();
  ReleaseCompose();
}

void ComposeAndBlit() {
  if (!g_App.MainWindow || !TakeCompose(false)) return;
  ComposeHeld();
  ReleaseCompose();
}

// The preview: camera frames converted to RGB 565, scaled to the screen with their aspect
// kept, turned for the camera's mounting and centred on black; and the composition that is
// the one way anything reaches the display.
//
// The preview picture is guarded by g_App.ComposeBusy (a test-and-set flag): whoever writes
// PreviewPicture (the frame thread's conversion, ClearPreview) or composes ScreenPicture
// holds it. The frame thread never waits for it: a preview frame that finds it taken is
// skipped, and a composer that finds it taken skips its redraw. Only the forced preview of a
// saved still, ClearPreview and a new text layout, which must not be lost, wait for the
// current holder.
#pragma once

#include <cstdint>

#include "camera/frame.h"
#include "pipeline/picture.h"

// Preview modes (settings #36 and #37).
enum PreviewMode : uint32_t {
  PREVIEW_NONE = 0,
  PREVIEW_GREY = 1,
  PREVIEW_GREY_HALF = 2,
  PREVIEW_COLOUR = 3,
  PREVIEW_COLOUR_HALF = 4,
  PREVIEW_FAST = 5,       // tarnjpg's ConvertFrame, grey when it is missing or refuses
  PREVIEW_FAST_HALF = 6,
};

// Sets the picture's size. The block is reallocated only when the bytes needed change:
// width × height × 2, or minBytes when that is larger (the EncodeBuffer passes the encoders'
// worst case, EncodeBufferBytes). Size 0 frees the block. 0 when the allocation failed (the
// picture is then empty), else 1.
uint32_t SetPictureSize(Picture *picture, uint32_t width, uint32_t height, uint32_t minBytes = 0);
// Frees the picture's block; the header keeps its fields.
void FreePicture(Picture *picture);

// Draws one frame as the preview (force: the still path shows the saved picture whatever the
// throttle and the screen-capture rule say).
void DrawPreview(const FrameDesc *frame, uint32_t force);
// Fills PreviewPicture from the frame: orientation is the camera mounting (#41: 0 quarter turn
// counter-clockwise, 1 upright, 2 quarter turn clockwise, 3 half turn), mode a PreviewMode,
// scratch the work buffer of tarnjpg's converter (scratchBytes long). The caller holds
// ComposeBusy.
void ConvertPreview(const FrameDesc *frame, uint32_t orientation, uint32_t mode, uint8_t *scratch,
                    uint32_t scratchBytes);
// Copies a full screen of pixels into the display; null clears it to black.
void BlitToDisplay(const uint16_t *pixels);
// Takes ComposeBusy: waits for the holder when `wait`, else gives up at once (false). Also
// held by whoever changes what a composition reads, such as the overlay's text layout.
bool TakeCompose(bool wait);
void ReleaseCompose();
// Clears PreviewPicture to black and recomposes the screen.
void ClearPreview();
// PreviewPicture → ScreenPicture, the overlay over it, the result to the display; skipped when
// there is no main window or another thread is composing.
void ComposeAndBlit();

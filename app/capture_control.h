// Capture control: starts and ends the three kinds of capture (a still, an interval series, a
// video recording) when the Action key reaches it, runs the pages shown after a capture, owns
// the capture state, runs the interval series on a thread of its own and prepares the JPEG
// encoder before each capture. Main thread, except the interval thread.
#pragma once

#include <cstdint>

struct MenuPage;

// Configures the JPEG encoder for the Camera's active geometry and the quality, sampling and
// orientation settings of the capture mode in force. Non-zero when the encoder accepted.
uint32_t PrepareEncoder();

// Restarts the preview for the current capture kind and shows "Try another format.".
void FormatFallback();

// The Action key with the menu hidden, by capture mode: takes a photo, starts or stops an
// interval series, starts or pauses a recording. Always 1.
uint32_t HandleAction();

// Start on an item of the after-photo, paused-recording or after-recording page (keep, view,
// delete, resume, discard); other keys do nothing. Always 1.
uint32_t HandleCapturePage(MenuPage *page, int32_t key);

// Codes of CaptureFinished and of the window's capture-finished message (WM_APP, wParam).
enum : uint32_t { CAPTURE_DONE = 0, CAPTURE_STOPPED = 1, CAPTURE_FAILED = 2 };
// The end of a capture: a still that finished (CAPTURE_DONE shows the after-photo page), or a
// stop without a page; ends a running interval series and goes back to the preview picture.
// CAPTURE_FAILED ends a recording whose file could not be written, as the Action key would,
// whether or not the program is in front.
void CaptureFinished(uint32_t code);

// Ends the interval series: asks the thread to stop and waits up to 5120 ms, then terminates
// it. Returns 1 when the thread is known to have ended by itself (or none ran), 0 when it had
// to be terminated.
uint32_t StopInterval();

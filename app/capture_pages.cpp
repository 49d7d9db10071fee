// The pages after a capture: keep, view or delete a picture; resume, keep, view or discard a
// recording.
#include "app/capture_control.h"
#include "app/capture_internal.h"
#include "capture/recorder.h"
#include "pipeline/preview.h"

namespace {

using namespace capture;

void BackToPreview(MenuPage *page) {
  SetState(STATE_PREVIEW);
  LeaveCapturePage(page);
  Reconfigure(1);
  ClearPreview();
  StartStream();
}

void AfterPhotoPage(MenuPage *page, int32_t item) {
  switch (item) {
    case 0: BackToPreview(page); break;
    case 1:
      if (g_App.device.modelCode == kModelHardwareZoom) StopSource();
      OpenWithShell(g_App.currentFile);
      break;
    case 3:
      DeleteFileW(g_App.currentFile);
      BackToPreview(page);
      break;
  }
}

void RecordingPage(MenuPage *page, int32_t item) {
  Recorder &recorder = g_App.recorder;
  switch (item) {
    case 0:
      if (!ResumeRecorder(&recorder)) return;
      g_App.CaptureStartTick = recorder.startTick;
      SetState(STATE_CAPTURING);
      LeaveCapturePage(page);
      return;
    case 1: FinishRecorder(&recorder, RECORDING_KEEP_RENAMED, 0); break;
    case 2:
      // Renamed as by "keep": the viewer is given the final name, and a temporary file left
      // behind would be overwritten by the next recording that needs one.
      FinishRecorder(&recorder, RECORDING_KEEP_RENAMED, 0);
      OpenWithShell(recorder.path);
      ShowCapturePage(PAGE_AFTER_RECORDING, page->parent);
      return;
    case 4: FinishRecorder(&recorder, RECORDING_DISCARD, 0); break;
    default: return;
  }
  SetState(STATE_PREVIEW);
  Reconfigure(0);
  LeaveCapturePage(page);
}

}  // namespace

uint32_t HandleCapturePage(MenuPage *page, int32_t key) {
  if (key != int32_t(g_App.keys.vkStart)) return 1;
  MenuPage *pages = g_App.menu.pages;
  const int32_t cursor = page->cursor;
  if (page == &pages[PAGE_AFTER_PHOTO])
    AfterPhotoPage(page, cursor);
  else if (page == &pages[PAGE_PAUSED])
    RecordingPage(page, cursor);
  else if (page == &pages[PAGE_AFTER_RECORDING])
    RecordingPage(page, cursor + 1);  // the same items without "resume"
  return 1;
}


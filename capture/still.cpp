// Still pictures and file names.
#include "capture/still.h"

#include <mmsystem.h>

#include <cstdio>

#include "app/appstate.h"
#include "capture/encoder.h"
#include "capture/storage.h"
#include "pipeline/preview.h"

namespace {

constexpr int kCaptureModeSetting = 23, kPhotoStorageSetting = 26, kVideoStorageSetting = 29;
constexpr int kShutterSoundSetting = 32;
constexpr int kCaptureInterval = 2;
constexpr int kMaxNameSuffix = 99;

bool Exists(const WCHAR *path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

uint32_t FormatFileName(WCHAR *path, const WCHAR *root, bool photoFamily, const SYSTEMTIME &time,
                        const WCHAR *extension, int32_t serial) {
  int folder = wsprintfW(path, u"%s%s", root, photoFamily ? u"\\My Pictures" : u"\\My Videos");
  CreateDirectoryW(path, nullptr);
  WCHAR serialText[16] = u"";
  if (serial >= 0) wsprintfW(serialText, u"-%02d", serial);
  WCHAR *name = path + folder;
  int written = wsprintfW(name, u"\\%d%02d%02d-%02d%02d%02d%s.%s", time.wYear % 100, time.wMonth,
                          time.wDay, time.wHour, time.wMinute, time.wSecond, serialText, extension);
  // A name already taken (two pictures in one second) gets "_01" .. "_99" before the
  // extension; the numbers keep the names in the order they were taken.
  for (int suffix = 1; Exists(path); ++suffix) {
    if (suffix > kMaxNameSuffix) return 0;
    written = wsprintfW(name, u"\\%d%02d%02d-%02d%02d%02d%s_%02d.%s", time.wYear % 100, time.wMonth,
                        time.wDay, time.wHour, time.wMinute, time.wSecond, serialText, suffix,
                        extension);
  }
  return uint32_t(written);
}

uint32_t MakeFileName(OptionList *const *settings, WCHAR *path, const WCHAR *extension,
                      int32_t serial) {
  const uint32_t mode = EffectiveRow(*settings[kCaptureModeSetting]);
  const bool photoFamily = mode == 0 || mode == kCaptureInterval;
  const int32_t storage =
      OptionValue(*settings[photoFamily ? kPhotoStorageSetting : kVideoStorageSetting]);
  // A card listed when the setting was made may have gone: the device memory stands in.
  const uint32_t entry = storage >= 0 && uint32_t(storage) < g_StorageList.count ? uint32_t(storage) : 0;
  const WCHAR *root = g_StorageList.count ? g_StorageList.entries[entry].path : u"\\My Documents";
  CreateDirectoryW(root, nullptr);
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatFileName(path, root, photoFamily, now, extension, serial);
}

uint32_t SaveStill(uint8_t *buffer, uint32_t capacity, FrameDesc *frame) {
  if (OptionValue(*g_App.settings[kShutterSoundSetting]) != 0 && g_App.flashSound[0] == 0)
    PlaySoundW(u"MenuPop.wav", nullptr, SND_FILENAME | SND_ASYNC);
  const int32_t serial = g_App.FrameKind == kCaptureInterval ? int32_t(g_App.shotCounter.load()) : -1;
  if (g_App.MainWindow) {
    DrawPreview(frame, 1);
    if (MakeFileName(g_App.settings, g_App.currentFile, u"jpg", serial) == 0) return 0;
  }
  const uint32_t size = EncodeJpeg(&g_EncoderSetup, buffer, capacity, frame, 1);
  if (size == 0) return 0;
  FILE *file = _wfopen(g_App.currentFile, u"wb");
  if (!file) return 0;
  const size_t written = fwrite(buffer, size, 1, file);
  // The data may reach the volume only when the file is closed: a full card fails there.
  const bool closed = fclose(file) == 0;
  if (written == 1 && closed) return 1;
  DeleteFileW(g_App.currentFile);  // a cut-off picture is no picture
  return 0;
}

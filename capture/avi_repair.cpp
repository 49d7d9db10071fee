#include "capture/avi_repair.h"

#include <cewchar.h>

#include <cstring>

#include "app/appstate.h"
#include "capture/recorder.h"

namespace {

constexpr WCHAR kRecordingValue[] = TEXT("Recording");  // under g_App.registryKey
constexpr uint32_t kSoundBytesPerMs = 16;               // 8000 samples of 16 bits a second
constexpr uint32_t kJpegSegmentsToFrame = 64;           // segments looked at for the frame header
constexpr size_t kNotedPathUnits = 260;

uint32_t U32(const uint8_t *at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }
uint32_t Be16(const uint8_t *at) { return uint32_t(at[0]) << 8 | at[1]; }

// Reads within the source's size only; false past it or when the read failed (*failed set).
struct Reader {
  const AviRepairSource &source;
  bool failed = false;
  bool read(uint64_t at, uint8_t *out, uint32_t count) {
    if (at > source.size || count > source.size - at) return false;
    if (source.read(source.context, at, out, count)) return true;
    failed = true;
    return false;
  }
};

// A JPEG start of frame (any process but the differential arithmetic ones share its layout).
bool IsStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The size of the JPEG picture at `at`, `size` bytes long (past its start-of-image marker), from
// its frame header. False when none is found among its first segments.
bool JpegSize(Reader &in, uint64_t at, uint32_t size, uint32_t *width, uint32_t *height) {
  const uint64_t end = at + size;
  uint64_t p = at + 2;
  for (uint32_t n = 0; n < kJpegSegmentsToFrame && p + 4 <= end; ++n) {
    uint8_t marker[4];
    if (!in.read(p, marker, 4) || marker[0] != 0xFF) return false;
    if (IsStartOfFrame(marker[1])) {
      uint8_t frame[5];  // precision, height, width
      if (p + 9 > end || !in.read(p + 4, frame, 5)) return false;
      *height = Be16(frame + 1);
      *width = Be16(frame + 3);
      return *width != 0 && *height != 0;
    }
    if (marker[1] == 0xDA || marker[1] == 0xD9) return false;  // the scan (or the end) before a frame
    const uint32_t length = Be16(marker + 2);
    if (length < 2) return false;
    p += 2 + length;
  }
  return false;
}

bool ReadMemory(void *context, uint64_t at, uint8_t *out, uint32_t count) {
  std::memcpy(out, static_cast<const uint8_t *>(context) + at, count);
  return true;
}

bool ReadFile(void *context, uint64_t at, uint8_t *out, uint32_t count) {
  FILE *file = static_cast<FILE *>(context);
  return std::fseek(file, long(at), SEEK_SET) == 0 && std::fread(out, 1, count, file) == count;
}

}  // namespace

AviRepairPlan PlanAviRepair(const AviRepairSource &source) {
  AviRepairPlan plan;
  Reader in{source};
  uint8_t header[kAviHeaderBytes];
  const uint32_t headerBytes = uint32_t(source.size < kAviHeaderBytes ? source.size : kAviHeaderBytes);
  if (headerBytes > 0 && !in.read(0, header, headerBytes)) {
    plan.verdict = AVI_REPAIR_UNREADABLE;
    return plan;
  }
  for (uint32_t i = 0; i < headerBytes; ++i)
    if (header[i] != 0) return plan;  // a header: not cut off
  plan.verdict = AVI_REPAIR_EMPTY;
  plan.end = kAviHeaderBytes;
  if (source.size < kAviHeaderBytes) return plan;

  uint32_t videoEntries = 0, lastPicture = 0, lastPictureSize = 0;
  uint64_t at = kAviHeaderBytes;
  uint8_t chunk[8];
  while (in.read(at, chunk, sizeof chunk)) {
    const bool picture = std::memcmp(chunk, "00dc", 4) == 0;
    const bool sound = std::memcmp(chunk, "01wb", 4) == 0;
    const uint32_t size = U32(chunk + 4);
    const uint64_t next = at + 8 + size + (size & 1);
    if ((!picture && !sound) || next > source.size) break;
    // The chunk, the repeats before it and the index chunk must stay under the writer's guard.
    const uint32_t repeats = sound && videoEntries > 0 && videoEntries < plan.soundChunks + 1
                                 ? plan.soundChunks + 1 - videoEntries
                                 : 0;
    if (next + 8 + uint64_t(kAviIndexEntryBytes) * (plan.items.size() + repeats + 1) > kAviFileLimit) break;
    if (picture) {
      uint8_t start[2];
      if (size < 2 || !in.read(at + 8, start, 2) || start[0] != 0xFF || start[1] != 0xD8) break;
      if (plan.pictures == 0 && !JpegSize(in, at + 8, size, &plan.width, &plan.height)) break;
      lastPicture = uint32_t(at);
      lastPictureSize = size;
      plan.items.push_back({lastPicture, size, 0});
      ++plan.pictures;
      ++videoEntries;
    } else {
      // 16-bit samples, and every block as long as the first (the writer's blocks are).
      if (size == 0 || (size & 1) || (plan.soundBlockBytes && size != plan.soundBlockBytes)) break;
      if (plan.soundChunks == 0) plan.soundBlockBytes = size;
      for (uint32_t i = 0; i < repeats; ++i) plan.items.push_back({lastPicture, lastPictureSize, 0});
      plan.repeats += repeats;
      videoEntries += repeats;
      plan.items.push_back({uint32_t(at), size, 1});
      ++plan.soundChunks;
    }
    at = next;
    plan.end = uint32_t(at);
  }
  if (in.failed) {
    plan = AviRepairPlan{};
    plan.verdict = AVI_REPAIR_UNREADABLE;
  } else if (plan.pictures > 0) {
    plan.verdict = AVI_REPAIR_CUT;
  }
  return plan;
}

AviRepairPlan PlanAviRepair(const uint8_t *data, size_t size) {
  return PlanAviRepair(AviRepairSource{size, const_cast<uint8_t *>(data), &ReadMemory});
}

uint32_t RepairFrameInterval(const AviRepairPlan &plan, uint32_t fallback) {
  const uint32_t fromSound = plan.soundBlockBytes / kSoundBytesPerMs;
  return fromSound ? fromSound : fallback;
}

int RepairAviFile(FILE *file, uint32_t fallbackInterval) {
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  AviRepairPlan plan;
  if (size < 0)
    plan.verdict = AVI_REPAIR_UNREADABLE;
  else
    plan = PlanAviRepair(AviRepairSource{uint64_t(size), file, &ReadFile});
  if (plan.verdict != AVI_REPAIR_CUT) {
    std::fclose(file);
    return plan.verdict;
  }
  AviWriter *writer = CreateAviWriter();
  if (!writer) {
    std::fclose(file);
    return -1;
  }
  const int result = RebuildAvi(writer, file, plan.width, plan.height, RepairFrameInterval(plan, fallbackInterval),
                                plan.end, uint64_t(size), plan.items.data(), uint32_t(plan.items.size()));
  if (writer->file)
    CloseAviFile(writer);
  else
    std::fclose(file);
  DestroyAviWriter(writer);
  return result == 0 ? AVI_REPAIR_CUT : -1;
}

bool NoteRecording(const WCHAR *path) {
  HKEY key;
  if (!g_App.registryKey ||
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) !=
          ERROR_SUCCESS)
    return false;
  const LONG result = RegSetValueExW(key, kRecordingValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(path),
                                     DWORD((wcslen(path) + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void ForgetRecording() {
  HKEY key;
  if (!g_App.registryKey || RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, 0, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, kRecordingValue);
  RegCloseKey(key);
}

void RepairUnfinishedRecording(int32_t videoInterval) {
  HKEY key;
  if (!g_App.registryKey || RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_App.registryKey, 0, 0, &key) != ERROR_SUCCESS)
    return;
  WCHAR path[kNotedPathUnits + 1] = {};
  DWORD type = 0, bytes = kNotedPathUnits * sizeof(WCHAR);
  const bool noted = RegQueryValueExW(key, kRecordingValue, nullptr, &type, reinterpret_cast<BYTE *>(path),
                                      &bytes) == ERROR_SUCCESS &&
                     type == REG_SZ;
  RegCloseKey(key);
  if (!noted) return;
  bool done = GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;  // gone: nothing to repair
  if (FILE *file = done ? nullptr : _wfopen(path, TEXT("r+b"))) {
    const int verdict = RepairAviFile(file, AviFrameInterval(RecordingFramesPerSecond(videoInterval)));
    if (verdict == AVI_REPAIR_EMPTY) DeleteFileW(path);
    done = verdict == AVI_REPAIR_NOT_CUT || verdict == AVI_REPAIR_EMPTY || verdict == AVI_REPAIR_CUT;
  }
  if (done) ForgetRecording();
}

// The walk over a recording cut off by a crash: whatever the bytes, it stays within them, and the
// plan it makes is one the writer can finish — every chunk whole and inside the part kept, in
// file order, repeats pointing at pictures already seen, the counts those of the items.
#include <cstring>

#include "capture/avi_repair.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // A cut-off file starts with the writer's zero header; most inputs get one, so the walk is reached.
  std::vector<uint8_t> file(data, data + size);
  if (!file.empty() && file[0] & 1) file.insert(file.begin(), kAviHeaderBytes, 0);
  const AviRepairPlan plan = PlanAviRepair(file.data(), file.size());
  if (plan.verdict != AVI_REPAIR_CUT) return 0;
  fuzz::check(plan.end >= kAviHeaderBytes && plan.end <= file.size(), "the part kept lies within the file");
  uint32_t pictures = 0, repeats = 0, sound = 0, next = kAviHeaderBytes, lastPicture = 0;
  for (const AviIndexItem &item : plan.items) {
    fuzz::check(uint64_t(item.offset) + 8 + item.size <= plan.end, "a chunk of the plan lies within the part kept");
    if (item.sound) {
      ++sound;
    } else if (item.offset < next) {
      fuzz::check(item.offset == lastPicture && lastPicture != 0, "a repeat shows the last picture");
      ++repeats;
      continue;
    } else {
      ++pictures;
      lastPicture = item.offset;
    }
    fuzz::check(item.offset == next, "the chunks follow each other");
    next = item.offset + 8 + item.size + (item.size & 1);
  }
  fuzz::check(next == plan.end, "the part kept ends with its last chunk");
  fuzz::check(pictures == plan.pictures && repeats == plan.repeats && sound == plan.soundChunks,
              "the counts are those of the items");
  return 0;
}

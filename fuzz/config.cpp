// "Config.txt": the flash sound and the capture window, parsed from the file's text with its
// terminating zero as the loader reads it. The sound's name fits its field and ends there.
#include <cstring>

#include "app/config.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  char *text = new char[size + 1];
  std::memcpy(text, data, size);
  text[size] = 0;
  char flashSound[kFlashSoundChars];
  std::memset(flashSound, 'x', sizeof flashSound);
  int32_t window[4] = {7, 8, 9, 10};
  ParseConfig(text, flashSound, window);
  const void *end = std::memchr(flashSound, 0, sizeof flashSound);
  fuzz::check(end != nullptr, "the flash sound's name ends in its field");
  for (const char *c = flashSound; *c; ++c)
    fuzz::check(static_cast<signed char>(*c) > 32, "the flash sound's name holds no space or control byte");
  delete[] text;
  return 0;
}

// Still pictures and the names of every file the program creates.
#pragma once

#include <windows.h>

#include <cstdint>

#include "camera/frame.h"
#include "camera/options.h"

constexpr uint32_t kFilePathUnits = 256;  // the current file path buffer (512 bytes)

// Writes "<root>\My Pictures\YMMDD-hhmmss[-NN][_KK].<extension>" (or "My Videos" for video)
// into path (kFilePathUnits units) from the local time; root is the storage chosen by #26 for
// photo and interval captures, #29 for video, falling back to the device memory (entry 0) when
// the stored index lies beyond the storage list. serial < 0 means no "-NN". When the name is
// taken, "_01" .. "_99" is added before the extension. Returns the characters of the file name
// part written, 0 when no free name was found.
uint32_t MakeFileName(OptionList *const *settings, WCHAR *path, const WCHAR *extension,
                      int32_t serial);

// The same for a given time and storage root; MakeFileName is GetLocalTime and this.
uint32_t FormatFileName(WCHAR *path, const WCHAR *root, bool photoFamily, const SYSTEMTIME &time,
                        const WCHAR *extension, int32_t serial);

// Plays the shutter sound, shows the frame, names the file (interactive mode; with no main
// window the current file path is used as it is), encodes the frame into buffer (capacity
// bytes, the EncodeBuffer) and writes the file. 1 when the whole picture was written.
uint32_t SaveStill(uint8_t *buffer, uint32_t capacity, FrameDesc *frame);

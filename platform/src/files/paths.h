// How the paths of the file calls map onto the host.
#pragma once

#include <memory>
#include <string>

#include "files/volumes.h"

namespace platform {

struct MappedPath {
  std::string host;
  std::shared_ptr<Volume> volume;  // the emulated volume it lies on, null when none has a capacity
  bool cardRoot = false;           // a storage card's own folder
  bool readOnly = false;           // "\Windows" and what lies in it: the handset's system files
};

// Maps a path (see winbase.h); false with the last error set when it can name nothing. The
// emulator's own files in the device root (files/own_files.h) are no handset files: a path to
// them or into them is refused with ERROR_ACCESS_DENIED.
bool mapPath(const char16_t *path, MappedPath &out);

// The host folder of "\Program Files\Pelkavo" and the executable's file name.
std::string programDirectory();
std::u16string programFileName();
// The handset's name for the program's directory.
inline constexpr char16_t kProgramDirectory[] = u"\\Program Files\\Pelkavo";

// Sets the last error for a failed host call on `host`: a missing file is ERROR_FILE_NOT_FOUND
// when its folder exists, else ERROR_PATH_NOT_FOUND.
void setFileError(int error, const std::string &host);

}  // namespace platform

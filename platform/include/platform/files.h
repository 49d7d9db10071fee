// Control API of the platform's file system for tests and tools; product code never includes it.
//
// The handset's file system lies in the device root (device::root()): "\My Documents\x" is
// <root>/My Documents/x, a storage card of the profile is <root>/<card name>, "\Windows" is
// <root>/Windows plus the system libraries the profile lists. The program's directory
// "\Program Files\Pelkavo" is the folder the executable lies in, or HANDSET_PROGRAM_DIR.
#pragma once

#include <string>

namespace platform {

// The host path a path of the file calls names ("" when it can name nothing, or names one of
// the emulator's own files in the device root: the registry, shell.log, .system).
std::string hostPath(const char16_t *path);

// Points "\Program Files\Pelkavo" at another host folder (tests); "" goes back to
// HANDSET_PROGRAM_DIR or the executable's folder.
void setProgramDirectory(const std::string &hostFolder);

}  // namespace platform

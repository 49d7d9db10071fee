#include "root/root.h"

#include <filesystem>

#include "device/profile.h"

namespace device {

namespace {

// What a handset's own memory holds before anything is installed or saved. The program's own
// folder ("\Program Files\Pelkavo") is the folder the executable lies in, not one in the root.
constexpr const char *kFactoryFolders[] = {"My Documents", "Program Files", "Windows", "Temp"};

}  // namespace

void prepareRoot(const std::string &hostPath) {
  std::error_code error, ignored;
  std::filesystem::create_directories(hostPath, error);
  if (!std::filesystem::is_directory(hostPath, ignored))
    stopOnBadSetting("handset error: HANDSET_ROOT: \"" + hostPath + "\" is no folder and cannot be made one" +
                     (error ? " (" + error.message() + ")" : std::string()));
  for (const char *folder : kFactoryFolders) std::filesystem::create_directory(hostPath + "/" + folder, ignored);
}

}  // namespace device

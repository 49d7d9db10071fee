#include "root/root.h"

#include <filesystem>

namespace device {

namespace {

// What a handset's own memory holds before anything is installed or saved. The program's own
// folder ("\Program Files\Pelkavo") is the folder the executable lies in, not one in the root.
constexpr const char *kFactoryFolders[] = {"My Documents", "Program Files", "Windows", "Temp"};

}  // namespace

void prepareRoot(const std::string &hostPath) {
  std::error_code ignored;
  std::filesystem::create_directories(hostPath, ignored);
  for (const char *folder : kFactoryFolders) std::filesystem::create_directory(hostPath + "/" + folder, ignored);
}

}  // namespace device

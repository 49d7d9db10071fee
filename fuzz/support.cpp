#include "support.h"

#include <stdlib.h>

#include <filesystem>

#include "device/display.h"
#include "device/profile.h"
#include "platform/files.h"

namespace fuzz {
namespace {

std::string g_base, g_root;

void removeTemporaryHandset() {
  std::error_code ignored;
  if (!g_base.empty()) std::filesystem::remove_all(g_base, ignored);
}

}  // namespace

void useTemporaryHandset(const std::string &profile) {
  if (g_base.empty()) {
    char folder[] = "/tmp/pelkavo-fuzz-XXXXXX";
    if (!mkdtemp(folder)) fail("cannot make a temporary folder for the handset");
    g_base = folder;
    g_root = g_base + "/root";
    std::filesystem::create_directories(g_base + "/prog");
    std::atexit(removeTemporaryHandset);
  }
  device::setRoot(g_root);
  platform::setProgramDirectory(g_base + "/prog");
  device::setCurrent(device::Profile::parse(profile, g_base + "/fuzz.profile"));
  device::resetDisplay();
}

const std::string &handsetRoot() { return g_root; }

void fail(const char *what, const std::string &detail) {
  std::fprintf(stderr, "fuzz: property does not hold: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  std::abort();
}

}  // namespace fuzz

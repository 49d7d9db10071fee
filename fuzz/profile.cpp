// The handset profile: the checking parse under the loader (which ends the process over a bad
// profile), then the readers the handset applies to a profile that passed it.
#include "device/profile.h"
#include "schema.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  std::optional<device::Profile> profile;
  try {
    profile = device::Profile::parse(text, "fuzz.profile");
  } catch (const device::ProfileError &) {
    return 0;
  }
  for (const device::ProfileEntry &entry : profile->entries()) {
    if (entry.key == "registry") {
      device::RegistryDefault parsed;
      const std::string problem = device::parseRegistryDefault(entry.value, parsed);
      fuzz::check(problem.empty(), "a registry line the profile accepted parses again", problem);
    }
    try {
      profile->number(entry.key, 0);
    } catch (const device::ProfileError &) {
    }
    try {
      profile->flag(entry.key, false);
    } catch (const device::ProfileError &) {
    }
  }
  profile->registryDefaults();
  return 0;
}

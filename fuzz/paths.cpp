// The handset path mapping: any path of the file calls that starts as a handset path ("\..." or
// "//...") names a host path inside the handset (its root, a storage card, the program's
// directory or a system library) and never climbs out of it; the volume it is counted on is
// the one of the folder it lies in. The input is the path in UTF-16LE.
#include <filesystem>
#include <fstream>

#include "device/profile.h"
#include "files/paths.h"
#include "platform/files.h"
#include "support.h"

namespace {

bool inside(const std::string &host, const std::string &folder) {
  return host == folder || (host.size() > folder.size() && host.compare(0, folder.size(), folder) == 0 &&
                            host[folder.size()] == '/');
}

void prepare() {
  fuzz::useTemporaryHandset(
      "display = 240x320\nmemory = 1M\nstorage_card = Storage Card, 1M\nstorage_card = SD Karte, 1M\n"
      "system_library = JPEGENC.dll\n");
  const std::string &root = fuzz::handsetRoot();
  for (const char *folder : {"My Documents/My Pictures", "Storage Card/DCIM", "SD Karte", "Windows", "Temp"})
    std::filesystem::create_directories(root + "/" + folder);
  std::ofstream(root + "/My Documents/Bild\xC3\xA4.jpg") << "x";
  std::ofstream(root + "/Windows/Default.WAV") << "x";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool prepared = (prepare(), true);
  (void)prepared;
  std::u16string path;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = char16_t(data[i] | data[i + 1] << 8);
    if (!unit) break;
    path += unit;
  }
  platform::MappedPath mapped;
  const bool named = platform::mapPath(path.c_str(), mapped);
  fuzz::check(platform::hostPath(path.c_str()) == (named ? mapped.host : std::string()), "hostPath is mapPath's host");
  const bool handset = !path.empty() && (path[0] == u'\\' || path.starts_with(u"//"));
  if (!named || !handset) return 0;

  const std::string root = device::root(), program = platform::programDirectory();
  const std::string systemLibraries = device::systemLibraryDirectory();
  std::shared_ptr<const platform::VolumeLayout> layout = platform::currentLayout();
  std::string base;
  std::shared_ptr<platform::Volume> volume;
  if (inside(mapped.host, program)) {
    base = program;
  } else if (inside(mapped.host, systemLibraries)) {
    base = systemLibraries;
  } else {
    fuzz::check(inside(mapped.host, root), "a handset path stays inside the handset", mapped.host);
    base = root;
    volume = layout->memory;
    for (const platform::StorageCard &card : layout->cards)
      if (inside(mapped.host, root + "/" + card.hostName)) base = root + "/" + card.hostName, volume = card.volume;
    fuzz::check(mapped.volume == volume, "a path is counted on the volume of its folder", mapped.host);
    fuzz::check(mapped.cardRoot == (base != root && mapped.host == base), "only a card's own folder is its root");
  }
  // What follows the base: names, no step up, no empty or "." name.
  const std::string rest = mapped.host.substr(base.size());
  for (size_t at = 0; at < rest.size();) {
    fuzz::check(rest[at] == '/', "names are separated by '/'", mapped.host);
    const size_t end = std::min(rest.find('/', at + 1), rest.size());
    const std::string name = rest.substr(at + 1, end - at - 1);
    fuzz::check(!name.empty() && name != "." && name != "..", "a mapped path holds only names", mapped.host);
    fuzz::check(name.find('\0') == std::string::npos, "a name holds no zero byte", mapped.host);
    at = end;
  }
  return 0;
}

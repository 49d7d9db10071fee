#include "files/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "crt/text.h"
#include "files/own_files.h"
#include "device/profile.h"
#include "kernel/lasterror.h"
#include "platform/files.h"

namespace platform {
namespace {

std::mutex programLock;
std::string programOverride;

std::string executablePath() {
  static const std::string path = [] {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
  }();
  return path;
}

bool exists(const std::string &host) {
  struct stat info;
  return lstat(host.c_str(), &info) == 0;
}

// The name of an entry of `folder` that equals `name` without regard to case ("" when none).
std::string findNoCase(const std::string &folder, std::u16string_view name) {
  std::string exact = toUtf8(name);
  if (exists(folder + "/" + exact)) return exact;
  DIR *dir = opendir(folder.c_str());
  if (!dir) return {};
  std::string found;
  while (dirent *entry = readdir(dir)) {
    if (equalsNoCase(toUtf16(entry->d_name), name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

bool validComponent(std::u16string_view name) {
  for (char16_t c : name)
    if (c < 0x20 || std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos) return false;
  return true;
}

// A system library the profile lists for "\Windows", where the device's stand-ins were built.
std::string systemLibrary(std::u16string_view name) {
  for (const std::string &listed : device::current().all("system_library")) {
    if (!equalsNoCase(toUtf16(listed), name)) continue;
    std::string folder = device::systemLibraryDirectory();
    std::string file = findNoCase(folder, name);
    return file.empty() ? std::string() : folder + "/" + file;
  }
  return {};
}

}  // namespace

std::string programDirectory() {
  {
    std::lock_guard<std::mutex> guard(programLock);
    if (!programOverride.empty()) return programOverride;
  }
  if (const char *dir = std::getenv("HANDSET_PROGRAM_DIR"); dir && *dir) return dir;
  std::string exe = executablePath();
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

std::u16string programFileName() {
  std::string exe = executablePath();
  return toUtf16(exe.substr(exe.rfind('/') + 1));
}

void setProgramDirectory(const std::string &hostFolder) {
  std::lock_guard<std::mutex> guard(programLock);
  programOverride = hostFolder;
}

void setFileError(int error, const std::string &host) {
  if (error == ENOENT) {
    size_t slash = host.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
    struct stat info;
    bool folderThere = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    SetLastError(folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return;
  }
  SetLastError(win32ErrorFromErrno(error));
}

bool mapPath(const char16_t *path, MappedPath &out) {
  out = MappedPath();
  std::u16string_view text = path ? std::u16string_view(path) : std::u16string_view();
  if (text.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  bool handset = text[0] == u'\\' || text.starts_with(u"//");
  if (!handset) {
    out.host = toUtf8(text);
    for (char &c : out.host)
      if (c == '\\') c = '/';
    return true;
  }

  std::vector<std::u16string_view> parts;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find_first_of(u"\\/", at);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view part = text.substr(at, end - at);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      if (!validComponent(part)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
      }
      parts.push_back(part);
    }
    at = end + 1;
  }

  std::shared_ptr<const VolumeLayout> layout = currentLayout();
  size_t first = 0;
  if (parts.size() >= 2 && equalsNoCase(parts[0], u"Program Files") && equalsNoCase(parts[1], u"Pelkavo")) {
    out.host = programDirectory();
    first = 2;
  } else {
    out.host = layout->root;
    out.volume = layout->memory;
    for (const StorageCard &card : layout->cards) {
      if (!parts.empty() && !card.name.empty() && equalsNoCase(parts[0], card.name)) {
        out.host += "/" + card.hostName;
        out.volume = card.volume;
        out.cardRoot = parts.size() == 1;
        first = 1;
        break;
      }
    }
    if (first == 0 && !parts.empty()) {
      if (emulatorFile(parts[0])) {
        out = MappedPath();
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
      }
      out.readOnly = equalsNoCase(parts[0], u"Windows");
    }
  }
  bool found = true;
  for (size_t i = first; i < parts.size(); ++i) {
    std::string name = found ? findNoCase(out.host, parts[i]) : std::string();
    if (name.empty()) {
      found = false;
      name = toUtf8(parts[i]);
    }
    out.host += "/" + name;
  }
  if (!found && first == 0 && parts.size() == 2 && equalsNoCase(parts[0], u"Windows")) {
    std::string library = systemLibrary(parts[1]);
    if (!library.empty()) {
      out.host = library;
      out.volume = nullptr;
    }
  }
  return true;
}

std::string hostPath(const char16_t *path) {
  MappedPath mapped;
  return mapPath(path, mapped) ? mapped.host : std::string();
}

}  // namespace platform

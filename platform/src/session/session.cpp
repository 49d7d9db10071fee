// The handset's processes and their top-level windows, shared through files in the device root
// and local datagram sockets.
#include "session/session.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "crt/text.h"
#include "device/profile.h"
#include "files/own_files.h"
#include "platform/session.h"
#include "windows/internal.h"

namespace platform {
namespace session {
namespace {

namespace fs = std::filesystem;

std::atomic<bool> joinedFlag{false};

uint64_t fnv1a(const std::string &text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// The abstract socket of a process of this handset.
sockaddr_un addressOf(pid_t pid, socklen_t &length) {
  std::error_code ignored;
  std::string root = fs::weakly_canonical(device::root(), ignored).string();
  char name[96];
  int n = std::snprintf(name, sizeof name, "pelkavo-handset/%016" PRIx64 "/%d", fnv1a(root), static_cast<int>(pid));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(n));  // sun_path[0] = 0: abstract
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  return address;
}

bool sendTo(pid_t pid, const std::string &message) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t length;
  sockaddr_un address = addressOf(pid, length);
  bool sent = sendto(fd, message.data(), message.size(), 0, reinterpret_cast<sockaddr *>(&address), length) ==
              static_cast<ssize_t>(message.size());
  close(fd);
  return sent;
}

bool alive(pid_t pid) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t length;
  sockaddr_un address = addressOf(pid, length);
  bool bound = connect(fd, reinterpret_cast<sockaddr *>(&address), length) == 0;
  close(fd);
  return bound;
}

std::string handleName(HWND window) {
  char name[32];
  std::snprintf(name, sizeof name, "%016" PRIxPTR, reinterpret_cast<uintptr_t>(window));
  return name;
}

pid_t ownerOf(HWND window) { return static_cast<pid_t>(reinterpret_cast<uintptr_t>(window) >> 32); }

struct Published {
  HWND window;
  pid_t owner;
  std::u16string className, title;
};

// Every window file of the handset; files of processes that are gone are removed.
std::vector<Published> publishedWindows() {
  std::vector<Published> result;
  const std::string folder = directory("windows");
  if (folder.empty()) return result;
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.find('.') != std::string::npos) continue;  // a file being written
    std::ifstream in(entry.path());
    std::string pid, className, title;
    if (!std::getline(in, pid) || !std::getline(in, className) || !std::getline(in, title)) continue;
    Published p{reinterpret_cast<HWND>(std::strtoull(name.c_str(), nullptr, 16)),
                static_cast<pid_t>(std::atoi(pid.c_str())), toUtf16(className), toUtf16(title)};
    if (p.owner != getpid() && !alive(p.owner)) {
      fs::remove(entry.path(), error);
      continue;
    }
    result.push_back(std::move(p));
  }
  return result;
}

class Listener {
 public:
  ~Listener() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!thread_.joinable()) return;
    sendTo(getpid(), "quit");
    thread_.join();
    close(fd_);
    const std::string folder = directory("windows");
    std::error_code error;
    if (!folder.empty())
      for (HWND window : own_) fs::remove(folder + "/" + handleName(window), error);
  }

  // Listens from the first published window on.
  void publish(HWND window, const std::string &text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!thread_.joinable() && !start()) return;
    const std::string folder = directory("windows");
    if (folder.empty()) return;
    // Written aside and renamed into place: readers see a whole file, and a link planted under
    // either name is never written through.
    const std::string file = folder + "/" + handleName(window);
    std::string written;
    int fd = createTemporary(file, written);
    if (fd < 0) return;
    const bool whole = writeWhole(fd, text);
    close(fd);
    if (!whole || rename(written.c_str(), file.c_str()) != 0) {
      unlink(written.c_str());
      return;
    }
    own_.insert(window);
  }

  void withdraw(HWND window) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!own_.erase(window)) return;
    const std::string folder = directory("windows");
    std::error_code error;
    if (!folder.empty()) fs::remove(folder + "/" + handleName(window), error);
  }

 private:
  bool start() {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    socklen_t length;
    sockaddr_un address = addressOf(getpid(), length);
    // Every datagram then carries its sender's credentials, checked by the kernel.
    const int passCredentials = 1;
    if (fd_ < 0 || setsockopt(fd_, SOL_SOCKET, SO_PASSCRED, &passCredentials, sizeof passCredentials) != 0 ||
        bind(fd_, reinterpret_cast<sockaddr *>(&address), length) != 0) {
      std::fprintf(stderr, "handset: cannot listen for the other programs: %s\n", std::strerror(errno));
      if (fd_ >= 0) close(fd_);
      fd_ = -1;
      return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
  }

  // The next datagram and who sent it; false when the socket fails.
  bool receive(std::string &message, std::optional<ucred> &sender) {
    char buffer[128];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    iovec piece{buffer, sizeof buffer};
    msghdr header{};
    header.msg_iov = &piece;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t n;
    while ((n = recvmsg(fd_, &header, MSG_CMSG_CLOEXEC)) < 0)
      if (errno != EINTR) return false;
    message.assign(buffer, static_cast<size_t>(n));
    sender.reset();
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred)))
        std::memcpy(&sender.emplace(), CMSG_DATA(c), sizeof(ucred));
    return true;
  }

  void run() {
    std::string message;
    std::optional<ucred> sender;
    while (receive(message, sender)) {
      // Only the handset's programs, which run as this user, are listened to; the end only
      // from this process itself.
      if (!sender || sender->uid != geteuid()) continue;
      if (message == "quit") {
        if (sender->pid == getpid()) return;
        continue;
      }
      if (message == "background") {
        if (std::shared_ptr<Window> w = findWindow(GetActiveWindow())) runOn(*w->queue, [] { activate(nullptr); });
      } else if (message.rfind("activate ", 0) == 0) {
        HWND window = reinterpret_cast<HWND>(std::strtoull(message.c_str() + 9, nullptr, 16));
        if (std::shared_ptr<Window> w = findWindow(window))
          runOn(*w->queue, [window] { SetForegroundWindow(window); });
      }
    }
  }

  std::mutex lock_;
  std::thread thread_;
  int fd_ = -1;
  std::set<HWND> own_;
};

Listener &listener() {
  static Listener instance;
  return instance;
}

}  // namespace

bool joined() { return joinedFlag.load(); }

std::string directory(const std::string &part) {
  const std::string folder = device::root() + "/" + kSessionFolder;
  const std::string path = folder + "/" + part;
  const bool outer = makePrivateFolder(folder);
  if (outer && makePrivateFolder(path)) return path;
  const int error = errno;
  const std::string &refused = outer ? path : folder;
  static std::mutex reportLock;
  static std::string reported;
  std::lock_guard<std::mutex> guard(reportLock);
  if (reported != refused) {
    reported = refused;
    std::fprintf(stderr, "handset: %s cannot hold what the programs share (%s); it is not used\n", refused.c_str(),
                 error == EPERM ? "it belongs to another user" : std::strerror(error));
  }
  return {};
}

void publishWindow(HWND window, const std::u16string &className, const std::u16string &title) {
  if (!joined()) return;
  listener().publish(window, std::to_string(getpid()) + "\n" + toUtf8(className) + "\n" + toUtf8(title) + "\n");
}

void withdrawWindow(HWND window) {
  if (joined()) listener().withdraw(window);
}

HWND findForeignWindow(LPCWSTR className, LPCWSTR title) {
  if (!joined()) return nullptr;
  for (const Published &p : publishedWindows())
    if (p.owner != getpid() && (!className || equalsNoCase(p.className, className)) && (!title || p.title == title))
      return p.window;
  return nullptr;
}

bool activateForeign(HWND window) {
  return joined() && ownerOf(window) != getpid() && sendTo(ownerOf(window), "activate " + handleName(window));
}

void foregroundTaken() {
  if (!joined()) return;
  std::set<pid_t> told;
  for (const Published &p : publishedWindows())
    if (p.owner != getpid() && told.insert(p.owner).second) sendTo(p.owner, "background");
}

}  // namespace session

void joinSession() { session::joinedFlag = true; }
bool sessionJoined() { return session::joined(); }

}  // namespace platform

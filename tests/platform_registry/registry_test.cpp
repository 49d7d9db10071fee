#include <windows.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/profile.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<BYTE> sz(const std::u16string &text) {
  std::vector<BYTE> bytes(reinterpret_cast<const BYTE *>(text.c_str()),
                          reinterpret_cast<const BYTE *>(text.c_str() + text.size() + 1));
  return bytes;
}

std::vector<std::string> folderEntries(const fs::path &dir) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    device::setRoot(root_);
    device::setCurrent(device::Profile::parse(
        "registry = [HKEY_CURRENT_USER\\ControlPanel\\Backlight] \"BatteryTimeout\"=dword:0000003c\n"
        "registry = [HKEY_CURRENT_USER\\ControlPanel\\Backlight] \"ACTimeout\"=dword:0000012c\n"
        "registry = [HKEY_LOCAL_MACHINE\\Software\\Empty]\n",
        "test.profile"));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path file() const { return root_ / "registry.reg"; }

  HKEY create(HKEY parent, const char16_t *path, DWORD *disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, 0, nullptr, &key, disposition), ERROR_SUCCESS);
    return key;
  }

  // The REG_SZ text of a value, or nullopt with the error in `error`.
  std::optional<std::u16string> text(HKEY key, const char16_t *name, LONG *error = nullptr) {
    char16_t buffer[512];
    DWORD size = sizeof buffer, type = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    if (error) *error = result;
    if (result != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::u16string(buffer);
  }

  DWORD dword(HKEY key, const char16_t *name) {
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(size, 4u);
    return value;
  }

  void setText(HKEY key, const char16_t *name, const std::u16string &value) {
    std::vector<BYTE> bytes = sz(value);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, bytes.data(), DWORD(bytes.size())), ERROR_SUCCESS);
  }

  // Runs registry_peer on this root; returns what it printed.
  std::string peer(std::vector<std::string> args, int *status = nullptr) {
    std::string out = (root_ / "peer.out").string();
    std::vector<std::string> all = {REGISTRY_PEER, root_.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    EXPECT_EQ(posix_spawn(&pid, REGISTRY_PEER, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int ws = 0;
    waitpid(pid, &ws, 0);
    if (status) *status = ws;
    else EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 0) << "peer status " << ws;
    std::string printed = readFile(out);
    fs::remove(out);
    return printed;
  }

  fs::path root_;
};

TEST_F(Registry, FreshRootStartsFromTheProfileDefaults) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Backlight", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(dword(key, u"BatteryTimeout"), 60u);
  EXPECT_EQ(dword(key, u"ACTimeout"), 300u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Empty", 0, 0, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(readFile(file()),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n[HKEY_CURRENT_USER\\ControlPanel]\r\n"
            "\r\n[HKEY_CURRENT_USER\\ControlPanel\\Backlight]\r\n"
            "\"ACTimeout\"=dword:0000012c\r\n"
            "\"BatteryTimeout\"=dword:0000003c\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Empty]\r\n");
}

TEST_F(Registry, CreateReportsItsDispositionAndKeysIgnoreCase) {
  DWORD disposition = 0;
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Vendrasol\\Pelkavo", &disposition);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  setText(key, u"Settings", u"-1,");
  RegCloseKey(key);

  HKEY again = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\vendrasol\\PELKAVO\\", &disposition);
  EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(text(again, u"settings"), u"-1,");
  HKEY child = create(again, u"Sub", &disposition);
  EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
  RegCloseKey(child);
  RegCloseKey(again);

  HKEY opened;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\VENDRASOL\\pelkavo\\sub", 0, 0, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  // The file keeps each name as first spelled.
  std::string saved = readFile(file());
  EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Pelkavo\\Sub]"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"Settings\"=\"-1,\""), std::string::npos) << saved;
}

TEST_F(Registry, BadHandlesPathsAndArguments) {
  HKEY key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Missing", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"\\Software", 0, 0, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\\\Empty", 0, 0, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
  HKEY bogus = reinterpret_cast<HKEY>(&key);
  EXPECT_EQ(RegOpenKeyExW(bogus, u"Software", 0, 0, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  DWORD value = 1;
  EXPECT_EQ(RegSetValueExW(bogus, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"x", 0, REG_DWORD, nullptr, 4), ERROR_INVALID_PARAMETER);
  // Names the file could not hold on one line.
  EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"two\nlines", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\a\rb", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
  const char16_t lone[] = {u'a', 0xD800, 0};
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, lone, 0, 0, &key), ERROR_INVALID_PARAMETER);

  key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(Registry, QuerySizeSemantics) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  setText(key, u"Name", u"abcdef");  // 14 bytes with the terminating zero
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(type, DWORD(REG_SZ));

  char16_t buffer[16] = u"untouched";
  size = 13;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(std::u16string(buffer), u"untouched");

  size = 14;
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buffer), u"abcdef");
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Other", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegDeleteValueW(key, u"NAME"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, u"Name"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// Every kind of value comes back byte for byte from the file, after the hive is read again.
TEST_F(Registry, ValuesSurviveTheFile) {
  struct Case {
    const char16_t *name;
    DWORD type;
    std::vector<BYTE> data;
  } cases[] = {
      {u"Quoted", REG_SZ, sz(u"C:\\dir \"quoted\" caf\u00e9 \u6f22")},
      {u"Empty", REG_SZ, sz(u"")},
      {u"Unterminated", REG_SZ, {'a', 0, 'b', 0}},
      {u"Odd", REG_SZ, {'a', 0, 'b'}},
      {u"TwoLines", REG_SZ, sz(u"one\ntwo")},
      {u"Dword", REG_DWORD, {0x1e, 0, 0, 0x80}},
      {u"ShortDword", REG_DWORD, {1, 2}},
      {u"Binary", REG_BINARY, {0, 1, 0xfe, 0xff}},
      {u"NoData", REG_BINARY, {}},
      {u"Multi", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}},
      {u"", REG_SZ, sz(u"default value")},
  };
  HKEY key = create(HKEY_CURRENT_USER, u"Software\\Kinds");
  for (const Case &c : cases)
    ASSERT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.data.data(), DWORD(c.data.size())), ERROR_SUCCESS);
  RegCloseKey(key);

  // Another root and back: the hive is read again from the file.
  char other[] = "/tmp/registry-other-XXXXXX";
  ASSERT_NE(mkdtemp(other), nullptr);
  device::setRoot(other);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kinds", 0, 0, &key), ERROR_FILE_NOT_FOUND);
  fs::remove_all(other);
  device::setRoot(root_);

  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kinds", 0, 0, &key), ERROR_SUCCESS);
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(reinterpret_cast<const char *>(c.name), 2));
    BYTE buffer[256];
    DWORD size = sizeof buffer, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), c.data);
  }
  RegCloseKey(key);
  std::string saved = readFile(file());
  EXPECT_NE(saved.find("\"Quoted\"=\"C:\\\\dir \\\"quoted\\\" caf\xC3\xA9 \xE6\xBC\xA2\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"Dword\"=dword:8000001e"), std::string::npos);
  EXPECT_NE(saved.find("\"Unterminated\"=hex(1):61,00,62,00"), std::string::npos);
  EXPECT_NE(saved.find("@=\"default value\""), std::string::npos);
}

TEST_F(Registry, AnOpenKeyGoesWithItsRoot) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  char other[] = "/tmp/registry-other-XXXXXX";
  ASSERT_NE(mkdtemp(other), nullptr);
  device::setRoot(other);
  DWORD size;
  EXPECT_EQ(RegQueryValueExW(key, u"x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  DWORD value = 1;
  EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4), ERROR_KEY_DELETED);
  HKEY sub;
  EXPECT_EQ(RegCreateKeyExW(key, u"Sub", 0, nullptr, 0, 0, nullptr, &sub, nullptr), ERROR_KEY_DELETED);
  // The fresh root got the profile's defaults.
  HKEY backlight;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Backlight", 0, 0, &backlight), ERROR_SUCCESS);
  RegCloseKey(backlight);
  fs::remove_all(other);
  device::setRoot(root_);
  EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(Registry, RoundTripsBetweenProcesses) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Peer");
  setText(key, u"Greeting", u"from the parent");
  EXPECT_EQ(peer({"get", "Greeting", "set", "Reply", "from the child"}), "from the parent\n");
  // The parent's open handle sees the child's write.
  EXPECT_EQ(text(key, u"Reply"), u"from the child");
  setText(key, u"Greeting", u"changed");
  EXPECT_EQ(peer({"get", "greeting", "get", "Nothing"}), "changed\n<missing>\n");
  RegCloseKey(key);
}

// Two processes writing at once lose none of each other's values.
TEST_F(Registry, ConcurrentWritersKeepEveryValue) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Peer");
  auto run = [&](const std::string &prefix) {
    std::vector<std::string> args;
    for (int i = 0; i < 15; ++i) args.insert(args.end(), {"set", prefix + std::to_string(i), "v"});
    std::vector<std::string> all = {REGISTRY_PEER, root_.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    EXPECT_EQ(posix_spawn(&pid, REGISTRY_PEER, nullptr, nullptr, argv.data(), environ), 0);
    return pid;
  };
  pid_t a = run("a");
  pid_t b = run("b");
  for (pid_t pid : {a, b}) {
    int ws = 0;
    waitpid(pid, &ws, 0);
    EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 0);
  }
  for (const char *prefix : {"a", "b"})
    for (int i = 0; i < 15; ++i) {
      std::u16string name = device::regtext::toUtf16(prefix + std::to_string(i)).value();
      EXPECT_EQ(text(key, name.c_str()), u"v") << prefix << i;
    }
  RegCloseKey(key);
}

// Threads of one process share the hive and its handles safely.
TEST_F(Registry, ThreadsOfOneProcess) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Threads");
  auto writer = [&](char16_t prefix) {
    for (int i = 0; i < 20; ++i) {
      std::u16string name = {prefix, char16_t(u'a' + i)};
      DWORD value = DWORD(i);
      EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&value), 4), ERROR_SUCCESS);
      HKEY sub;
      EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Threads", 0, 0, &sub), ERROR_SUCCESS);
      EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);
    }
  };
  std::thread a(writer, u'x'), b(writer, u'y');
  a.join();
  b.join();
  for (char16_t prefix : {u'x', u'y'})
    for (int i = 0; i < 20; ++i) {
      std::u16string name = {prefix, char16_t(u'a' + i)};
      EXPECT_EQ(dword(key, name.c_str()), DWORD(i));
    }
  RegCloseKey(key);
}

// A write that fails part-way leaves the old file and the hive as they were, and no temporary file.
TEST_F(Registry, FailedWriteKeepsTheOldFile) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  setText(key, u"Kept", u"old");
  std::string before = readFile(file());

  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = before.size() + 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::vector<BYTE> big = sz(std::u16string(2000, u'x'));
  LONG result = RegSetValueExW(key, u"Big", 0, REG_SZ, big.data(), DWORD(big.size()));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, ERROR_DISK_FULL);
  EXPECT_EQ(readFile(file()), before);
  EXPECT_EQ(folderEntries(root_), std::vector<std::string>{"registry.reg"});
  DWORD size;
  EXPECT_EQ(RegQueryValueExW(key, u"Big", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  setText(key, u"After", u"new");
  EXPECT_EQ(text(key, u"Kept"), u"old");
  EXPECT_EQ(folderEntries(root_), std::vector<std::string>{"registry.reg"});
  RegCloseKey(key);
}

// Links planted where the registry's temporary file goes are not written through: the victim
// keeps its bytes and the registry is the one file written.
TEST_F(Registry, PlantedLinksAreNotFollowed) {
  const fs::path victim = root_ / "victim";
  writeFile(victim, "precious");
  const std::string stem = "registry.reg.tmp-" + std::to_string(getpid());
  fs::create_symlink(victim, root_ / stem);
  for (int n = 0; n < 50; ++n) fs::create_symlink(victim, root_ / (stem + "-" + std::to_string(n)));
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  setText(key, u"Kept", u"value");
  RegCloseKey(key);
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(file()));
  EXPECT_NE(readFile(file()).find("\"Kept\"=\"value\""), std::string::npos) << readFile(file());
}

// A file that is there but cannot be opened (here: no descriptors left) is never replaced by
// the profile's defaults: reads see what was read before, changes fail, and once it opens again
// every stored value is still there.
TEST_F(Registry, AFileThatCannotBeOpenedIsNeverReplaced) {
  HKEY key = create(HKEY_LOCAL_MACHINE, u"Software\\Test");
  setText(key, u"Kept", u"old");
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit none = saved;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  const std::optional<std::u16string> seen = text(key, u"Kept");
  std::vector<BYTE> value = sz(u"lost");
  const LONG changed = RegSetValueExW(key, u"Other", 0, REG_SZ, value.data(), DWORD(value.size()));
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(seen, u"old");
  EXPECT_NE(changed, ERROR_SUCCESS);
  setText(key, u"After", u"new");
  EXPECT_EQ(text(key, u"Kept"), u"old");
  EXPECT_EQ(text(key, u"After"), u"new");
  RegCloseKey(key);
}

// A damaged file: each unreadable line is reported with the file's name and line, the rest is
// kept, and the first rewrite keeps the damaged file beside the new one.
TEST_F(Registry, DamagedFileIsReportedAndKept) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
      "\"Good\"=\"yes\"\r\n"
      "\"Slash\"=\"abc\\\r\n"
      "\"After\"=\"kept\"\r\n"
      "\"Open\"=\"no closing quote\r\n"
      "\"Number\"=dword:xyz\r\n"
      "[HKEY_NOWHERE\\Test]\r\n"
      "\"Lost\"=dword:00000001\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Test\r\n"
      "garbage\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Test\\Sub]\r\n"
      "\"Wrapped\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\"Cut\"=\"-1,-1,";
  writeFile(file(), damaged);
  testing::internal::CaptureStderr();
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, 0, &key), ERROR_SUCCESS);
  std::string report = testing::internal::GetCapturedStderr();
  std::string name = "registry file " + file().string();
  for (int line : {5, 7, 8, 9, 10, 11, 12, 16})
    EXPECT_NE(report.find(name + ":" + std::to_string(line) + ": "), std::string::npos) << line << "\n" << report;
  for (int line : {4, 6, 13, 14, 15}) EXPECT_EQ(report.find(name + ":" + std::to_string(line) + ":"), std::string::npos) << report;
  EXPECT_EQ(text(key, u"Good"), u"yes");
  EXPECT_EQ(text(key, u"After"), u"kept");
  HKEY sub;
  ASSERT_EQ(RegOpenKeyExW(key, u"Sub", 0, 0, &sub), ERROR_SUCCESS);
  BYTE bytes[8];
  DWORD size = sizeof bytes;
  EXPECT_EQ(RegQueryValueExW(sub, u"Wrapped", nullptr, nullptr, bytes, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + size), (std::vector<BYTE>{1, 2, 3, 4}));
  RegCloseKey(sub);

  // Unchanged file: not read (nor reported) again.
  testing::internal::CaptureStderr();
  EXPECT_EQ(text(key, u"Good"), u"yes");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  testing::internal::CaptureStderr();
  setText(key, u"New", u"value");
  report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("registry.reg.damaged"), std::string::npos) << report;
  EXPECT_EQ(readFile(root_ / "registry.reg.damaged"), damaged);
  EXPECT_EQ(folderEntries(root_), (std::vector<std::string>{"registry.reg", "registry.reg.damaged"}));
  RegCloseKey(key);

  // The rewritten file reads cleanly (a newer time makes it read again).
  fs::last_write_time(file(), fs::last_write_time(file()) + std::chrono::seconds(1));
  testing::internal::CaptureStderr();
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(text(key, u"New"), u"value");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  RegCloseKey(key);

  // A second damage episode keeps its own copy.
  writeFile(file(), "not a registry\n");
  testing::internal::CaptureStderr();
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Again", 0, nullptr, 0, 0, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(name + ":1: "), std::string::npos) << report;
  EXPECT_EQ(readFile(root_ / "registry.reg.damaged-2"), "not a registry\n");
  RegCloseKey(key);
}

// Files no editor would write still never crash the program.
TEST_F(Registry, ArbitraryBytesDoNotCrash) {
  std::string noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245 + 12345;
    noise += static_cast<char>(seed >> 16);
  }
  for (const std::string &content : {noise, std::string("\xFF\xFE\x41"), std::string("[\r\n\"\\"), std::string()}) {
    writeFile(file(), content);
    testing::internal::CaptureStderr();
    HKEY key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key);
    HKEY made = create(HKEY_LOCAL_MACHINE, u"Software\\Fresh");
    RegCloseKey(made);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fresh", 0, 0, &key), ERROR_SUCCESS);
    RegCloseKey(key);
  }
}

// Files exported by Windows are UTF-16LE with a byte-order mark.
TEST_F(Registry, ReadsUtf16Files) {
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\"=\"\u00e9t\u00e9\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) bytes += {char(u & 0xFF), char(u >> 8)};
  writeFile(file(), bytes);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"a", 0, 0, &key), ERROR_SUCCESS);
  EXPECT_EQ(this->text(key, u"n"), u"\u00e9t\u00e9");
  RegCloseKey(key);
}

}  // namespace

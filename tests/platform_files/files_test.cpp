// The handset's file system: path mapping, card enumeration, file calls and volume capacities.
#include <windows.h>
#include <cestdio.h>
#include <projects.h>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "handset_fixture.h"

namespace {

namespace fs = std::filesystem;

using Files = FreshHandset;

uint64_t freeSpace(const char16_t *path) {
  ULARGE_INTEGER available{}, total{}, free{};
  EXPECT_TRUE(GetDiskFreeSpaceExW(path, &available, &total, &free));
  EXPECT_EQ(available.QuadPart, free.QuadPart);
  return available.QuadPart;
}

uint64_t hostSize(const std::string &path) {
  std::error_code error;
  return fs::file_size(path, error);
}

std::vector<std::u16string> cardNames() {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFlashCard(&data);
  if (search == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    return names;
  }
  do {
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
    names.push_back(data.cFileName);
  } while (FindNextFlashCard(search, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  return names;
}

TEST_F(Files, PathsMapOntoTheDeviceRootAndTheProgramDirectory) {
  useProfile("storage_card = Storage Card, 1M\n");
  hostFile(root + "/My Documents/My Pictures/Old.jpg", 1);
  hostFile(prog + "/language.txt", 1);
  struct {
    const char16_t *path;
    std::string host;  // relative to the root unless it starts with '/', "" when refused
  } cases[] = {
      {u"\\My Documents\\a.jpg", "My Documents/a.jpg"},
      {u"\\My Documents/sub\\b.jpg", "My Documents/sub/b.jpg"},
      {u"\\MY DOCUMENTS\\my pictures\\OLD.JPG", "My Documents/My Pictures/Old.jpg"},
      {u"\\my documents\\My Pictures\\new\\x.jpg", "My Documents/My Pictures/new/x.jpg"},
      {u"//recvdo.temp", "recvdo.temp"},
      {u"\\storage card\\My Documents", "Storage Card/My Documents"},
      {u"\\My Documents\\..\\..\\Windows\\.\\x", "Windows/x"},
      {u"\\", ""},
      {u"\\a?b", "!"},
      {u"\\x\\c:d", "!"},
      {u"", "!"},
      // The emulator's own files in the root are no handset files; elsewhere the names are free.
      {u"\\registry.reg", "!"},
      {u"\\REGISTRY.REG.damaged-2", "!"},
      {u"//registry.reg.tmp-12-0", "!"},
      {u"\\My Documents\\..\\shell.log", "!"},
      {u"\\.system\\events", "!"},
      {u"\\My Documents\\registry.reg", "My Documents/registry.reg"},
      {u"\\Storage Card\\.system", "Storage Card/.system"},
      {u"\\registry.reg.txt", "registry.reg.txt"},
  };
  for (const auto &c : cases) {
    std::string expected = c.host == "!" ? "" : c.host.empty() ? root : root + "/" + c.host;
    EXPECT_EQ(platform::hostPath(c.path), expected) << c.host;
  }
  EXPECT_EQ(platform::hostPath(u"\\Program Files\\Pelkavo\\Language.TXT"), prog + "/language.txt");
  EXPECT_EQ(platform::hostPath(u"\\program files\\PELKAVO\\Config.txt"), prog + "/Config.txt");
  EXPECT_EQ(platform::hostPath(u"\\Program Files\\Other\\x"), root + "/Program Files/Other/x");
  // Paths that do not start with a backslash are the host's own, relative to the current folder.
  EXPECT_EQ(platform::hostPath(u"shot.jpg"), "shot.jpg");
  EXPECT_EQ(platform::hostPath(u"out\\shot.jpg"), "out/shot.jpg");
  EXPECT_EQ(platform::hostPath(u"/tmp/shot.jpg"), "/tmp/shot.jpg");
}

TEST_F(Files, StorageCardsAreThoseOfTheProfile) {
  useProfile("memory = 1M\n");
  EXPECT_TRUE(cardNames().empty());
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(_wfopen(u"\\Storage Card\\My Documents\\x.jpg", u"wb"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  useProfile("memory = 1M\nstorage_card = Storage Card, 2M\nstorage_card = , 1M\n"
             "storage_card = Karte \xc3\x84, 1M\n");
  EXPECT_EQ(cardNames(), (std::vector<std::u16string>{u"Storage Card", u"", u"Karte \u00c4"}));
  EXPECT_EQ(GetFileAttributesW(u"\\STORAGE CARD"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
  EXPECT_EQ(GetFileAttributesW(u"\\karte \u00e4"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
  EXPECT_TRUE(CreateDirectoryW(u"\\Storage Card\\My Documents", nullptr));
  EXPECT_TRUE(fs::is_directory(root + "/Storage Card/My Documents"));
  EXPECT_EQ(freeSpace(u"\\Storage Card\\My Documents"), 2u << 20);
}

TEST_F(Files, AStorageCardEntryThatCannotBeUsedEndsTheProcess) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  struct {
    const char *entry, *message;
  } cases[] = {
      {"storage_card = Storage Card, lots\n", "test.profile:2: storage_card: \"lots\" is not a number"},
      {"storage_card = Cards/One, 1M\n", "test.profile:2: storage_card: \"Cards/One\" cannot name"},
      {"storage_card = Storage Card, 20000000000G\n", "test.profile:2: storage_card: \"20000000000G\" is too large"},
  };
  for (const auto &c : cases) {
    useProfile(std::string("memory = 1M\n") + c.entry);
    EXPECT_EXIT(GetFileAttributesW(u"\\"), testing::ExitedWithCode(2), c.message);
  }
}

TEST_F(Files, FileCallsReportWin32Errors) {
  EXPECT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"\\my documents", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"\\Nowhere\\Deeper", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\My Documents"), FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_FALSE(DeleteFileW(u"\\My Documents\\none.jpg"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(u"\\Nowhere\\none.jpg"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(u"\\My Documents"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  FILE *f = _wfopen(u"\\My Documents\\a.txt", u"wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fwrite("hello", 5, 1, f), 1u);
  fclose(f);
  EXPECT_EQ(GetFileAttributesW(u"\\MY DOCUMENTS\\A.TXT"), FILE_ATTRIBUTE_ARCHIVE);
  f = _wfopen(u"\\My Documents\\b.txt", u"wb");
  fclose(f);
  EXPECT_FALSE(MoveFileW(u"\\My Documents\\a.txt", u"\\My Documents\\B.TXT"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(MoveFileW(u"\\My Documents\\none.txt", u"\\My Documents\\c.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(MoveFileW(u"\\My Documents\\A.txt", u"\\My Documents\\c.txt"));
  EXPECT_TRUE(DeleteFileW(u"\\My Documents\\C.TXT"));
  EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\c.txt"), INVALID_FILE_ATTRIBUTES);

  for (const char16_t *mode : {u"", u"rw", u"x", u"wbq"}) {
    EXPECT_EQ(_wfopen(u"\\My Documents\\b.txt", mode), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(_wfopen(u"\\My Documents\\none.txt", u"rb"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The registry, the shell's log and the programs' shared state lie in the root beside the
// handset's files: no file call reaches them and the memory does not count them.
TEST_F(Files, TheEmulatorsOwnFilesAreOutsideTheHandsetsFileSystem) {
  const std::vector<std::string> own = {"registry.reg", "registry.reg.damaged", "registry.reg.tmp-7-0", "shell.log",
                                        ".system/events/0041"};
  for (const std::string &file : own) hostFile(root + "/" + file, 1000);
  hostFile(root + "/My Documents/a.jpg", 1000);
  useProfile("memory = 64K\n");
  EXPECT_EQ(freeSpace(u"\\"), (64u << 10) - 1000);

  for (const char16_t *path : {u"\\registry.reg", u"\\Registry.REG", u"\\My Documents\\..\\registry.reg.damaged",
                               u"//registry.reg.tmp-7-0", u"\\shell.log", u"\\.system", u"\\.system\\events\\0041",
                               u"\\.SYSTEM\\windows"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(path)));
    auto denied = [] { return GetLastError() == static_cast<DWORD>(ERROR_ACCESS_DENIED); };
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(denied());
    for (const char16_t *mode : {u"rb", u"r+b", u"wb", u"ab"}) {
      EXPECT_EQ(_wfopen(path, mode), nullptr);
      EXPECT_TRUE(denied());
    }
    EXPECT_FALSE(DeleteFileW(path));
    EXPECT_TRUE(denied());
    EXPECT_FALSE(MoveFileW(u"\\My Documents\\a.jpg", path));
    EXPECT_TRUE(denied());
    EXPECT_FALSE(MoveFileW(path, u"\\My Documents\\b.jpg"));
    EXPECT_TRUE(denied());
    EXPECT_FALSE(CreateDirectoryW(path, nullptr));
    EXPECT_TRUE(denied());
    EXPECT_FALSE(GetDiskFreeSpaceExW(path, nullptr, nullptr, nullptr));
  }
  for (const std::string &file : own) EXPECT_EQ(hostSize(root + "/" + file), 1000u) << file;
  EXPECT_EQ(hostSize(root + "/My Documents/a.jpg"), 1000u);
  EXPECT_EQ(freeSpace(u"\\"), (64u << 10) - 1000);

  // A card cannot take one of their names either.
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  useProfile("memory = 1M\nstorage_card = .System, 1M\n");
  EXPECT_EXIT(GetFileAttributesW(u"\\"), testing::ExitedWithCode(2),
              "test.profile:2: storage_card: \".System\" cannot name a storage card");
}

// "\Windows" holds the handset's system files: they are read, never written.
TEST_F(Files, TheWindowsFolderIsReadOnly) {
  hostFile(root + "/Windows/flash.wav", 10);
  hostFile(root + "/My Documents/a.wav", 10);
  FILE *f = _wfopen(u"\\WINDOWS\\flash.wav", u"rb");
  ASSERT_NE(f, nullptr);
  fclose(f);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\flash.wav"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows"), FILE_ATTRIBUTE_DIRECTORY);
  auto denied = [] { return GetLastError() == static_cast<DWORD>(ERROR_ACCESS_DENIED); };
  for (const char16_t *path : {u"\\Windows\\flash.wav", u"\\windows\\new.wav", u"\\Windows\\Sub\\new.wav"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(path)));
    for (const char16_t *mode : {u"wb", u"ab", u"r+b", u"w+b"}) {
      EXPECT_EQ(_wfopen(path, mode), nullptr);
      EXPECT_TRUE(denied());
    }
    EXPECT_FALSE(MoveFileW(u"\\My Documents\\a.wav", path));
    EXPECT_TRUE(denied());
  }
  EXPECT_FALSE(DeleteFileW(u"\\Windows\\flash.wav"));
  EXPECT_TRUE(denied());
  EXPECT_FALSE(MoveFileW(u"\\Windows\\flash.wav", u"\\My Documents\\flash.wav"));
  EXPECT_TRUE(denied());
  EXPECT_FALSE(MoveFileW(u"\\Windows", u"\\Elsewhere"));
  EXPECT_TRUE(denied());
  EXPECT_FALSE(CreateDirectoryW(u"\\Windows\\Sub", nullptr));
  EXPECT_TRUE(denied());
  EXPECT_FALSE(CreateDirectoryW(u"\\Windows", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(hostSize(root + "/Windows/flash.wav"), 10u);
  EXPECT_EQ(hostSize(root + "/My Documents/a.wav"), 10u);
  EXPECT_FALSE(fs::exists(root + "/Windows/new.wav"));
  EXPECT_FALSE(fs::exists(root + "/Windows/Sub"));
}

TEST_F(Files, AWriteBeyondTheCapacityFailsWithDiskFull) {
  hostFile(root + "/Windows/present.bin", 4096);  // counted when the volume is first used
  useProfile("memory = 64K\nstorage_card = Storage Card, 16K\n");
  EXPECT_EQ(freeSpace(u"\\"), 60u << 10);
  ULARGE_INTEGER total{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\My Documents\\..", nullptr, &total, nullptr));
  EXPECT_EQ(total.QuadPart, 64u << 10);

  CreateDirectoryW(u"\\My Documents", nullptr);
  FILE *f = _wfopen(u"\\My Documents\\clip.avi", u"wb");
  ASSERT_NE(f, nullptr);
  std::vector<char> chunk(8 << 10, 'v');
  int written = 0;
  while (fwrite(chunk.data(), chunk.size(), 1, f) == 1) ++written;
  EXPECT_EQ(written, 7);
  EXPECT_TRUE(ferror(f));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(freeSpace(u"\\My Documents"), 0u);
  // The file holds what fitted; the card is a volume of its own.
  EXPECT_EQ(hostSize(root + "/My Documents/clip.avi"), 60u << 10);
  EXPECT_EQ(freeSpace(u"\\Storage Card"), 16u << 10);

  // Writing over what is there needs no space (the header written at the end of a recording).
  clearerr(f);
  ASSERT_EQ(fseek(f, 0, SEEK_SET), 0);
  EXPECT_EQ(fwrite("RIFF", 4, 1, f), 1u);
  EXPECT_EQ(ftell(f), 4);
  ASSERT_EQ(fseek(f, 0, SEEK_END), 0);
  EXPECT_EQ(ftell(f), 60 << 10);
  EXPECT_EQ(fputc('x', f), EOF);
  EXPECT_EQ(fclose(f), 0);

  // Truncating and deleting give the space back.
  f = _wfopen(u"\\My Documents\\clip.avi", u"wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(freeSpace(u"\\"), 60u << 10);
  EXPECT_EQ(fwrite(chunk.data(), chunk.size(), 1, f), 1u);
  fclose(f);
  f = _wfopen(u"\\My Documents\\clip.avi", u"ab");
  EXPECT_EQ(fwrite(chunk.data(), 1024, 1, f), 1u);
  fclose(f);
  EXPECT_EQ(hostSize(root + "/My Documents/clip.avi"), 9u << 10);
  EXPECT_EQ(freeSpace(u"\\"), 51u << 10);
  EXPECT_TRUE(DeleteFileW(u"\\My Documents\\clip.avi"));
  EXPECT_EQ(freeSpace(u"\\"), 60u << 10);
}

// A gathered write lands where the stream stands and moves it on, on every kind of stream, so
// that the stream's own writes and seeks go on from there.
TEST_F(Files, GatheredWritesGoWhereTheStreamStands) {
  useProfile("memory = 1M\n");
  std::vector<char> large(100000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = char('a' + i % 23);
  const FWRITEPIECE pieces[] = {{"ab", 2}, {nullptr, 0}, {"cdef", 4}, {large.data(), large.size()}};
  std::string expected = "XIFFabcdef" + std::string(large.begin(), large.end()) + "Z";
  std::vector<char> memory(expected.size() + 1);
  struct Case {
    const char *name;
    FILE *file;
  } cases[] = {
      {"volume", _wfopen(u"\\gather.bin", u"w+b")},
      {"host file", std::fopen((root + "/host.bin").c_str(), "w+b")},
      {"other stream", fmemopen(memory.data(), memory.size(), "w+b")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.file, nullptr);
    setvbuf(c.file, nullptr, _IONBF, 0);
    EXPECT_EQ(fwrite("RIFF", 4, 1, c.file), 1u);
    EXPECT_EQ(_fwritegather(c.file, pieces, 4), 6 + large.size());
    EXPECT_EQ(fwrite("Z", 1, 1, c.file), 1u);
    EXPECT_EQ(ftell(c.file), long(expected.size()));
    ASSERT_EQ(fseek(c.file, 0, SEEK_SET), 0);
    EXPECT_EQ(fputc('X', c.file), 'X');
    ASSERT_EQ(fseek(c.file, 0, SEEK_SET), 0);
    std::string back(expected.size(), '\0');
    EXPECT_EQ(fread(back.data(), 1, back.size(), c.file), back.size());
    EXPECT_TRUE(back == expected);
    fclose(c.file);
  }
  EXPECT_EQ(freeSpace(u"\\"), (1u << 20) - expected.size());
}

// A gathered write the volume cannot hold writes what fits and says so.
TEST_F(Files, GatheredWriteOnAFullVolume) {
  useProfile("memory = 64K\n");
  FILE *f = _wfopen(u"\\clip.avi", u"wb");
  ASSERT_NE(f, nullptr);
  std::vector<char> a(40 << 10, 'a'), b(40 << 10, 'b');
  const FWRITEPIECE pieces[] = {{a.data(), a.size()}, {b.data(), b.size()}};
  SetLastError(0);
  EXPECT_EQ(_fwritegather(f, pieces, 2), 64u << 10);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(freeSpace(u"\\"), 0u);
  EXPECT_EQ(_fwritegather(f, pieces, 1), 0u);
  EXPECT_EQ(ftell(f), 64 << 10);
  // Past the end by more than the volume has free: nothing is written, the file keeps its size.
  clearerr(f);
  ASSERT_EQ(fseek(f, 1 << 20, SEEK_END), 0);
  EXPECT_EQ(_fwritegather(f, pieces, 2), 0u);
  EXPECT_EQ(fwrite("x", 1, 1, f), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(freeSpace(u"\\"), 0u);
  fclose(f);
  std::string host = root + "/clip.avi";
  EXPECT_EQ(hostSize(host), 64u << 10);
  FILE *back = std::fopen(host.c_str(), "rb");
  std::vector<char> bytes(64 << 10);
  ASSERT_EQ(fread(bytes.data(), 1, bytes.size(), back), bytes.size());
  fclose(back);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 'a'), 40 << 10);
  EXPECT_EQ(bytes.back(), 'b');
}

TEST_F(Files, MovingBetweenVolumesMovesTheUsage) {
  useProfile("memory = 64K\nstorage_card = Storage Card, 16K\n");
  std::vector<char> data(12 << 10, 'm');
  for (const char16_t *name : {u"//recvdo.temp", u"//second.temp"}) {
    FILE *f = _wfopen(name, u"wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite(data.data(), data.size(), 1, f), 1u);
    fclose(f);
  }
  EXPECT_EQ(freeSpace(u"\\"), 40u << 10);
  CreateDirectoryW(u"\\Storage Card\\My Documents", nullptr);
  EXPECT_TRUE(MoveFileW(u"//recvdo.temp", u"\\Storage Card\\My Documents\\v.mp4"));
  EXPECT_EQ(freeSpace(u"\\"), 52u << 10);
  EXPECT_EQ(freeSpace(u"\\Storage Card"), 4u << 10);
  // The card cannot take the second file: the move is refused and nothing changes.
  EXPECT_FALSE(MoveFileW(u"//second.temp", u"\\Storage Card\\w.mp4"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(freeSpace(u"\\Storage Card"), 4u << 10);
  EXPECT_TRUE(fs::exists(root + "/second.temp"));
}

TEST_F(Files, VolumesWithoutCapacityReportTheHostsSpace) {
  useProfile("storage_card = Storage Card\n");
  ULARGE_INTEGER available{}, total{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card", &available, &total, nullptr));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(available.QuadPart, total.QuadPart);
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Nowhere", &available, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  std::vector<char> data(100 << 10, 'h');
  FILE *f = _wfopen(u"\\Storage Card\\big.bin", u"w+b");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fwrite(data.data(), data.size(), 1, f), 1u);
  rewind(f);
  std::vector<char> back(data.size());
  EXPECT_EQ(fread(back.data(), back.size(), 1, f), 1u);
  EXPECT_EQ(back, data);
  fclose(f);
}

TEST_F(Files, AccountedStreamsReadBackWhatTheyWrote) {
  useProfile("memory = 1M\n");
  FILE *f = _wfopen(u"\\data.bin", u"w+b");
  ASSERT_NE(f, nullptr);
  EXPECT_GE(fputs("0123456789", f), 0);
  ASSERT_EQ(fseek(f, 3, SEEK_SET), 0);
  char four[5] = {};
  EXPECT_EQ(fread(four, 4, 1, f), 1u);
  EXPECT_STREQ(four, "3456");
  EXPECT_EQ(fseek(f, -20, SEEK_END), -1);
  fclose(f);
  f = _wfopen(u"\\DATA.BIN", u"r+b");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fwrite("ab", 2, 1, f), 1u);
  fclose(f);
  EXPECT_EQ(freeSpace(u"\\"), (1u << 20) - 10);
  f = _wfopen(u"\\data.bin", u"rb");
  char all[11] = {};
  EXPECT_EQ(fread(all, 1, 10, f), 10u);
  fclose(f);
  EXPECT_STREQ(all, "ab23456789");
}

}  // namespace

// Critical sections, semaphores and waits on several objects.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr DWORD kPatience = 10000;

struct Counter {
  CRITICAL_SECTION lock;
  long value = 0;  // deliberately not atomic: the section must guard it
};

DWORD WINAPI addMany(LPVOID p) {
  auto *c = static_cast<Counter *>(p);
  for (int i = 0; i < 20000; ++i) {
    EnterCriticalSection(&c->lock);
    EnterCriticalSection(&c->lock);  // recursive
    ++c->value;
    LeaveCriticalSection(&c->lock);
    LeaveCriticalSection(&c->lock);
  }
  return 0;
}

TEST(CriticalSections, GuardAcrossThreadsAndNest) {
  Counter c;
  InitializeCriticalSection(&c.lock);
  HANDLE threads[3];
  for (HANDLE &t : threads) t = CreateThread(nullptr, 0, addMany, &c, 0, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, threads, TRUE, kPatience), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(c.value, 60000);
  EXPECT_EQ(c.lock.LockCount, 0u);
  DeleteCriticalSection(&c.lock);
}

DWORD WINAPI tryFromOther(LPVOID p) {
  auto *section = static_cast<CRITICAL_SECTION *>(p);
  BOOL got = TryEnterCriticalSection(section);
  if (got) LeaveCriticalSection(section);
  return got;
}

TEST(CriticalSections, AnOwnedSectionRefusesOtherThreads) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  HANDLE t = CreateThread(nullptr, 0, tryFromOther, &section, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, kPatience), WAIT_OBJECT_0);
  DWORD code = 9;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, (DWORD)FALSE);
  CloseHandle(t);
  LeaveCriticalSection(&section);
  t = CreateThread(nullptr, 0, tryFromOther, &section, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, kPatience), WAIT_OBJECT_0);
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, (DWORD)TRUE);
  CloseHandle(t);
  DeleteCriticalSection(&section);
}

TEST(Semaphores, CountLimitsAndRelease) {
  EXPECT_EQ(CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 0, nullptr), nullptr);
  HANDLE s = CreateSemaphoreW(nullptr, 2, 3, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  LONG previous = -1;
  EXPECT_FALSE(ReleaseSemaphore(s, 4, &previous));  // beyond the maximum: nothing changes
  EXPECT_EQ(previous, -1);
  EXPECT_TRUE(ReleaseSemaphore(s, 3, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_FALSE(ReleaseSemaphore(s, 1, nullptr));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  CloseHandle(s);
}

struct Releaser {
  HANDLE object;
  static DWORD WINAPI run(LPVOID p) {
    Sleep(50);
    ReleaseSemaphore(static_cast<Releaser *>(p)->object, 1, nullptr);
    return 0;
  }
};

TEST(WaitForMultiple, AnyTakesTheLowestSignalledAllTakesAll) {
  HANDLE events[3] = {CreateEventW(nullptr, FALSE, FALSE, nullptr), CreateEventW(nullptr, FALSE, TRUE, nullptr),
                      CreateEventW(nullptr, FALSE, TRUE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(events[0]);
  SetEvent(events[1]);
  // Not all are set: a wait for all takes none of them.
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 30), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);
  SetEvent(events[0]);
  SetEvent(events[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_OBJECT_0);
  for (HANDLE e : events) EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(WaitForMultiple, WakesWhenAnotherThreadSignalsAndRejectsBadArguments) {
  HANDLE objects[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateSemaphoreW(nullptr, 0, 1, nullptr)};
  Releaser releaser{objects[1]};
  HANDLE t = CreateThread(nullptr, 0, Releaser::run, &releaser, 0, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(2, objects, FALSE, kPatience), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(t, kPatience), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_EQ(WaitForMultipleObjects(0, objects, FALSE, 0), WAIT_FAILED);
  HANDLE withBad[2] = {objects[0], reinterpret_cast<HANDLE>(0x7777)};
  EXPECT_EQ(WaitForMultipleObjects(2, withBad, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  for (HANDLE o : objects) CloseHandle(o);
}

struct Blocked {
  HANDLE objects[2];
  static DWORD WINAPI run(LPVOID p) {
    WaitForMultipleObjects(2, static_cast<Blocked *>(p)->objects, TRUE, INFINITE);
    return 1;
  }
};

TEST(WaitForMultiple, TerminateEndsAThreadBlockedInIt) {
  Blocked b{{CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)}};
  HANDLE t = CreateThread(nullptr, 0, Blocked::run, &b, 0, nullptr);
  Sleep(30);
  EXPECT_TRUE(TerminateThread(t, 42));
  ASSERT_EQ(WaitForSingleObject(t, kPatience), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 42u);
  CloseHandle(t);
  for (HANDLE o : b.objects) CloseHandle(o);
}

}  // namespace

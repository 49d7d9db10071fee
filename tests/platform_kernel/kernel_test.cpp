// Kernel objects across threads: events, waits with and without time-out, thread handles,
// cooperative termination, interlocked operations, the tick counter and the version query.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "device/profile.h"
#include "platform/kernel.h"

namespace {

// Generous: the machine may be loaded. Only ever waited for, never asserted as a duration.
constexpr DWORD kPatience = 10000;

// A thread that waits on an event and counts its wake-ups.
struct Waiter {
  HANDLE event;
  DWORD timeout = INFINITE;
  std::atomic<int> woken{0};
  std::atomic<DWORD> result{0};
  HANDLE thread = nullptr;

  static DWORD WINAPI run(LPVOID self) {
    auto *w = static_cast<Waiter *>(self);
    w->result = WaitForSingleObject(w->event, w->timeout);
    ++w->woken;
    return 7;
  }
  void start() { thread = CreateThread(nullptr, 0, run, this, 0, nullptr); }
  bool finish() {
    bool ended = WaitForSingleObject(thread, kPatience) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
  }
};

// Polls until `done` holds or the patience runs out.
template <class Condition>
bool eventually(Condition done) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > kPatience) return false;
    Sleep(1);
  }
  return true;
}

TEST(Events, ManualAndAutoResetStates) {
  struct Case {
    BOOL manual, initial;
    DWORD first, second;  // two waits with time-out 0
  } cases[] = {
      {TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
      {FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
      {FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "manual " << c.manual << " initial " << c.initial);
    HANDLE event = CreateEventW(nullptr, c.manual, c.initial, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.first);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.second);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    EXPECT_TRUE(EventModify(event, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
  }
}

TEST(Events, WaitTimesOutNoEarlierThanAsked) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(event, 120), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount() - start, 110u);  // tick granularity aside, never early
  CloseHandle(event);
}

TEST(Events, SetFromAnotherThreadWakesAnInfiniteWait) {
  Waiter waiter;
  waiter.event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  waiter.start();
  Sleep(50);
  EXPECT_EQ(waiter.woken, 0);
  EventModify(waiter.event, EVENT_SET);
  ASSERT_TRUE(waiter.finish());
  EXPECT_EQ(waiter.result, WAIT_OBJECT_0);
  // The wait consumed the auto-reset event.
  EXPECT_EQ(WaitForSingleObject(waiter.event, 0), WAIT_TIMEOUT);
  CloseHandle(waiter.event);
}

TEST(Events, AutoResetReleasesOneWaiterPerSetManualReleasesAll) {
  for (BOOL manual : {FALSE, TRUE}) {
    SCOPED_TRACE(manual ? "manual" : "auto");
    HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
    Waiter a, b;
    a.event = b.event = event;
    a.start();
    b.start();
    Sleep(50);
    SetEvent(event);
    ASSERT_TRUE(eventually([&] { return a.woken + b.woken >= 1; }));
    if (!manual) {
      Sleep(100);
      EXPECT_EQ(a.woken + b.woken, 1);
      SetEvent(event);
    }
    EXPECT_TRUE(a.finish());
    EXPECT_TRUE(b.finish());
    EXPECT_EQ(a.result, WAIT_OBJECT_0);
    EXPECT_EQ(b.result, WAIT_OBJECT_0);
    CloseHandle(event);
  }
}

TEST(Events, NamedEventsAreSharedByName) {
  HANDLE first = CreateEventW(nullptr, FALSE, FALSE, u"BackLightChangeEvent");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  // Reset type and initial state of a second opening are ignored.
  HANDLE second = CreateEventW(nullptr, TRUE, TRUE, u"BackLightChangeEvent");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(first, second);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
  EventModify(second, EVENT_SET);
  CloseHandle(second);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
  HANDLE other = CreateEventW(nullptr, TRUE, FALSE, u"backlightchangeevent");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));  // names keep their case
  CloseHandle(other);
  CloseHandle(first);
  // Once every handle is closed the name is free: a new event with its own initial state.
  HANDLE fresh = CreateEventW(nullptr, TRUE, TRUE, u"BackLightChangeEvent");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_OBJECT_0);
  CloseHandle(fresh);
}

TEST(Handles, ClosedAndForeignHandlesFail) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_FALSE(EventModify(event, EVENT_SET));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  HANDLE live = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(EventModify(live, EVENT_PULSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SetThreadPriority(live, THREAD_PRIORITY_NORMAL));  // not a thread
  CloseHandle(live);
}

struct Gate {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> seenId{0};
  ~Gate() { CloseHandle(go); }
};

DWORD WINAPI waitForGate(LPVOID p) {
  auto *gate = static_cast<Gate *>(p);
  gate->seenId = GetCurrentThreadId();
  WaitForSingleObject(gate->go, INFINITE);
  return 42;
}

TEST(Threads, HandleIsSignalledAtExitAndStaysValidUntilClosed) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, waitForGate, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(eventually([&] { return gate.seenId != 0; }));
  EXPECT_EQ(gate.seenId, id);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  SetEvent(gate.go);
  EXPECT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(GetExitCodeThread(thread, &code));
}

TEST(Threads, PrioritiesAreTheHandsetsEight) {
  Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, waitForGate, &gate, 0, nullptr);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_NORMAL);
  for (int priority = 0; priority <= 7; ++priority) {
    EXPECT_TRUE(SetThreadPriority(thread, priority));
    EXPECT_EQ(GetThreadPriority(thread), priority);
  }
  EXPECT_FALSE(SetThreadPriority(thread, 8));
  EXPECT_FALSE(SetThreadPriority(thread, -1));
  EXPECT_EQ(GetThreadPriority(thread), 7);
  SetEvent(gate.go);
  EXPECT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
  CloseHandle(thread);
}

// Where a thread blocks when it is terminated.
enum class Block { InfiniteWait, TimedWait, InfiniteSleep, TimedSleep, SleepLoop };

struct Victim {
  Block block;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> blocking{false};
  std::atomic<bool> unwound{false};   // a local's destructor ran
  std::atomic<bool> returned{false};  // the code after the block ran (it must not)
  ~Victim() { CloseHandle(event); }
};

DWORD WINAPI blockUntilTerminated(LPVOID p) {
  auto *v = static_cast<Victim *>(p);
  struct Local {
    Victim *v;
    ~Local() { v->unwound = true; }
  } local{v};
  v->blocking = true;
  switch (v->block) {
    case Block::InfiniteWait: WaitForSingleObject(v->event, INFINITE); break;
    case Block::TimedWait: WaitForSingleObject(v->event, 600000); break;
    case Block::InfiniteSleep: Sleep(INFINITE); break;
    case Block::TimedSleep: Sleep(600000); break;
    case Block::SleepLoop:
      for (;;) Sleep(1);
  }
  v->returned = true;
  return 0;
}

TEST(Threads, TerminateEndsAThreadBlockedInAWaitOrSleep) {
  for (Block block : {Block::InfiniteWait, Block::TimedWait, Block::InfiniteSleep, Block::TimedSleep,
                      Block::SleepLoop}) {
    SCOPED_TRACE(static_cast<int>(block));
    Victim victim{block};
    HANDLE thread = CreateThread(nullptr, 0, blockUntilTerminated, &victim, 0, nullptr);
    ASSERT_TRUE(eventually([&] { return victim.blocking.load(); }));
    Sleep(20);
    EXPECT_TRUE(TerminateThread(thread, 99));
    ASSERT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 99u);
    EXPECT_TRUE(victim.unwound);
    EXPECT_FALSE(victim.returned);
    EXPECT_TRUE(CloseHandle(thread));
  }
}

DWORD WINAPI terminateSelf(LPVOID p) {
  auto *handle = static_cast<std::atomic<HANDLE> *>(p);
  while (!handle->load()) Sleep(1);
  TerminateThread(handle->load(), 5);
  return 0;
}

TEST(Threads, TerminatingOneselfEndsAtOnce) {
  std::atomic<HANDLE> handle{nullptr};
  HANDLE thread = CreateThread(nullptr, 0, terminateSelf, &handle, 0, nullptr);
  handle = thread;
  ASSERT_EQ(WaitForSingleObject(thread, kPatience), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 5u);
  CloseHandle(thread);
}

struct Contention {
  LONG counter = 0;
  LONG busy = 0;
  long guarded = 0;  // changed only while `busy` is held
  static constexpr int kRounds = 20000;
};

DWORD WINAPI contend(LPVOID p) {
  auto *c = static_cast<Contention *>(p);
  for (int i = 0; i < Contention::kRounds; ++i) {
    InterlockedIncrement(&c->counter);
    while (InterlockedTestExchange(&c->busy, 0, 1) != 0) {
    }
    ++c->guarded;
    InterlockedExchange(&c->busy, 0);
  }
  return 0;
}

TEST(Interlocked, IncrementAndTestAndSetUnderContention) {
  Contention c;
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) threads.push_back(CreateThread(nullptr, 0, contend, &c, 0, nullptr));
  for (HANDLE t : threads) {
    EXPECT_EQ(WaitForSingleObject(t, 60000), WAIT_OBJECT_0);
    CloseHandle(t);
  }
  EXPECT_EQ(c.counter, 4 * Contention::kRounds);
  EXPECT_EQ(c.guarded, 4 * Contention::kRounds);
}

TEST(Interlocked, ResultsAreThePreviousOrNewValues) {
  LONG v = 5;
  EXPECT_EQ(InterlockedTestExchange(&v, 4, 9), 5);  // no match: unchanged
  EXPECT_EQ(v, 5);
  EXPECT_EQ(InterlockedTestExchange(&v, 5, 9), 5);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(InterlockedIncrement(&v), 2);
  EXPECT_EQ(InterlockedDecrement(&v), 1);
  EXPECT_EQ(InterlockedExchangeAdd(&v, 10), 1);
  EXPECT_EQ(InterlockedExchange(&v, -3), 11);
  EXPECT_EQ(v, -3);
}

TEST(Time, TickCounterWrapsAt32Bits) {
  platform::setTickCount(0xFFFFFFF0u);
  DWORD before = GetTickCount();
  Sleep(60);
  DWORD after = GetTickCount();
  EXPECT_LT(after, before);  // wrapped
  EXPECT_GE(after - before, 50u);
  platform::setTickCount(1000);
}

TEST(Time, IdleTimerResetsAreCounted) {
  uint64_t before = platform::idleTimerResets();
  SystemIdleTimerReset();
  SystemIdleTimerReset();
  EXPECT_EQ(platform::idleTimerResets(), before + 2);
}

TEST(Version, ComesFromTheProfileWithTheRecordSize) {
  device::setCurrent(device::Profile::parse("os_version = 5.1.1700\n", "wm5.profile"));
  OSVERSIONINFOW info{};
  EXPECT_FALSE(GetVersionExW(&info));  // size not filled in
  info.dwOSVersionInfoSize = 276;
  ASSERT_TRUE(GetVersionExW(&info));
  EXPECT_EQ(info.dwMajorVersion, 5u);
  EXPECT_EQ(info.dwMinorVersion, 1u);
  EXPECT_EQ(info.dwBuildNumber, 1700u);
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_CE));
  device::setCurrent(device::Profile::parse("memory = 64M\n", "old.profile"));
  EXPECT_FALSE(GetVersionExW(&info));
}

}  // namespace

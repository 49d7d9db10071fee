// Message queues: order across threads, wake-ups, the quit message, sent messages, filters.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "handset.h"

namespace {

struct Log {
  std::vector<UINT> messages;
  std::vector<WPARAM> values;
  std::thread::id procedureThread;
};
Log *logged = nullptr;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  logged->procedureThread = std::this_thread::get_id();
  if (message >= WM_APP) {
    logged->messages.push_back(message);
    logged->values.push_back(wParam);
    return static_cast<LRESULT>(wParam * 2);
  }
  if (message == WM_DESTROY) {
    logged->messages.push_back(WM_DESTROY);
    PostMessageW(nullptr, WM_APP + 99, 0, 0);  // a thread message posted before the quit
    PostQuitMessage(7);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    useProfile(kPocketPc);
    logged = &log;
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = u"MessagesTest";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, u"MessagesTest", u"messages", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassW(u"MessagesTest", nullptr);
    logged = nullptr;
  }
  // Runs the loop as the program does; returns GetMessageW's last result and the quit's wParam.
  std::pair<BOOL, WPARAM> runLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
      if (!msg.hwnd) logged->messages.push_back(msg.message);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return {got, msg.wParam};
  }
  Log log;
  HWND window = nullptr;
};

TEST_F(Messages, PostedFromAnotherThreadArriveInOrderAndEndWithTheQuitCode) {
  constexpr int kCount = 500;
  std::thread poster([this] {
    for (int i = 0; i < kCount; ++i) {
      ASSERT_TRUE(PostMessageW(window, WM_APP, static_cast<WPARAM>(i), 0));
      if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the loop go idle
    }
    PostMessageW(window, WM_CLOSE, 0, 0);  // DefWindowProcW destroys, WM_DESTROY posts the quit
  });
  auto [result, quitCode] = runLoop();
  poster.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(quitCode, 7u);
  EXPECT_FALSE(IsWindow(window));
  ASSERT_EQ(log.values.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(log.values[i], static_cast<WPARAM>(i)) << "message " << i;
  // WM_DESTROY came from WM_CLOSE, and the thread message posted in WM_DESTROY came before the quit.
  ASSERT_GE(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[log.messages.size() - 2], static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(log.messages.back(), static_cast<UINT>(WM_APP + 99));
}

TEST_F(Messages, SentFromAnotherThreadRunOnTheOwnerAndReturnTheResult) {
  std::atomic<LRESULT> result{0};
  std::thread sender([&] {
    result = SendMessageW(window, WM_APP + 1, 21, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  runLoop();
  sender.join();
  EXPECT_EQ(result.load(), 42);
  EXPECT_EQ(log.procedureThread, std::this_thread::get_id());
}

TEST_F(Messages, SendToAWindowDestroyedBeforeItAnswersReturnsZero) {
  std::atomic<bool> sending{false};
  std::atomic<LRESULT> result{-1};
  std::thread sender([&] {
    sending = true;
    result = SendMessageW(window, WM_APP + 1, 21, 0);
  });
  while (!sending) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  DestroyWindow(window);  // without pumping: the waiting sender must be released
  sender.join();
  EXPECT_EQ(result.load(), 0);
}

TEST_F(Messages, PeekFiltersAndKeeps) {
  PostMessageW(window, WM_APP + 5, 1, 0);
  PostMessageW(window, WM_KEYDOWN, 'A', 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
  EXPECT_TRUE(TranslateMessage(&msg));
  // Left: the WM_APP message, then the WM_CHAR that TranslateMessage posted.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 5));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, DeadWindowsAreRefused) {
  DestroyWindow(window);
  MSG msg;
  EXPECT_FALSE(PostMessageW(window, WM_APP, 0, 0));
  EXPECT_EQ(SendMessageW(window, WM_APP, 1, 0), 0);
  EXPECT_EQ(GetMessageW(&msg, window, 0, 0), -1);
  EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(Messages, PaintComesWhenNothingElseIsQueuedUntilValidated) {
  ShowWindow(window, SW_SHOW);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // the first paint
  InvalidateRect(window, nullptr, TRUE);
  PostMessageW(window, WM_APP + 3, 0, 0);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 3));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  PAINTSTRUCT paint;
  ASSERT_NE(BeginPaint(window, &paint), nullptr);
  EXPECT_EQ(paint.rcPaint.right, 100);
  EndPaint(window, &paint);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, HardwareKeysAndTapsGoToTheActiveWindow) {
  ShowWindow(window, SW_SHOW);
  MoveWindow(window, 0, 26, 240, 294, FALSE);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  device::pressKey(VK_APP3, true);
  ASSERT_TRUE(device::tap(100, 126, true));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_APP3));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(LOWORD(msg.lParam), 100);
  EXPECT_EQ(HIWORD(msg.lParam), 100);  // client coordinates: the window starts at y = 26

  useProfile("platform_type = SmartPhone\ntouch_screen = no\n");
  EXPECT_FALSE(device::tap(10, 10, true));
}

}  // namespace

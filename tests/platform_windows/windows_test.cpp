// Windows: creation, activation as the program sees it, finding a running window.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "handset.h"

namespace {

struct Event {
  HWND window;
  UINT message;
  WPARAM wParam;
};
std::vector<Event> events;

LRESULT CALLBACK activationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE || message == WM_ACTIVATE || message == WM_DESTROY)
    events.push_back({window, message, wParam});
  if (message == WM_CREATE) {
    auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    if (create->lpCreateParams) return -1;  // the tests' way to refuse creation
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    useProfile(kPocketPc);
    events.clear();
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = activationProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = u"PelkavoTestClass";
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  void TearDown() override {
    for (HWND w : created)
      if (IsWindow(w)) DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(u"PelkavoTestClass", nullptr));
  }
  HWND make(const char16_t *title, DWORD style, void *param = nullptr) {
    HWND w = CreateWindowExW(0, u"PelkavoTestClass", title, style, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, param);
    created.push_back(w);
    return w;
  }
  std::vector<HWND> created;
};

TEST_F(Windows, ClassNamesAreUniqueWithoutCase) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = activationProc;
  wc.lpszClassName = u"pelkavotestclass";
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Windows, CreateRefusedByWmCreateGivesNoWindow) {
  int marker = 0;
  EXPECT_EQ(make(u"refused", WS_VISIBLE, &marker), nullptr);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].message, static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(events[1].message, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(Windows, ActivationFollowsShowMinimiseAndForeground) {
  HWND w = make(u"Pelkavo", WS_VISIBLE);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetForegroundWindow(), w);
  ASSERT_EQ(events.size(), 2u);  // WM_CREATE, then activation
  EXPECT_EQ(events[1].message, static_cast<UINT>(WM_ACTIVATE));
  EXPECT_EQ(LOWORD(events[1].wParam), WA_ACTIVE);

  // Minimising gives activation away; bringing the window forward with the low bit set in
  // its handle, as the program does, restores and activates it.
  events.clear();
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(w) | 1)));
  EXPECT_TRUE(IsWindowVisible(w));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(LOWORD(events[0].wParam), WA_INACTIVE);
  EXPECT_EQ(LOWORD(events[1].wParam), WA_ACTIVE);

  // A second window takes activation from the first; destroying it leaves none active.
  events.clear();
  HWND other = make(u"Other", WS_VISIBLE);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[1].window, w);
  EXPECT_EQ(LOWORD(events[1].wParam), WA_INACTIVE);
  EXPECT_EQ(events[2].window, other);
  EXPECT_EQ(LOWORD(events[2].wParam), WA_ACTIVE);
  events.clear();
  DestroyWindow(other);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(LOWORD(events[0].wParam), WA_INACTIVE);
  EXPECT_EQ(events[1].message, static_cast<UINT>(WM_DESTROY));
  EXPECT_FALSE(SetForegroundWindow(other));
}

TEST_F(Windows, FindWindowMatchesClassAndTitle) {
  HWND w = make(u"Pelkavo", 0);
  make(u"Other", 0);
  struct Case {
    const char16_t *className;
    const char16_t *title;
    bool found;
  } cases[] = {
      {u"PelkavoTestClass", u"Pelkavo", true}, {u"PELKAVOTESTCLASS", u"Pelkavo", true},
      {nullptr, u"Pelkavo", true},             {u"PelkavoTestClass", u"pelkavo", false},
      {u"Unknown", u"Pelkavo", false},         {nullptr, u"Missing", false},
  };
  for (const Case &c : cases) EXPECT_EQ(FindWindowW(c.className, c.title), c.found ? w : nullptr);
  DestroyWindow(w);
  EXPECT_EQ(FindWindowW(u"PelkavoTestClass", u"Pelkavo"), nullptr);
}

TEST_F(Windows, MoveAndDefaultPlacement) {
  HWND w = CreateWindowExW(0, u"PelkavoTestClass", u"d", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  created.push_back(w);
  RECT r;
  ASSERT_TRUE(GetWindowRect(w, &r));
  EXPECT_EQ(r.top, 26);  // below the task bar
  EXPECT_EQ(r.bottom, 320);
  ASSERT_TRUE(MoveWindow(w, 0, 0, 240, 320, TRUE));
  ASSERT_TRUE(GetClientRect(w, &r));
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 320);
  EXPECT_FALSE(MoveWindow(w, 0, 0, -1, 10, FALSE));
}

}  // namespace

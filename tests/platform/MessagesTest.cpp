// Message queue, window procedure dispatch, windows and scripted input.
#include "Fixture.h"

namespace {

using MessageQueue = HostTest;
using Windows = HostTest;
using Input = HostTest;

TEST_F(MessageQueue, PostedMessagesComeInOrderThenQuitWithItsCode) {
  HWND hwnd = MakeWindow(WS_POPUP);
  PostMessageA(hwnd, WM_USER + 1, 1, 0);
  PostQuitMessage(5);
  PostMessageA(hwnd, WM_USER + 2, 2, 0);
  PostMessageA(nullptr, WM_USER + 3, 3, 0);
  MSG msg;
  std::vector<UINT> order;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    order.push_back(msg.message);
    if (msg.message == WM_QUIT) {
      EXPECT_EQ(msg.wParam, 5u);
      break;
    }
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_QUIT}));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is removed once";
}

TEST_F(MessageQueue, PeekWithoutRemoveLeavesTheMessage) {
  PostMessageA(nullptr, WM_USER, 9, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, GetMessageBlocksUntilInputAndReturnsZeroOnQuit) {
  MakeWindow(WS_POPUP);
  vt::KeyDown(30, VK_ESCAPE);
  MSG msg;
  Pump();
  ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(vt::VirtualTimeMs(), 30u);
  PostQuitMessage(3);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageQueue, MsgWaitWakesOnQueuedInputButNotBeforeIt) {
  MakeWindow(WS_POPUP);
  Pump();
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  vt::KeyDown(40, 'P');
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 250, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(vt::VirtualTimeMs(), 40u);
  Pump();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 250, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(vt::VirtualTimeMs(), 290u);
  SetEvent(event);
  PostMessageA(nullptr, WM_USER, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 250, QS_ALLINPUT), WAIT_OBJECT_0) << "objects first";
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 250, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "an empty wake mask ignores the queue";
}

TEST_F(Windows, CreationReportsTitleStyleAndClientArea) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW);
  ASSERT_NE(hwnd, nullptr);
  vt::WindowState state = vt::MainWindow();
  EXPECT_TRUE(state.exists);
  EXPECT_EQ(state.title, "Test window");
  EXPECT_EQ(state.className, "platformtest");
  EXPECT_FALSE(state.visible);
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  EXPECT_EQ(outer.right - outer.left, 640);
  EXPECT_EQ(outer.bottom - outer.top, 480);
  EXPECT_EQ(client.right, 632);
  EXPECT_EQ(client.bottom, 453);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  EXPECT_EQ(origin.x, outer.left + 4);
  EXPECT_EQ(origin.y, outer.top + 23);
  EXPECT_EQ(Messages({WM_NCCREATE, WM_CREATE}), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(RegisterClassA(nullptr), 0);
}

TEST_F(Windows, ShowMaximizedPopupCoversTheScreenAndActivates) {
  HWND hwnd = MakeWindow(WS_POPUP);
  ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  vt::WindowState state = vt::MainWindow();
  EXPECT_TRUE(state.visible);
  EXPECT_TRUE(state.maximised);
  EXPECT_EQ(state.style & (WS_POPUP | WS_VISIBLE | WS_MAXIMIZE), WS_POPUP | WS_VISIBLE | WS_MAXIMIZE);
  EXPECT_EQ(state.clientRect.right, 640);
  EXPECT_EQ(state.clientRect.bottom, 480);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
  ASSERT_EQ(Messages({WM_ACTIVATE, WM_SIZE}), (std::vector<UINT>{WM_ACTIVATE, WM_SIZE}));
  for (const Received& r : Log()) {
    if (r.message == WM_ACTIVATE) {
      EXPECT_EQ(LOWORD(r.wParam), WA_ACTIVE);
    }
    if (r.message == WM_SIZE) {
      EXPECT_EQ(r.wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
      EXPECT_EQ(LOWORD(r.lParam), 640);
      EXPECT_EQ(HIWORD(r.lParam), 480);
    }
  }
}

TEST_F(Windows, MinimiseAndRestoreSendTheirSizeKinds) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW);
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  Log().clear();
  ShowWindow(hwnd, SW_MINIMIZE);
  EXPECT_TRUE(vt::MainWindow().minimised);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 0);
  ShowWindow(hwnd, SW_RESTORE);
  EXPECT_FALSE(vt::MainWindow().minimised);
  std::vector<WPARAM> kinds;
  for (const Received& r : Log())
    if (r.message == WM_SIZE) kinds.push_back(r.wParam);
  EXPECT_EQ(kinds, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_EQ(Log().back().message, static_cast<UINT>(WM_SIZE));
  EXPECT_EQ(LOWORD(Log().back().lParam), 632);
}

TEST_F(Windows, SetWindowPosMovesAndSizesWithTheirMessages) {
  HWND hwnd = MakeWindow(WS_POPUP);
  Log().clear();
  SetWindowPos(hwnd, HWND_TOP, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Messages({WM_SIZE, WM_MOVE}), (std::vector<UINT>{WM_MOVE}));
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 320, 200, SWP_NOMOVE | SWP_NOZORDER);
  RECT outer;
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, 10);
  EXPECT_EQ(outer.top, 20);
  EXPECT_EQ(outer.right, 330);
  EXPECT_EQ(outer.bottom, 220);
  EXPECT_EQ(Log().back().message, static_cast<UINT>(WM_SIZE));
  EXPECT_EQ(Log().back().lParam, MAKELPARAM(320, 200));
  EXPECT_EQ(vt::WindowPixels().width, 320) << "the pixels follow the client size";
}

// Sizes no screen has, asked by the program or the window manager, are cut to 8192 pixels a side
// (negative ones to nothing) rather than allocating gigabytes of client area.
TEST_F(Windows, SizesBeyondAnyScreenAreCut) {
  HWND hwnd = MakeWindow(WS_POPUP, 100000, -7);
  EXPECT_EQ(vt::MainWindow().windowRect.right, 8192);
  EXPECT_EQ(vt::MainWindow().windowRect.bottom, 0);
  SetWindowPos(hwnd, HWND_TOP, 0, 0, -50, 1 << 30, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(vt::MainWindow().windowRect.right, 0);
  EXPECT_EQ(vt::MainWindow().windowRect.bottom, 8192);
  vt::SizeWindow(10, 1 << 20, 30);
  Sleep(20);
  Pump();
  EXPECT_EQ(vt::WindowPixels().width, 8192);
  EXPECT_EQ(vt::WindowPixels().height, 30);
}

TEST_F(Windows, DefWindowProcClosesByDestroying) {
  HWND hwnd = MakeWindow(WS_POPUP);
  SendMessageA(hwnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(Messages({WM_CLOSE, WM_DESTROY, WM_NCDESTROY}),
            (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
}

TEST_F(Windows, UnregisterRefusesAClassInUse) {
  HWND hwnd = MakeWindow(WS_POPUP);
  EXPECT_FALSE(UnregisterClassA("platformtest", nullptr));
  DestroyWindow(hwnd);
  EXPECT_TRUE(UnregisterClassA("platformtest", nullptr));
  EXPECT_EQ(MakeWindow(WS_POPUP) != nullptr, true) << "registers again";
}

TEST_F(Windows, ShowCursorCountsBothWays) {
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(vt::CursorDisplayCount(), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST_F(Windows, MessageBoxIsRecordedAndAnsweredAtOnce) {
  Sleep(20);
  HWND hwnd = MakeWindow(WS_POPUP);
  EXPECT_EQ(MessageBoxA(nullptr, "audio failed", "Error", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(hwnd, "Sure?", "Problem", MB_YESNO | MB_ICONQUESTION), IDYES);
  std::vector<vt::MessageBoxRecord> boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].text, "audio failed");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
  EXPECT_EQ(boxes[0].atMs, 20u);
  EXPECT_EQ(boxes[1].owner, hwnd);
  EXPECT_EQ(vt::VirtualTimeMs(), 20u);
}

TEST_F(Input, ScriptedKeysArriveAtTheirTimeWithRepeatAndReleaseBits) {
  MakeWindow(WS_POPUP);
  vt::KeyPress(100, VK_CONTROL, 600, 500, 50);  // down 100, repeats 600 650, up 700
  vt::KeyDown(800, VK_SCROLL);
  HANDLE never = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  while (vt::VirtualTimeMs() < 900) {
    MsgWaitForMultipleObjects(1, &never, FALSE, 250, QS_ALLINPUT);
    Pump();
  }
  std::vector<Received> keys;
  for (const Received& r : Log())
    if (r.message == WM_KEYDOWN || r.message == WM_KEYUP) keys.push_back(r);
  ASSERT_EQ(keys.size(), 5u);
  std::vector<std::uint64_t> times;
  for (const Received& k : keys) times.push_back(k.atMs);
  EXPECT_EQ(times, (std::vector<std::uint64_t>{100, 600, 650, 700, 800}));
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_CONTROL));
  EXPECT_EQ(keys[0].lParam & (1 << 30), 0) << "first press: key was up";
  EXPECT_NE(keys[1].lParam & (1 << 30), 0) << "auto-repeat: key was down";
  EXPECT_EQ(keys[3].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_NE(static_cast<std::uint32_t>(keys[3].lParam) & 0x80000000u, 0u);
  EXPECT_EQ(keys[4].wParam, static_cast<WPARAM>(VK_SCROLL));
}

TEST_F(Input, WindowEventsAreSentInsideTheNextMessageCall) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  Pump();
  Log().clear();
  vt::Activate(10, false);
  vt::MoveWindowTo(20, 100, 50);
  vt::SizeWindow(30, 400, 300);
  vt::Minimise(40);
  vt::Restore(50);
  vt::Activate(60, true);
  vt::Close(70);
  Sleep(100);
  EXPECT_TRUE(Log().empty()) << "nothing is delivered outside a message call";
  Pump();
  EXPECT_EQ(Messages({WM_ACTIVATE, WM_MOVING, WM_MOVE, WM_SIZING, WM_SIZE, WM_CLOSE, WM_DESTROY}),
            (std::vector<UINT>{WM_ACTIVATE, WM_MOVING, WM_MOVE, WM_SIZING, WM_SIZE, WM_SIZE, WM_SIZE, WM_ACTIVATE,
                               WM_CLOSE, WM_DESTROY}));
  std::vector<Received> log = Log();
  EXPECT_EQ(log[0].wParam, static_cast<WPARAM>(WA_INACTIVE));
  const RECT* moving = nullptr;
  for (const Received& r : log) {
    if (r.message == WM_MOVE) {
      EXPECT_EQ(LOWORD(r.lParam), 104);  // client origin
      EXPECT_EQ(HIWORD(r.lParam), 73);
    }
    if (r.message == WM_MOVING) moving = reinterpret_cast<const RECT*>(r.lParam);
  }
  EXPECT_NE(moving, nullptr);
  std::vector<std::pair<WPARAM, LPARAM>> sizes;
  for (const Received& r : log)
    if (r.message == WM_SIZE) sizes.emplace_back(r.wParam, r.lParam);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_EQ(sizes[0], std::make_pair(static_cast<WPARAM>(SIZE_RESTORED), MAKELPARAM(392, 273)));
  EXPECT_EQ(sizes[1].first, static_cast<WPARAM>(SIZE_MINIMIZED));
  EXPECT_EQ(sizes[2], std::make_pair(static_cast<WPARAM>(SIZE_RESTORED), MAKELPARAM(392, 273)));
}

std::vector<std::pair<WPARAM, LPARAM>> Sizes() {
  std::vector<std::pair<WPARAM, LPARAM>> sizes;
  for (const Received& r : Log())
    if (r.message == WM_SIZE) sizes.emplace_back(r.wParam, r.lParam);
  return sizes;
}

TEST_F(Input, GrowingAWindowPaintsTheNewlyExposedArea) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW, 320, 240);
  SetClassLongPtrA(hwnd, GCL_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(WHITE_BRUSH)));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  Pump();
  Log().clear();
  vt::SizeWindow(10, 200, 150);
  Sleep(20);
  Pump();
  EXPECT_TRUE(Messages({WM_PAINT}).empty()) << "shrinking exposes nothing";
  vt::SizeWindow(30, 400, 300);
  Sleep(20);
  Pump();
  EXPECT_EQ(Messages({WM_ERASEBKGND, WM_PAINT}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  const vt::Picture pixels = vt::WindowPixels();
  EXPECT_EQ(pixels.at(pixels.width - 1, pixels.height - 1), 0x00FFFFFFu) << "the new area shows the background";
}

TEST_F(Input, AWindowMaximisedByTheHostReportsItsSizesAsMaximised) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  Pump();
  Log().clear();
  vt::Maximise(10);
  vt::SizeWindow(20, 500, 400);  // the window manager's size for it
  vt::Restore(30);
  Sleep(40);
  Pump();
  EXPECT_EQ(Sizes(), (std::vector<std::pair<WPARAM, LPARAM>>{{SIZE_MAXIMIZED, MAKELPARAM(640, 461)},
                                                              {SIZE_MAXIMIZED, MAKELPARAM(492, 373)},
                                                              {SIZE_RESTORED, MAKELPARAM(632, 453)}}));
  EXPECT_FALSE(vt::MainWindow().maximised);
}

// A full-screen window minimised when the user switches away comes back full screen, whoever
// restores it: the window manager, or the program with SW_RESTORE. SW_SHOWNORMAL makes it normal.
TEST_F(Input, AWindowMinimisedWhileMaximisedIsRestoredMaximised) {
  HWND hwnd = MakeWindow(WS_POPUP);
  ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  Pump();
  Log().clear();
  ShowWindow(hwnd, SW_MINIMIZE);
  EXPECT_TRUE(vt::MainWindow().minimised);
  vt::Restore(10);
  Sleep(20);
  Pump();
  EXPECT_TRUE(vt::MainWindow().maximised);
  ShowWindow(hwnd, SW_MINIMIZE);
  ShowWindow(hwnd, SW_RESTORE);
  EXPECT_TRUE(vt::MainWindow().maximised);
  EXPECT_EQ(Sizes(), (std::vector<std::pair<WPARAM, LPARAM>>{{SIZE_MINIMIZED, 0},
                                                              {SIZE_MAXIMIZED, MAKELPARAM(640, 480)},
                                                              {SIZE_MINIMIZED, 0},
                                                              {SIZE_MAXIMIZED, MAKELPARAM(640, 480)}}));
  ShowWindow(hwnd, SW_MINIMIZE);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  const vt::WindowState normal = vt::MainWindow();
  EXPECT_FALSE(normal.maximised || normal.minimised);
  EXPECT_EQ(normal.windowRect.right - normal.windowRect.left, 640) << "the size it had before it was maximised";
  // Minimised from normal, it comes back normal.
  ShowWindow(hwnd, SW_MINIMIZE);
  ShowWindow(hwnd, SW_RESTORE);
  EXPECT_FALSE(vt::MainWindow().maximised || vt::MainWindow().minimised);
}

LRESULT CALLBACK MovingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOVING) {
    const RECT* r = reinterpret_cast<const RECT*>(lParam);
    Log().push_back({message, static_cast<WPARAM>(r->left), r->top, vt::VirtualTimeMs()});
    return TRUE;
  }
  return RecordingProc(hwnd, message, wParam, lParam);
}

TEST_F(Input, MovingCarriesTheNewOuterRectangle) {
  HWND hwnd = MakeWindow(WS_POPUP | WS_OVERLAPPEDWINDOW, 640, 480, MovingProc);
  vt::MoveWindowTo(5, 70, 80);
  Sleep(10);
  Pump();
  ASSERT_EQ(Messages({WM_MOVING}).size(), 1u);
  for (const Received& r : Log())
    if (r.message == WM_MOVING) {
      EXPECT_EQ(r.wParam, 70u);
      EXPECT_EQ(r.lParam, 80);
    }
  RECT outer;
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, 70);
  EXPECT_EQ(outer.bottom, 560);
}

}  // namespace

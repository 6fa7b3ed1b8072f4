// Win32 check of FormDialog / TAboutPanel under wine64. Prints "N passed, M failed".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "Tally.h"
#include "about/win/AboutPanel.h"
#include "forms/win/AboutForm.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"

using namespace vo::win;
namespace form = vo::win::about_form;

static int ticks = 0;
static std::function<void(int)> onTick;

LRESULT CALLBACK ClockProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_TIMER) {
    ++ticks;
    if (onTick) onTick(ticks);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

static INT_PTR CALLBACK IgnoringDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

static RECT ChildRect(HWND dialog, int id) {
  RECT r{};
  HWND c = GetDlgItem(dialog, id);
  GetWindowRect(c, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

static bool Is(RECT r, int x, int y, int w, int h) {
  bool ok = r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h;
  if (!ok)
    std::printf("  rect %ld,%ld %ldx%ld, want %d,%d %dx%d\n", r.left, r.top, r.right - r.left,
                r.bottom - r.top, x, y, w, h);
  return ok;
}

// The clock and the windows around it, as the About box finds them.
struct Windows {
  HWND app, clock, hiddenOther, preDisabled;
};

Windows MakeWindows(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ClockProc;
  wc.hInstance = instance;
  wc.lpszClassName = "CheckClock";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterClassA(&wc);
  HWND app = CreateWindowExA(0, "CheckClock", "vo", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             instance, nullptr);
  HWND clock = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "CheckClock", "clock", WS_POPUP,
                               293, 0, 102, 21, app, nullptr, instance, nullptr);
  HWND hiddenOther = CreateWindowExA(0, "CheckClock", "hidden", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, instance, nullptr);
  HWND preDisabled = CreateWindowExA(0, "CheckClock", "predisabled", WS_POPUP, 600, 0, 10, 10,
                                     nullptr, nullptr, instance, nullptr);
  ShowWindow(clock, SW_SHOWNOACTIVATE);
  ShowWindow(preDisabled, SW_SHOWNOACTIVATE);
  EnableWindow(preDisabled, FALSE);
  SetTimer(clock, 1, 50, nullptr);
  return {app, clock, hiddenOther, preDisabled};
}

// Created hidden, client area and frame as designed.
void CheckLayout(HWND dialog, HWND app) {
  CHECK(dialog != nullptr);
  CHECK(!IsWindowVisible(dialog));
  RECT client{};
  GetClientRect(dialog, &client);
  CHECK(client.right == 335 && client.bottom == 220);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  CHECK(std::strcmp(caption, form::kCaption) == 0);
  const LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
  CHECK((style & WS_CAPTION) == WS_CAPTION);
  CHECK((style & WS_SYSMENU) == 0);
  CHECK(GetWindow(dialog, GW_OWNER) == app);
  CHECK(Is(ChildRect(dialog, form::kImage1), 228, 4, 90, 40));
  CHECK(Is(ChildRect(dialog, form::kPanel1), 20, 84, 297, 57));
  CHECK(Is(ChildRect(dialog, form::kImage2), 32, 96, 33, 29));
  CHECK(Is(ChildRect(dialog, form::kLblName), 72, 92, 201, 21));
  CHECK(Is(ChildRect(dialog, form::kLblVersion), 72, 116, 201, 17));
  CHECK(Is(ChildRect(dialog, IDOK), 112, 184, 113, 29));
  CHECK(ChildRect(dialog, form::kLabel1).right == 319);
  CHECK(ChildRect(dialog, form::kLabel2).right == 319);
  // The panel lies beneath the controls drawn on it.
  CHECK(GetWindow(GetDlgItem(dialog, form::kPanel1), GW_HWNDNEXT) == nullptr);
}

// What a watcher saw four ticks into a modal loop, just before it acted.
struct Seen {
  bool visible = false, clockDisabled = false, appDisabled = false, hiddenEnabled = false;
  bool okFocused = false;
  INT_PTR nested = -1;
  int ticksAtKey = 0;
};

void Watch(Seen& seen, const Windows& w, HWND dialog, std::function<void()> act) {
  seen = {};
  onTick = [&seen, w, dialog, firstTick = ticks, act](int t) {
    if (t != firstTick + 4) return;
    seen.visible = IsWindowVisible(dialog);
    seen.clockDisabled = !IsWindowEnabled(w.clock);
    seen.appDisabled = !IsWindowEnabled(w.app);
    seen.hiddenEnabled = IsWindowEnabled(w.hiddenOther);
    seen.okFocused = GetFocus() == GetDlgItem(dialog, IDOK);
    seen.nested = RunModal(dialog, w.app);  // already modal: returns at once
    seen.ticksAtKey = t;
    act();
  };
}

bool Centred(HWND dialog) {
  RECT r{};
  GetWindowRect(dialog, &r);
  return std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2) <= 1 &&
         std::abs((r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2) <= 1;
}

// Enter closes; the clock's timer keeps running and its window is disabled meanwhile.
void CheckKeysClose(TAboutPanel& about, const Windows& w) {
  HWND dialog = about.Handle();
  Seen seen;
  Watch(seen, w, dialog, [] { PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); });
  about.ShowModal();
  CHECK(seen.visible);
  CHECK(seen.clockDisabled);
  CHECK(seen.appDisabled);
  CHECK(seen.hiddenEnabled);
  CHECK(seen.okFocused);
  CHECK(seen.nested == IDCANCEL);
  CHECK(Centred(dialog));
  CHECK(!IsWindowVisible(dialog));
  CHECK(IsWindowEnabled(w.clock) && IsWindowEnabled(w.app));
  CHECK(!IsWindowEnabled(w.preDisabled));  // was disabled before: stays so
  CHECK(ticks >= seen.ticksAtKey);

  // Esc closes too.
  Watch(seen, w, dialog, [] { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); });
  about.ShowModal();
  CHECK(seen.visible && seen.clockDisabled);
  CHECK(!IsWindowVisible(dialog) && IsWindowEnabled(w.clock));
  onTick = nullptr;
}

void CheckRunModal(HWND dialog, const Windows& w) {
  // A click on OK, seen by RunModal's result.
  Seen seen;
  Watch(seen, w, dialog, [dialog] { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); });
  CentreOnScreen(dialog);
  CHECK(RunModal(dialog, w.app) == IDOK);
  CHECK(!IsWindowVisible(dialog) && IsWindowEnabled(w.clock));

  // WM_QUIT during the modal loop ends it and is posted again for the outer loop.
  Watch(seen, w, dialog, [] { PostQuitMessage(7); });
  CHECK(RunModal(dialog, w.app) == IDCANCEL);
  CHECK(!IsWindowVisible(dialog) && IsWindowEnabled(w.clock) && IsWindowEnabled(w.app));
  onTick = nullptr;
  MSG msg{};
  bool sawQuit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      sawQuit = msg.wParam == 7;
      break;
    }
  }
  CHECK(sawQuit);

  // Outside a modal loop EndModal just hides.
  ShowWindow(dialog, SW_SHOWNOACTIVATE);
  EndModal(dialog, IDOK);
  CHECK(!IsWindowVisible(dialog));
}

// CreateFormDialog on its own: exact client size for another style, caption kept.
void CheckFormDialog(HINSTANCE instance, HWND app) {
  HWND other = CreateFormDialog(instance, app, "Kiroの時計 - 設定", 347, 206,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE,
                                IgnoringDialogProc, 0);
  CHECK(other != nullptr && !IsWindowVisible(other));
  RECT client{};
  GetClientRect(other, &client);
  CHECK(client.right == 347 && client.bottom == 206);
  static constexpr ControlSpec kSome[] = {
      {10, "BUTTON", "OK", 4, 176, 165, 25, WS_VISIBLE | BS_DEFPUSHBUTTON, 0},
      {11, "NO SUCH CLASS", "x", 0, 0, 5, 5, 0, 0},
      {12, "EDIT", "sample.wav", 92, 28, 165, 23, WS_VISIBLE | WS_BORDER, WS_EX_CLIENTEDGE},
  };
  UniqueFont font = MakeFont({"ＭＳ Ｐゴシック", 15});
  CHECK(static_cast<bool>(font));
  CreateControls(other, kSome, font.get());
  CHECK(GetDlgItem(other, 11) == nullptr);
  CHECK(Is(ChildRect(other, 12), 92, 28, 165, 23));
  CHECK(reinterpret_cast<HFONT>(SendDlgItemMessageA(other, 10, WM_GETFONT, 0, 0)) == font.get());
  LOGFONTA lf{};
  GetObjectA(font.get(), sizeof lf, &lf);
  CHECK(lf.lfHeight == -15 && lf.lfCharSet == SHIFTJIS_CHARSET && lf.lfWeight == FW_NORMAL);
  DestroyWindow(other);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmd, int) {
  int holdSeconds = 0;
  if (std::strncmp(cmd, "--hold", 6) == 0) holdSeconds = std::atoi(cmd + 7);
  const Windows windows = MakeWindows(instance);
  TAboutPanel about;
  about.Create(instance, windows.app);
  HWND dialog = about.Handle();

  if (holdSeconds > 0) {
    onTick = [&](int t) {
      if (t == holdSeconds * 20) EndModal(dialog, IDOK);
    };
    about.ShowModal();
    std::printf("held %d s, %d ticks\n", holdSeconds, ticks);
    return 0;
  }
  CheckLayout(dialog, windows.app);
  CheckKeysClose(about, windows);
  CheckRunModal(dialog, windows);
  CheckFormDialog(instance, windows.app);
  return vo::test::Summary();
}

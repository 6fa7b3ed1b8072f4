// probe: a console helper for the end-to-end tests. It runs under Wine beside vo.exe (same
// prefix, same display) and reports on or pokes at windows. Output is one record per line:
//
//   <kind> key=value key=value ...
//
// Texts are printed as hex (ANSI bytes, and UTF-16LE where a "w" key is given) so that
// Shift_JIS bytes reach the test unchanged. Exit code 0 = done, 1 = not found / timed out,
// 2 = usage error.
#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <concepts>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "HexText.h"
#include "Panel/ClockMessages.h"
#include "PixelCanvas.h"
#include "PlugIns/ApartProtocol.h"
#include "support/win/Handles.h"
#include "vo_plugin.h"

namespace {

using vo::test::Hex;
using vo::test::PixelCanvas;
using vo::win::SelectedObject;
using vo::win::UniqueBrush;
using vo::win::WindowDC;

constexpr DWORD kSendTimeoutMs = 10000;

struct NamedValue {
  const char* name;
  long long value;
};

constexpr NamedValue kMessageNames[] = {
#define VO_NAMED(id, name, offset) {name, vo::kClockMessageBase + (offset)},
    VO_CLOCK_MESSAGES(VO_NAMED)
#undef VO_NAMED
        {"WM_CLOSE", WM_CLOSE},
    {"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
    {"WM_ENDSESSION", WM_ENDSESSION},
    {"WM_COMMAND", WM_COMMAND},
    {"WM_SYSCOMMAND", WM_SYSCOMMAND},
    {"WM_NULL", WM_NULL},
    {"IDOK", IDOK},
    {"IDCANCEL", IDCANCEL},
    {"IDYES", IDYES},
    {"IDNO", IDNO},
};

bool ParseNumber(const char* text, long long& value) {
  for (const NamedValue& named : kMessageNames) {
    if (std::strcmp(named.name, text) == 0) {
      value = named.value;
      return true;
    }
  }
  char* end = nullptr;
  // Hex values above LLONG_MAX (e.g. 0xFFFFFFFFFFFFFFFF) still mean their bit pattern.
  const unsigned long long parsed =
      text[0] == '-' ? static_cast<unsigned long long>(std::strtoll(text, &end, 0))
                     : std::strtoull(text, &end, 0);
  if (end == text || *end != '\0') return false;
  value = static_cast<long long>(parsed);
  return true;
}

std::string HandleText(const void* handle) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return buffer;
}

// Read as the system keeps it, without asking the window: GetWindowTextLength sends a message,
// which a window whose thread is busy (a hung plug-in) does not answer.
std::string WindowTextA(HWND window) {
  char text[1024] = "";
  if (window) GetWindowTextA(window, text, sizeof text);
  return text;
}

std::wstring WindowTextW(HWND window) {
  wchar_t text[1024] = L"";
  if (window) GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return text;
}

std::string ClassNameOf(HWND window) {
  if (!window) return {};
  char buffer[256] = {};
  const int length = GetClassNameA(window, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// `more` ends the line: further fields of the caller's, each " key=value".
// A layered window's alpha; -1 for a window that is not layered.
int LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD layering = 0;
  return GetLayeredWindowAttributes(window, nullptr, &alpha, &layering) && (layering & LWA_ALPHA)
             ? alpha
             : -1;
}

void PrintWindowRecord(const char* kind, HWND window, const char* more = "") {
  RECT frame{};
  RECT client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  const HWND owner = GetWindow(window, GW_OWNER);
  std::printf(
      "%s hwnd=%s pid=%lu class=%s title=%s titlew=%s left=%ld top=%ld width=%ld height=%ld "
      "client_width=%ld client_height=%ld style=0x%08lx exstyle=0x%08lx visible=%d enabled=%d "
      "owner=%s owner_class=%s owner_title=%s owner_visible=%d alpha=%d%s\n",
      kind, HandleText(window).c_str(), ProcessOf(window), Hex(ClassNameOf(window)).c_str(),
      Hex(WindowTextA(window)).c_str(), Hex(WindowTextW(window)).c_str(), frame.left, frame.top,
      frame.right - frame.left, frame.bottom - frame.top, client.right, client.bottom,
      static_cast<unsigned long>(GetWindowLongPtrA(window, GWL_STYLE)),
      static_cast<unsigned long>(GetWindowLongPtrA(window, GWL_EXSTYLE)),
      IsWindowVisible(window) ? 1 : 0, IsWindowEnabled(window) ? 1 : 0, HandleText(owner).c_str(),
      Hex(ClassNameOf(owner)).c_str(), Hex(WindowTextA(owner)).c_str(),
      owner && IsWindowVisible(owner) ? 1 : 0, LayeredAlpha(window), more);
}

// A named CALLBACK, not a lambda: lambdas do not convert to stdcall pointers on i686.
BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Polls until `find` yields a window or the time is up; 0 ms means a single look.
template <typename Find>
HWND WaitFor(Find find, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (HWND window = find()) return window;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(50);
  }
}

HWND FindMessageBox(DWORD pid) {
  for (HWND window : TopLevelWindows()) {
    if (ClassNameOf(window) != "#32770" || !IsWindowVisible(window)) continue;
    if (pid == 0 || ProcessOf(window) == pid) return window;
  }
  return nullptr;
}

// ---- icons -------------------------------------------------------------------------------

struct StandardIcon {
  const char* name;
  WORD id;
};

// The IDI_* values as numbers (the macros are pointer casts, unusable in a constexpr table).
constexpr StandardIcon kStandardIcons[] = {
    {"hand", 32513},     {"question", 32514},    {"exclamation", 32515},
    {"asterisk", 32516}, {"application", 32512},
};

HICON LoadStandardIcon(const StandardIcon& icon) {
  return LoadIconA(nullptr, MAKEINTRESOURCEA(icon.id));
}

// Which standard icon does the icon static show? Compares what is on the screen with each
// standard icon drawn over the same background, because icon handles of another process
// cannot be inspected directly.
std::string IdentifyIconOnScreen(HWND iconStatic, double& bestScore) {
  RECT rect{};
  GetWindowRect(iconStatic, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  bestScore = 0;
  if (width <= 0 || height <= 0) return "none";

  PixelCanvas screen(width, height);
  if (!screen.valid()) return "unknown";
  {
    SelectedObject selected(screen.dc.get(), screen.bitmap.get());
    WindowDC desktop(nullptr);
    BitBlt(screen.dc.get(), 0, 0, width, height, desktop.get(), rect.left, rect.top, SRCCOPY);
  }
  GdiFlush();
  // The icons' corners are transparent, so the top-left pixel is the dialog's background.
  const uint32_t background = screen.pixels[0];
  const COLORREF backgroundColor =
      RGB((background >> 16) & 255, (background >> 8) & 255, background & 255);

  std::string best = "unknown";
  for (const StandardIcon& candidate : kStandardIcons) {
    HICON icon = LoadStandardIcon(candidate);
    if (!icon) continue;
    PixelCanvas drawn(width, height);
    if (!drawn.valid()) continue;
    {
      SelectedObject selected(drawn.dc.get(), drawn.bitmap.get());
      UniqueBrush brush(CreateSolidBrush(backgroundColor));
      RECT all{0, 0, width, height};
      FillRect(drawn.dc.get(), &all, brush.get());
      DrawIconEx(drawn.dc.get(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    }
    GdiFlush();
    int same = 0;
    for (int i = 0; i < width * height; ++i) {
      if ((drawn.pixels[i] & 0xFFFFFF) == (screen.pixels[i] & 0xFFFFFF)) ++same;
    }
    const double score = static_cast<double>(same) / (width * height);
    if (score > bestScore) {
      bestScore = score;
      best = candidate.name;
    }
  }
  return bestScore >= 0.9 ? best : "unknown";
}

std::string IdentifyIcon(HWND iconStatic, const char*& method, double& score) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  const HICON shown = reinterpret_cast<HICON>(result);
  score = 1;
  method = "handle";
  for (const StandardIcon& candidate : kStandardIcons) {
    if (shown && LoadStandardIcon(candidate) == shown) return candidate.name;
  }
  method = "screen";
  return IdentifyIconOnScreen(iconStatic, score);
}

// ---- commands ----------------------------------------------------------------------------

int NotFound(const std::string& windowClass) {
  std::printf("none class=%s\n", Hex(windowClass).c_str());
  return 1;
}

// A target is a window class name, or a window handle written as 0x... .
HWND TargetWindow(const char* target) {
  if (target[0] == '0' && (target[1] == 'x' || target[1] == 'X')) {
    HWND window =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(target, nullptr, 16)));
    return IsWindow(window) ? window : nullptr;
  }
  return FindWindowA(target, nullptr);
}

int CommandWindow(const char* windowClass, DWORD timeoutMs) {
  HWND window = WaitFor([&] { return TargetWindow(windowClass); }, timeoutMs);
  if (!window) return NotFound(windowClass);
  PrintWindowRecord("window", window);
  return 0;
}

int CommandWaitGone(const char* windowClass, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (TargetWindow(windowClass)) {
    if (GetTickCount64() >= deadline) {
      std::printf("present class=%s\n", Hex(windowClass).c_str());
      return 1;
    }
    Sleep(50);
  }
  std::printf("gone class=%s\n", Hex(windowClass).c_str());
  return 0;
}

// Every top-level window of the process that owns the window of the given class.
int CommandProcessWindows(const char* windowClass) {
  HWND window = TargetWindow(windowClass);
  if (!window) return NotFound(windowClass);
  const DWORD pid = ProcessOf(window);
  for (HWND other : TopLevelWindows()) {
    if (ProcessOf(other) == pid) PrintWindowRecord("window", other);
  }
  return 0;
}

// Every top-level window of a class, whichever process owns it.
int CommandClassWindows(const char* windowClass) {
  int count = 0;
  for (HWND window : TopLevelWindows()) {
    if (ClassNameOf(window) != windowClass) continue;
    PrintWindowRecord("window", window);
    ++count;
  }
  std::printf("count value=%d\n", count);
  return 0;
}

// Sends (printing the result) or posts a message; posting suits a message whose handler opens
// a modal dialog.
int Deliver(HWND window, UINT message, WPARAM wparam, LPARAM lparam, bool post) {
  if (post) {
    const BOOL posted = PostMessageA(window, message, wparam, lparam);
    std::printf("posted message=0x%x ok=%d\n", message, posted ? 1 : 0);
    return posted ? 0 : 1;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result)) {
    std::printf("timeout message=0x%x error=%lu\n", message, GetLastError());
    return 1;
  }
  std::printf("result value=%d raw=0x%llx\n", static_cast<int>(static_cast<int32_t>(result)),
              static_cast<unsigned long long>(result));
  return 0;
}

int CommandMessage(const char* target, UINT message, WPARAM wparam, LPARAM lparam, bool post) {
  HWND window = TargetWindow(target);
  if (!window) return NotFound(target);
  return Deliver(window, message, wparam, lparam, post);
}

// A telop as a helper of the clock's forwards one, sent from this process, which is none.
int CommandForeignCopyData() {
  HWND clock = TargetWindow(CLK_CLASSNAME);
  if (!clock) return NotFound(CLK_CLASSNAME);
  const HWND sender =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  static char bytes[] = "foreign telop\0foreign.wav";  // two zero-terminated strings
  COPYDATASTRUCT data{vo::apart::kTelopData, sizeof bytes, bytes};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(clock, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                      reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kSendTimeoutMs, &result);
  DestroyWindow(sender);
  std::printf("result value=%lld\n", static_cast<long long>(result));
  return 0;
}

int CommandMessageBox(DWORD pid, DWORD timeoutMs) {
  HWND box = WaitFor([&] { return FindMessageBox(pid); }, timeoutMs);
  if (!box) return NotFound("#32770");
  // When the box was first seen, on the clock the plug-ins' log uses (GetTickCount64).
  char seen[40];
  std::snprintf(seen, sizeof seen, " seen=%llu", GetTickCount64());
  // Give the box a moment to paint before the icon is read off the screen.
  Sleep(300);
  PrintWindowRecord("msgbox", box, seen);
  for (HWND child : ChildWindows(box)) {
    const std::string childClass = ClassNameOf(child);
    const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    const int id = GetDlgCtrlID(child);
    if (_stricmp(childClass.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
      const char* method = "";
      double score = 0;
      const std::string name = IdentifyIcon(child, method, score);
      std::printf("icon id=%d name=%s method=%s score=%.3f visible=%d\n", id, name.c_str(), method,
                  score, IsWindowVisible(child) ? 1 : 0);
    } else if (_stricmp(childClass.c_str(), "Static") == 0) {
      std::printf("static id=%d text=%s textw=%s visible=%d\n", id, Hex(WindowTextA(child)).c_str(),
                  Hex(WindowTextW(child)).c_str(), IsWindowVisible(child) ? 1 : 0);
    } else if (_stricmp(childClass.c_str(), "Button") == 0) {
      const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      std::printf("button id=%d text=%s textw=%s default=%d visible=%d\n", id,
                  Hex(WindowTextA(child)).c_str(), Hex(WindowTextW(child)).c_str(),
                  isDefault ? 1 : 0, IsWindowVisible(child) ? 1 : 0);
    } else {
      std::printf("child id=%d class=%s text=%s\n", id, Hex(childClass).c_str(),
                  Hex(WindowTextA(child)).c_str());
    }
  }
  return 0;
}

int CommandPress(int buttonId, DWORD pid, DWORD timeoutMs) {
  HWND box = WaitFor([&] { return FindMessageBox(pid); }, timeoutMs);
  if (!box) return NotFound("#32770");
  const char* method = "click";
  if (HWND button = GetDlgItem(box, buttonId)) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  }
  const bool closed = WaitFor([&] { return IsWindow(box) ? nullptr : box; }, 2000) != nullptr;
  if (!closed) {
    // A click can miss (e.g. a button without a window); the command is what the box acts on.
    method = "command";
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
  }
  std::printf("pressed id=%d method=%s\n", buttonId, method);
  return 0;
}

int CommandSysColor(int index) {
  const DWORD color = GetSysColor(index);
  std::printf("syscolor index=%d value=0x%08lx r=%d g=%d b=%d\n", index, color, GetRValue(color),
              GetGValue(color), GetBValue(color));
  return 0;
}

int CommandTopLevel() {
  HWND top = GetTopWindow(GetDesktopWindow());
  if (!top) {
    std::printf("none\n");
    return 1;
  }
  PrintWindowRecord("toplevel", top);
  return 0;
}

// Visible top-level windows from the top of the z-order down.
int CommandZOrder(int count) {
  int index = 0;
  for (HWND window = GetTopWindow(GetDesktopWindow()); window && index < count;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (!IsWindowVisible(window)) continue;
    std::printf("z index=%d hwnd=%s pid=%lu class=%s topmost=%d\n", index++,
                HandleText(window).c_str(), ProcessOf(window), Hex(ClassNameOf(window)).c_str(),
                (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0);
  }
  return 0;
}

void PumpMessagesFor(DWORD durationMs) {
  const ULONGLONG deadline = GetTickCount64() + durationMs;
  while (GetTickCount64() < deadline) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// A window's background in one colour, as WM_ERASEBKGND asks.
LRESULT EraseIn(HWND window, WPARAM dc, COLORREF colour) {
  RECT all{};
  GetClientRect(window, &all);
  UniqueBrush brush(CreateSolidBrush(colour));
  FillRect(reinterpret_cast<HDC>(dc), &all, brush.get());
  return 1;
}

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return EraseIn(window, wparam, RGB(255, 0, 255));
  return DefWindowProcA(window, message, wparam, lparam);
}

// How long until the clock window meets a condition, polled every 10 ms; -1 if not within
// the time given.
template <class Condition>
long MillisecondsUntil(Condition condition, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    const HWND clock = FindWindowA(CLK_CLASSNAME, nullptr);
    if (clock && condition(clock)) return static_cast<long>(GetTickCount64() - start);
    if (GetTickCount64() - start >= timeoutMs) return -1;
    PumpMessagesFor(10);
  }
}

bool ClockShownOnTop(HWND clock) {
  return IsWindowVisible(clock) && (GetWindowLongPtrA(clock, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// A popup of the probe's own class over `place`, not yet shown.
HWND MakePopup(WNDPROC procedure, const char* className, DWORD exStyle, const RECT& place) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassA(&windowClass);
  return CreateWindowExA(exStyle, className, className, WS_POPUP, place.left, place.top,
                         place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

// A magenta popup over the given rectangle, kept for the given time. A cover is topmost and
// not activated: the clock must climb back on top. A full-screen window is an ordinary
// foreground window; after `shrinkMs` it leaves full screen for that long before it closes,
// after `awayMs` a small window takes the foreground from it for that long. Either way the
// time the clock took to step aside and to come back is reported.
int CommandCover(int left, int top, int width, int height, DWORD durationMs, bool fullScreen,
                 DWORD shrinkMs = 0, DWORD awayMs = 0) {
  const DWORD exStyle = fullScreen ? 0 : WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  HWND window =
      MakePopup(CoverProc, "voProbeCover", exStyle, RECT{left, top, left + width, top + height});
  if (!window) {
    std::printf("error create=%lu\n", GetLastError());
    return 1;
  }
  if (fullScreen) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
  } else {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  std::printf("cover hwnd=%s foreground=%d\n", HandleText(window).c_str(),
              GetForegroundWindow() == window ? 1 : 0);
  std::fflush(stdout);
  if (!fullScreen) {
    PumpMessagesFor(durationMs);
    DestroyWindow(window);
    return 0;
  }
  const long aside = MillisecondsUntil([](HWND clock) { return !IsWindowVisible(clock); }, 3000);
  std::printf("aside ms=%ld\n", aside);
  std::fflush(stdout);
  PumpMessagesFor(durationMs);
  if (awayMs) {
    const HWND other = MakePopup(
        CoverProc, "voProbeCover", 0,
        RECT{left + width / 4, top + height / 4, left + width * 3 / 4, top + height * 3 / 4});
    ShowWindow(other, SW_SHOW);
    SetForegroundWindow(other);
    std::printf("away back_ms=%ld\n", MillisecondsUntil(ClockShownOnTop, 3000));
    std::fflush(stdout);
    PumpMessagesFor(awayMs);
    DestroyWindow(other);
  }
  if (shrinkMs) {
    SetWindowPos(window, nullptr, left, top, width / 2, height / 2, SWP_NOZORDER);
    std::printf("shrunk back_ms=%ld\n", MillisecondsUntil(ClockShownOnTop, 3000));
    std::fflush(stdout);
    PumpMessagesFor(shrinkMs);
  }
  DestroyWindow(window);
  std::printf("closed back_ms=%ld\n", MillisecondsUntil(ClockShownOnTop, 3000));
  return 0;
}

// A window of the tests that reports the left clicks reaching it.
LRESULT CALLBACK MatProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_LBUTTONDOWN) {
    POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    ClientToScreen(window, &at);
    std::printf("input kind=left x=%ld y=%ld\n", at.x, at.y);
    std::fflush(stdout);
    return 0;
  }
  if (message == WM_ERASEBKGND) return EraseIn(window, wparam, RGB(0, 255, 0));
  return DefWindowProcA(window, message, wparam, lparam);
}

// An ordinary green window in the foreground that reports its clicks, kept for the given
// time: what lies beneath the strip.
int CommandMat(int left, int top, int width, int height, DWORD durationMs) {
  HWND window = MakePopup(MatProc, "voProbeMat", WS_EX_TOOLWINDOW,
                          RECT{left, top, left + width, top + height});
  if (!window) {
    std::printf("error create=%lu\n", GetLastError());
    return 1;
  }
  // In the foreground: under X, Wine learns of keys (Ctrl) only through a window of its own
  // that has the keyboard focus.
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  std::printf("mat hwnd=%s\n", HandleText(window).c_str());
  std::fflush(stdout);
  PumpMessagesFor(durationMs);
  DestroyWindow(window);
  return 0;
}

// What the shell would give a band of `height` at the top of the primary monitor, asked as
// a toolbar of the probe's own, and the work area it leaves.
int CommandBand(int height) {
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "band", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  APPBARDATA data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  const UINT_PTR added = SHAppBarMessage(ABM_NEW, &data);
  data.uEdge = ABE_TOP;
  data.rc = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), height};
  SHAppBarMessage(ABM_QUERYPOS, &data);
  SHAppBarMessage(ABM_REMOVE, &data);
  DestroyWindow(window);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  std::printf("band added=%d top=%ld bottom=%ld work_top=%ld\n", added ? 1 : 0, data.rc.top,
              data.rc.bottom, work.top);
  return added ? 0 : 1;
}

// Changes the display mode (works inside a Wine virtual desktop) and reports how long the
// clock took to lie wholly on the new screen.
int CommandDisplay(int width, int height) {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  const LONG result = ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr);
  const long placed = MillisecondsUntil(
      [&](HWND clock) {
        RECT bounds{};
        GetWindowRect(clock, &bounds);
        return bounds.left >= 0 && bounds.right <= GetSystemMetrics(SM_CXSCREEN);
      },
      3000);
  std::printf("display result=%ld width=%d height=%d placed_ms=%ld\n", result,
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), placed);
  return result == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, RECT*, LPARAM) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(monitor, &info);
  std::printf("monitor left=%ld top=%ld right=%ld bottom=%ld primary=%d\n", info.rcMonitor.left,
              info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  return TRUE;
}

int CommandMonitors() { return EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0) ? 0 : 1; }

// A hidden top-level window of the given class, kept for the given time: a stand-in for
// another program's window that the clock may mistake for a running copy.
int CommandHold(const char* className, DWORD durationMs) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (!window) {
    std::printf("error create=%lu\n", GetLastError());
    return 1;
  }
  std::printf("hold hwnd=%s\n", HandleText(window).c_str());
  std::fflush(stdout);
  PumpMessagesFor(durationMs);
  DestroyWindow(window);
  return 0;
}

// ---- dialogs: the settings dialog and the common dialogs it opens --------------------------

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  return bytes;
}

// "title:<hex>": the top-level window with that ANSI title, hidden or not; "owned:<hex>": a
// visible top-level window owned by that one (a colour or file dialog it opened).
HWND FindDialog(const std::string& selector) {
  const auto colon = selector.find(':');
  if (colon == std::string::npos) return nullptr;
  const std::string how = selector.substr(0, colon);
  if (how == "hwnd") {
    const auto handle = std::strtoull(selector.c_str() + colon + 1, nullptr, 0);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
  }
  HWND titled = FindWindowA(nullptr, FromHex(selector.substr(colon + 1)).c_str());
  if (how == "title") return titled;
  if (how != "owned" || !titled) return nullptr;
  for (HWND window : TopLevelWindows()) {
    if (GetWindow(window, GW_OWNER) == titled && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// Id 0 is the dialog itself.
HWND FindControl(HWND dialog, int id) {
  if (id == 0) return dialog;
  for (HWND child : ChildWindows(dialog)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// The text a control holds (an edit's contents, not just its window title): WM_GETTEXT is
// carried across processes, GetWindowText is not.
std::string ControlText(HWND control) {
  const LRESULT length = SendWithTimeout(control, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied =
      SendWithTimeout(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

// Item texts come as UTF-16 ("textw"): across processes the system carries LB_GETTEXT as
// the wide message whichever form was sent.
void PrintListItems(HWND list, int id) {
  DWORD_PTR count = 0;
  SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
  std::printf("list id=%d count=%ld selected=%ld\n", id, static_cast<long>(count),
              static_cast<long>(SendWithTimeout(list, LB_GETCURSEL, 0, 0)));
  for (DWORD_PTR index = 0; index < count && index < 1000; ++index) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
    std::wstring text(static_cast<size_t>(static_cast<LONG_PTR>(length) > 0 ? length : 0) + 1,
                      L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    text.resize(static_cast<LONG_PTR>(copied) > 0 ? std::min<size_t>(copied, text.size() - 1) : 0);
    std::printf("item id=%d index=%ld textw=%s\n", id, static_cast<long>(index), Hex(text).c_str());
  }
}

// The dialog's window record, then one record per control (all descendants, screen pixels).
int CommandDialog(const std::string& selector, DWORD timeoutMs) {
  HWND dialog = WaitFor([&] { return FindDialog(selector); }, timeoutMs);
  if (!dialog) {
    std::printf("none selector=%s\n", selector.c_str());
    return 1;
  }
  // The text it answers WM_GETTEXT with, which a tooltip keeps apart from its title.
  PrintWindowRecord("dialog", dialog, (" text=" + Hex(ControlText(dialog))).c_str());
  for (HWND control : ChildWindows(dialog)) {
    const std::string controlClass = ClassNameOf(control);
    const int id = GetDlgCtrlID(control);
    const HWND parent = GetParent(control);
    const bool isButton = _stricmp(controlClass.c_str(), "Button") == 0;
    RECT frame{};
    GetWindowRect(control, &frame);
    std::printf(
        "control id=%d parent=%d class=%s text=%s checked=%d enabled=%d visible=%d left=%ld "
        "top=%ld width=%ld height=%ld style=0x%08lx\n",
        id, parent == dialog ? 0 : GetDlgCtrlID(parent), Hex(controlClass).c_str(),
        Hex(ControlText(control)).c_str(),
        isButton ? static_cast<int>(SendWithTimeout(control, BM_GETCHECK, 0, 0)) : 0,
        IsWindowEnabled(control) ? 1 : 0, IsWindowVisible(control) ? 1 : 0, frame.left, frame.top,
        frame.right - frame.left, frame.bottom - frame.top,
        static_cast<unsigned long>(GetWindowLongPtrA(control, GWL_STYLE)));
    if (_stricmp(controlClass.c_str(), "ListBox") == 0) PrintListItems(control, id);
    if (_stricmp(controlClass.c_str(), "SysTabControl32") == 0) {
      std::printf("tabs id=%d count=%ld selected=%ld\n", id,
                  static_cast<long>(SendWithTimeout(control, 0x1304 /* TCM_GETITEMCOUNT */, 0, 0)),
                  static_cast<long>(SendWithTimeout(control, 0x130B /* TCM_GETCURSEL */, 0, 0)));
    }
  }
  return 0;
}

int CommandDialogMessage(const std::string& selector, int id, UINT message, WPARAM wparam,
                         LPARAM lparam, bool post) {
  HWND dialog = FindDialog(selector);
  HWND control = dialog ? FindControl(dialog, id) : nullptr;
  if (!control) {
    std::printf("none selector=%s id=%d\n", selector.c_str(), id);
    return 1;
  }
  return Deliver(control, message, wparam, lparam, post);
}

int CommandDialogSetText(const std::string& selector, int id, const std::string& hex) {
  HWND dialog = FindDialog(selector);
  HWND control = dialog ? FindControl(dialog, id) : nullptr;
  if (!control) {
    std::printf("none selector=%s id=%d\n", selector.c_str(), id);
    return 1;
  }
  const std::string text = FromHex(hex);
  const LRESULT ok =
      SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  std::printf("settext id=%d ok=%d\n", id, ok ? 1 : 0);
  return ok ? 0 : 1;
}

// ---- command line ---------------------------------------------------------------------------

// A number word, converting to whichever integer a command takes (bit pattern kept).
struct Number {
  long long value;
  template <std::integral T>
  operator T() const {
    return static_cast<T>(value);
  }
};

// The words after the verb; a verb declares which of them are numbers, each checked before
// it runs.
struct Arguments {
  char** words;
  size_t size;
  const char* text(size_t index, const char* fallback = "") const {
    return index < size ? words[index] : fallback;
  }
  Number number(size_t index, long long fallback = 0) const {
    long long value = fallback;
    if (index < size) ParseNumber(words[index], value);
    return {value};
  }
};

struct Verb {
  const char* name;
  const char* shape;  // one letter a word: t text, n number; upper case = optional
  const char* help;
  int (*run)(const Arguments&);
};

int SendOrPost(const Arguments& a, bool post) {
  return CommandMessage(a.text(3, CLK_CLASSNAME), a.number(0), a.number(1), a.number(2), post);
}

int DialogSendOrPost(const Arguments& a, bool post) {
  return CommandDialogMessage(a.text(0), a.number(1), a.number(2), a.number(3), a.number(4), post);
}

constexpr Verb kVerbs[] = {
    {"window", "tN", "<class> [wait-ms]  describe the top-level window of a class",
     [](const Arguments& a) { return CommandWindow(a.text(0), a.number(1)); }},
    {"waitgone", "tN", "<class> <wait-ms>  wait until no window of the class exists",
     [](const Arguments& a) { return CommandWaitGone(a.text(0), a.number(1)); }},
    {"windows", "t", "<class>  every top-level window of its process",
     [](const Arguments& a) { return CommandProcessWindows(a.text(0)); }},
    {"classwindows", "t", "<class>  every top-level window of the class",
     [](const Arguments& a) { return CommandClassWindows(a.text(0)); }},
    {"send", "nnnT", "<msg> <wparam> <lparam> [class]  SendMessage, print the result",
     [](const Arguments& a) { return SendOrPost(a, false); }},
    {"post", "nnnT", "<msg> <wparam> <lparam> [class]  PostMessage",
     [](const Arguments& a) { return SendOrPost(a, true); }},
    // Both pointers inside the first 64 KiB, which no process maps, 32-bit or 64-bit.
    {"posttelop-wild", "", " post CLK_TELOP with unreadable pointers",
     [](const Arguments&) { return CommandMessage(CLK_CLASSNAME, CLK_TELOP, 0x10, 0xFF00, true); }},
    {"copydata-telop", "", " send the clock a telop as WM_COPYDATA, as its helpers do",
     [](const Arguments&) { return CommandForeignCopyData(); }},
    {"close", "", " post WM_CLOSE to the clock",
     [](const Arguments&) { return CommandMessage(CLK_CLASSNAME, WM_CLOSE, 0, 0, true); }},
    {"endsession", "", " send WM_QUERYENDSESSION to the clock",
     [](const Arguments&) {
       return CommandMessage(CLK_CLASSNAME, WM_QUERYENDSESSION, 0, 0, false);
     }},
    {"msgbox", "NN", "[wait-ms] [pid]  describe a message box and its controls",
     [](const Arguments& a) { return CommandMessageBox(a.number(1), a.number(0)); }},
    {"press", "nNN", "<button-id> [wait-ms] [pid]  press a button of a message box",
     [](const Arguments& a) { return CommandPress(a.number(0, IDOK), a.number(2), a.number(1)); }},
    {"syscolor", "n", "<index>  GetSysColor",
     [](const Arguments& a) { return CommandSysColor(a.number(0)); }},
    {"toplevel", "", " the top window of the desktop",
     [](const Arguments&) { return CommandTopLevel(); }},
    {"zorder", "N", "[count]  visible top-level windows, top first",
     [](const Arguments& a) { return CommandZOrder(a.number(0, 10)); }},
    {"cover", "nnnnn", "<left> <top> <w> <h> <ms>  show a topmost popup for a while",
     [](const Arguments& a) {
       return CommandCover(a.number(0), a.number(1), a.number(2), a.number(3), a.number(4), false);
     }},
    {"fullscreen", "nnnnnNN",
     "<left> <top> <w> <h> <ms> [shrink-ms] [away-ms]  a foreground borderless window for a "
     "while",
     [](const Arguments& a) {
       return CommandCover(a.number(0), a.number(1), a.number(2), a.number(3), a.number(4), true,
                           a.number(5), a.number(6));
     }},
    {"mat", "nnnnn", "<left> <top> <w> <h> <ms>  a window beneath that reports its clicks",
     [](const Arguments& a) {
       return CommandMat(a.number(0), a.number(1), a.number(2), a.number(3), a.number(4));
     }},
    {"band", "n", "<height>  the shell's answer for a band at the top, and the work area",
     [](const Arguments& a) { return CommandBand(a.number(0)); }},
    {"display", "nn", "<w> <h>  change the display mode, time the clock's move",
     [](const Arguments& a) { return CommandDisplay(a.number(0), a.number(1)); }},
    {"monitors", "", " every monitor's rectangle",
     [](const Arguments&) { return CommandMonitors(); }},
    {"hold", "tn", "<class> <ms>  keep a hidden window of a class for a while",
     [](const Arguments& a) { return CommandHold(a.text(0), a.number(1)); }},
    {"dialog", "tN", "<sel> [wait-ms]  describe a dialog and all its controls",
     [](const Arguments& a) { return CommandDialog(a.text(0), a.number(1)); }},
    {"dlg-send", "tnnnn", "<sel> <id> <msg> <wparam> <lparam>  SendMessage to a control",
     [](const Arguments& a) { return DialogSendOrPost(a, false); }},
    {"dlg-post", "tnnnn", "<sel> <id> <msg> <wparam> <lparam>  PostMessage to a control",
     [](const Arguments& a) { return DialogSendOrPost(a, true); }},
    {"dlg-settext", "tnt", "<sel> <id> <hex>  WM_SETTEXT with ANSI bytes",
     [](const Arguments& a) { return CommandDialogSetText(a.text(0), a.number(1), a.text(2)); }},
};

int Usage() {
  std::fprintf(stderr, "usage: probe <command> ...\n");
  for (const Verb& verb : kVerbs) std::fprintf(stderr, "  %s %s\n", verb.name, verb.help);
  std::fprintf(stderr,
               "A dialog <sel> is title:<hex> (its ANSI title), owned:<hex> (a visible window\n"
               "owned by it) or hwnd:0x... (its handle); control id 0 is the dialog itself.\n"
               "A target <class> may also be a window handle, 0x...\n"
               "Messages may be numbers or CLK_*, WM_CLOSE, WM_QUERYENDSESSION, ...\n");
  return 2;
}

// Why the words do not fit the verb's shape; empty when they do.
std::string Misfit(const Verb& verb, const Arguments& args) {
  const std::string shape = verb.shape;
  const auto required = static_cast<size_t>(std::count_if(shape.begin(), shape.end(), islower));
  if (args.size < required || args.size > shape.size()) return "a wrong number of arguments";
  for (size_t i = 0; i < args.size; ++i) {
    long long ignored = 0;
    if (toupper(shape[i]) == 'N' && !ParseNumber(args.text(i), ignored)) {
      return std::string("not a number: ") + args.text(i);
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  // Aware like vo.exe: an unaware program is handed coordinates scaled down to 96 dpi.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const Verb* verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                  [&](const Verb& v) { return std::strcmp(v.name, argv[1]) == 0; });
  if (verb == std::end(kVerbs)) {
    std::fprintf(stderr, "probe: no command %s\n", argv[1]);
    return Usage();
  }
  const Arguments args{argv + 2, static_cast<size_t>(argc - 2)};
  if (const std::string misfit = Misfit(*verb, args); !misfit.empty()) {
    std::fprintf(stderr, "probe: %s %s: %s\n", verb->name, verb->help, misfit.c_str());
    return Usage();
  }
  const int rc = verb->run(args);
  std::fflush(stdout);
  return rc;
}

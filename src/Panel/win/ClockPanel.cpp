#include "Panel/win/ClockPanel.h"

#include <commctrl.h>
#include <windowsx.h>
#include <mmsystem.h>

#include "Panel/ClockMessages.h"
#include "Panel/Placement.h"
#include "Panel/win/ForeignString.h"
#include "forms/ClockForm.h"
#include "support/win/Locale.h"
#include "support/win/RegistryStore.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {

namespace form = vo::forms::clock;

#define VO_CHECK_NUMBER(id, name, offset) \
  static_assert(static_cast<UINT>(ClockMessage::id) == WM_USER + 100 + (offset));
VO_CLOCK_MESSAGES(VO_CHECK_NUMBER)
#undef VO_CHECK_NUMBER
static_assert(CLK_TELOP == WM_USER + 100 && CLK_GETLEFT == WM_USER + 105);

namespace {

enum MenuId : UINT { kMenuBlankId = 100, kMenuSettingId, kMenuAboutId, kMenuExitId };

constexpr UINT kWaveFlags = SND_ASYNC | SND_NODEFAULT | SND_NOSTOP;  // 0x13

UniqueFont MakeClockFont(const char* face, int height, bool bold, bool italic, BYTE charset) {
  // Plain pixels: the strip is tiny and its colours change through the day.
  return UniqueFont(CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE,
                                charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

// The first top-level window, in z-order, that is the clock or is visible: a hidden window
// (our own idle hint window, say) covers nothing.
struct CoveringSearch {
  HWND clock;
  HWND first = nullptr;
};

BOOL CALLBACK FindFirstShown(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<CoveringSearch*>(data);
  if (window != search.clock && !IsWindowVisible(window)) return TRUE;
  search.first = window;
  return FALSE;
}

// The exit confirmation's Cancel button carries the program's own caption.
HHOOK confirmHook = nullptr;
LRESULT CALLBACK ConfirmHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    SetDlgItemTextA(box, IDCANCEL, form::kCancelButton);
    RECT bounds;
    GetWindowRect(box, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UnhookWindowsHookEx(std::exchange(confirmHook, nullptr));
    return 0;
  }
  return CallNextHookEx(confirmHook, code, wParam, lParam);
}

}  // namespace

// The clock window as the stored position sees it.
class ClockPosition final : public PositionTarget {
 public:
  explicit ClockPosition(TClockPanel& clock) : clock_(clock) {}
  int Left() const override { return clock_.Left(); }
  void SetLeft(int left) override { clock_.SetLeft(left); }
  Color ForeColor() const override { return clock_.FForeColor; }
  Color BackColor() const override { return clock_.FBackColor; }
  void SetColors(Color fore, Color back) override { clock_.SetColors(fore, back); }

 private:
  TClockPanel& clock_;
};

TClockPanel::~TClockPanel() {
  if (window_) DestroyWindow(window_);
}

bool TClockPanel::Create(HINSTANCE instance, HWND owner) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  windowClass.hbrBackground = nullptr;  // the panel paints every pixel
  windowClass.lpszClassName = form::kClassName;
  if (!RegisterClassExA(&windowClass)) return false;

  const auto& design = form::kDesignedWindow;
  // Owned by the hidden application window and a tool window: no taskbar button.
  CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, form::kClassName, form::kCaption,
                  WS_POPUP | WS_CLIPCHILDREN, design.left, design.top, design.width,
                  design.height, owner, nullptr, instance, this);
  if (!window_) return false;
  FormCreate();
  return true;
}

void TClockPanel::FormCreate() {
  FDateCaption = form::kDesignedDate;
  FTimeCaption = form::kDesignedTime;
  FTelopCaption = form::kDesignedTelop;
  dateFont_ = MakeClockFont(form::kDateFont, form::kDateFontHeight, true, false, ANSI_CHARSET);
  timeFont_ = MakeClockFont(form::kTimeFont, form::kTimeFontHeight, true, true, ANSI_CHARSET);
  windowFont_ =
      MakeClockFont(form::kWindowFont, form::kWindowFontHeight, false, false, SHIFTJIS_CHARSET);
  MeasureTelop();
  imgSec.Create(form::imgSec.width, form::imgSec.height);
  imgTelop.Create(form::pnlTelop.width, form::pnlTelop.height);

  const HINSTANCE instance = Application::Instance().Module();
  edtFocusReciever = CreateWindowExA(
      0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, form::edtFocusReciever.left,
      form::edtFocusReciever.top, form::edtFocusReciever.width, form::edtFocusReciever.height,
      window_, nullptr, instance, nullptr);

  PopupMenu1.reset(CreatePopupMenu());
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuBlankId, form::kMenuBlank);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuSettingId, form::kMenuSetting);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuAboutId, form::kMenuAbout);
  AppendMenuA(PopupMenu1.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuExitId, form::kMenuExit);
  CreateHints();

  {
    RegistrySettingsBackend store;
    ClockPosition position(*this);
    LoadPosition(store, position);
  }
  const int left = ClampLeft(Left(), ScreenWidth(), form::kDesignedWindow.width);
  RECT bounds = Bounds();
  SetWindowPos(window_, HWND_TOPMOST, left, 0, bounds.right - bounds.left,
               bounds.bottom - bounds.top, 0);
  FDragX = 0;
  FDragY = 0;

  // Fit the window to the clock panel; without a border this is 102 x 21.
  RECT client;
  GetClientRect(window_, &client);
  bounds = Bounds();
  const int width = form::pnlClock.width + (bounds.right - bounds.left) - client.right;
  const int height = form::pnlClock.height + (bounds.bottom - bounds.top) - client.bottom;
  SetWindowPos(window_, nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  Application::Instance().Hide();
  FDragging = false;
  FSecBar.Reset();
  SetTimer(window_, kTimerId, form::kTimerInterval, nullptr);
}

void TClockPanel::FormShow() { Application::Instance().Hide(); }

void TClockPanel::CreateHints() {
  hints_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0,
                           0, 0, window_, nullptr, Application::Instance().Module(), nullptr);
  if (!hints_) return;
  auto addTool = [&](UINT id, const form::Box& box, const char* text) {
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    // No TTF_SUBCLASS: a subclassed window pays three property look-ups for every message,
    // ticks included. HandleMessage relays the mouse instead.
    tool.uFlags = 0;
    tool.hwnd = window_;
    tool.uId = id;
    tool.rect = RECT{box.left, box.top, box.right(), box.bottom()};
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(hints_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  };
  addTool(1, form::lblDate, form::kDateHint);
  // The date label lies above the time label where they overlap.
  addTool(2, form::Box{form::lblDate.right(), form::lblTime.top,
                       form::lblTime.right() - form::lblDate.right(), form::lblTime.height},
          form::kTimeHint);
  // The hint window is topmost too; the strip starts above it.
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

RECT TClockPanel::Bounds() const {
  RECT bounds{};
  GetWindowRect(window_, &bounds);
  return bounds;
}

int TClockPanel::Left() const { return Bounds().left; }

void TClockPanel::SetLeft(int left) {
  SetWindowPos(window_, nullptr, left, Bounds().top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------------------
// The tick

void TClockPanel::Timer1Timer() {
  // A plug-in running a message loop of its own must not start a tick inside a tick.
  if (FTicking) return;
  FTicking = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FTicking};
  RunTick(*this, Application::Instance().Format());
}

int TClockPanel::WindowTop() const { return Bounds().top; }

void TClockPanel::SetWindowTop(int top) {
  SetWindowPos(window_, nullptr, Left(), top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TClockPanel::IsOnTop() const {
  // EnumWindows fetches the whole z-order in one go, where stepping with GetWindow asks the
  // window manager once per window.
  CoveringSearch search{window_};
  EnumWindows(FindFirstShown, reinterpret_cast<LPARAM>(&search));
  return search.first == window_;
}

void TClockPanel::RaiseToTop() {
  SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

DateTime TClockPanel::Now() { return CurrentStamp(); }

void TClockPanel::SetDateCaption(const std::string& caption) {
  FDateCaption = caption;
  InvalidateBox(form::lblDate.left, form::lblDate.top, form::lblDate.width, form::lblDate.height);
}

void TClockPanel::SetTimeCaption(const std::string& caption) {
  FTimeCaption = caption;
  InvalidateBox(form::lblTime.left, form::lblTime.top, form::lblTime.width, form::lblTime.height);
}

void TClockPanel::CheckTime(DateTime now) {
  if (settings_) settings_->CheckTime(now);
}

void TClockPanel::NotifyMinute(DateTime now) {
  FPlugIns.ForEachLoaded([&](TVoPlugInsIF& plugIn) { plugIn.Notify(window_, now); });
}

void TClockPanel::NotifyTick(DateTime now) {
  FPlugIns.ForEachLoaded([&](TVoPlugInsIF& plugIn) { plugIn.NotifyFreq(window_, now); });
}

void TClockPanel::DrawSecBar(std::uint16_t second, std::uint16_t millisecond) {
  const auto position = FSecBar.Advance(second, millisecond, imgSec.Width());
  if (!position) return;
  const COLORREF fore = ToColorRef(FForeColor);
  const COLORREF gap = ToColorRef(FBackColor);
  for (const BarFill& fill : SecBarFills(*position, imgSec.Width())) {
    imgSec.Fill(fill.left, 0, fill.right, imgSec.Height() + 1, fill.gap ? gap : fore);
  }
  InvalidateBox(form::imgSec.left, form::imgSec.top, form::imgSec.width, form::imgSec.height);
}

// ---------------------------------------------------------------------------------------
// Telop

void TClockPanel::MeasureTelop() {
  WindowDC screen(nullptr);
  SelectedObject font(screen.get(), windowFont_.get());
  RECT extent{0, 0, 0, 0};
  DrawTextA(screen.get(), FTelopCaption.c_str(), static_cast<int>(FTelopCaption.size()), &extent,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  FTelopWidth = extent.right - extent.left;
}

void TClockPanel::AdvanceTelop() {
  FTelop.Step(FTelopWidth, form::pnlClock.width);
  DrawTelop();
}

void TClockPanel::DrawTelop() {
  imgTelop.Fill(0, 0, imgTelop.Width() + 1, imgTelop.Height() + 1, ToColorRef(FBackColor));
  const HDC dc = imgTelop.DC();
  SelectedObject font(dc, windowFont_.get());
  SetTextColor(dc, ToColorRef(FForeColor));
  SetBkColor(dc, ToColorRef(FBackColor));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, FTelop.X(), 0, FTelopCaption.c_str(), static_cast<int>(FTelopCaption.size()));
  InvalidateBox(form::pnlTelop.left, form::pnlTelop.top, form::pnlTelop.width,
                form::pnlTelop.height);
}

void TClockPanel::HideTelop() {
  FTelopVisible = false;
  InvalidateBox(form::pnlTelop.left, form::pnlTelop.top, form::pnlTelop.width,
                form::pnlTelop.height);
}

void TClockPanel::imgTelopClick() { HideTelop(); }

void TClockPanel::ShowTelop(const std::string& telop, const std::string& wave) {
  static const auto playSound = LateBound<decltype(sndPlaySoundA)>("winmm.dll", "sndPlaySoundA");
  if (!wave.empty() && playSound) playSound(wave.c_str(), kWaveFlags);
  if (telop.empty()) return;
  FTelopCaption = telop;
  MeasureTelop();
  // Nothing is drawn until the next tick; the offset carries on from the last caption.
  FTelopVisible = true;
}

void TClockPanel::SetColors(Color fore, Color back) {
  FForeColor = fore;
  FBackColor = back;
  InvalidateRect(window_, nullptr, FALSE);
}

// ---------------------------------------------------------------------------------------
// Drawing

void TClockPanel::InvalidateBox(int left, int top, int width, int height) const {
  const RECT area{left, top, left + width, top + height};
  InvalidateRect(window_, &area, FALSE);
}

void TClockPanel::PaintPanel(HDC dc) const {
  const auto& panel = form::pnlClock;
  UniqueBrush back(CreateSolidBrush(ToColorRef(FBackColor)));
  const RECT area{0, 0, panel.width, panel.height};
  FillRect(dc, &area, back.get());

  // Raised outer and lowered inner bevel, one pixel each: the top/left colour runs down the
  // left and along the top, the bottom/right colour up the right and along the bottom,
  // taking both far corners.
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  auto frame = [dc](RECT box, COLORREF topLeft, COLORREF bottomRight) {
    const int right = box.right - 1;
    const int bottom = box.bottom - 1;
    for (int y = box.top; y <= bottom; ++y) SetPixelV(dc, box.left, y, topLeft);
    for (int x = box.left; x < right; ++x) SetPixelV(dc, x, box.top, topLeft);
    for (int y = box.top; y < bottom; ++y) SetPixelV(dc, right, y, bottomRight);
    for (int x = box.left; x <= right; ++x) SetPixelV(dc, x, bottom, bottomRight);
  };
  frame(RECT{0, 0, panel.width, panel.height}, light, shadow);
  frame(RECT{1, 1, panel.width - 1, panel.height - 1}, shadow, light);
}

void TClockPanel::PaintLabel(HDC dc, const std::string& caption, HFONT font, int left, int top,
                             int width, int height) const {
  SelectedObject selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(FForeColor));
  RECT box{left, top, left + width, top + height};
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
            DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void TClockPanel::Paint(HDC target, const RECT& dirty) const {
  // The seconds bar moves 43 times a minute; when only it needs drawing, copy just its image.
  const auto& bar = form::imgSec;
  if (!FTelopVisible && dirty.left >= bar.left && dirty.top >= bar.top &&
      dirty.right <= bar.right() && dirty.bottom <= bar.bottom()) {
    imgSec.CopyTo(target, bar.left, bar.top);
    return;
  }
  OffscreenImage frame;
  if (!frame.Create(form::pnlClock.width, form::pnlClock.height)) return;
  const HDC dc = frame.DC();
  PaintPanel(dc);
  const auto& time = form::lblTime;
  const auto& date = form::lblDate;
  PaintLabel(dc, FTimeCaption, timeFont_.get(), time.left, time.top, time.width, time.height);
  PaintLabel(dc, FDateCaption, dateFont_.get(), date.left, date.top, date.width, date.height);
  BitBlt(dc, form::imgSec.left, form::imgSec.top, imgSec.Width(), imgSec.Height(), imgSec.DC(), 0,
         0, SRCCOPY);
  if (FTelopVisible) imgTelop.CopyTo(dc, form::pnlTelop.left, form::pnlTelop.top);
  frame.CopyTo(target, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Mouse and menu

void TClockPanel::lblDateMouseDown(int x) {
  FDragX = x;
  FDragging = true;
  SetCapture(window_);
}

void TClockPanel::lblDateMouseMove(int x) {
  if (!FDragging) return;
  RECT bounds = Bounds();
  SetLeft(DragLeft(bounds.left, x, FDragX, ScreenWidth(), bounds.right - bounds.left));
}

void TClockPanel::lblDateMouseUp() {
  FDragging = false;
  if (GetCapture() == window_) ReleaseCapture();
}

bool TClockPanel::SetCursorFor(POINT client) const {
  if (FTelopVisible && form::pnlTelop.contains(client.x, client.y)) return false;
  if (!form::lblDate.contains(client.x, client.y)) return false;
  SetCursor(LoadCursor(nullptr, IDC_HAND));
  return true;
}

void TClockPanel::ShowPopupMenu(POINT screen) {
  SetForegroundWindow(window_);
  const UINT chosen = TrackPopupMenu(PopupMenu1.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                     screen.x, screen.y, 0, window_, nullptr);
  PostMessageA(window_, WM_NULL, 0, 0);
  switch (chosen) {
    case kMenuSettingId:
      mnuSettingClick();
      break;
    case kMenuAboutId:
      mnuAboutClick();
      break;
    case kMenuExitId:
      mnuExitClick();
      break;
    default:
      break;
  }
}

void TClockPanel::mnuSettingClick() {
  SetFocus(edtFocusReciever);
  if (settings_) settings_->ShowUnder(Bounds());
}

void TClockPanel::mnuAboutClick() {
  if (about_) about_->ShowModal();
}

void TClockPanel::mnuExitClick() {
  SetFocus(edtFocusReciever);
  confirmHook = SetWindowsHookExA(WH_CBT, ConfirmHook, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxA(window_, form::kExitQuestion, form::kExitCaption,
                                 MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (confirmHook) UnhookWindowsHookEx(std::exchange(confirmHook, nullptr));
  if (answer == IDOK) SendMessageA(window_, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Close

void TClockPanel::FormCloseQuery() {
  {
    RegistrySettingsBackend store;
    ClockPosition position(*this);
    SavePosition(store, position);
  }
  ReleasePlugIns();
}

void TClockPanel::ReleasePlugIns() { FPlugIns.ReleaseAll(); }

void TClockPanel::FormClose() {
  // A time signal posted just before the close is neither shown nor played.
  MSG pending;
  while (PeekMessageA(&pending, window_, CLK_TELOP, CLK_TELOP,
                      PM_REMOVE)) {
  }
}

// ---------------------------------------------------------------------------------------

void TClockPanel::RelayToHints(UINT message, WPARAM wParam, LPARAM lParam) const {
  if (!hints_) return;
  MSG mouse{window_, message, wParam, lParam, 0, {}};
  SendMessageA(hints_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&mouse));
}

LRESULT TClockPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) RelayToHints(message, wParam, lParam);
  switch (message) {
    case WM_TIMER:
      if (wParam == kTimerId) Timer1Timer();
      return 0;
    case WM_PAINT: {
      PaintDC paint(window_);
      Paint(paint.get(), paint.dirty());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      return Default(message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (FTelopVisible && form::pnlTelop.contains(at.x, at.y)) {
        imgTelopClick();
      } else if (form::lblDate.contains(at.x, at.y)) {
        lblDateMouseDown(at.x - form::lblDate.left);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      lblDateMouseMove(GET_X_LPARAM(lParam) - form::lblDate.left);
      return 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
      lblDateMouseUp();
      return 0;
    case WM_RBUTTONUP: {
      lblDateMouseUp();
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool onTelop = FTelopVisible && form::pnlTelop.contains(at.x, at.y);
      if (!onTelop && !form::lblDate.contains(at.x, at.y) && form::lblTime.contains(at.x, at.y)) {
        POINT screen = at;
        ClientToScreen(window_, &screen);
        ShowPopupMenu(screen);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      FDragging = false;
      return 0;
    case WM_SETCURSOR: {
      POINT at;
      GetCursorPos(&at);
      ScreenToClient(window_, &at);
      if (LOWORD(lParam) == HTCLIENT && SetCursorFor(at)) return TRUE;
      SetCursor(LoadCursor(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_CLOSE:
      FormCloseQuery();
      FormClose();
      DestroyWindow(window_);
      return 0;
    case WM_QUERYENDSESSION:
      FormCloseQuery();
      return TRUE;
    case WM_DESTROY:
      KillTimer(window_, kTimerId);
      PostQuitMessage(0);
      return 0;

    case CLK_TELOP: {
      // The pointers come from another module or even another process: copy what can be
      // read and treat the rest as no text.
      const std::string telop = CopyForeignString(reinterpret_cast<const void*>(wParam));
      const std::string wave = CopyForeignString(reinterpret_cast<const void*>(lParam));
      ShowTelop(telop, wave);
      return 0;
    }
    case CLK_SETCOLOR:
      SetColors(static_cast<Color>(wParam), static_cast<Color>(lParam));
      return 0;
    case CLK_GETFORECOLOR:
      return static_cast<LRESULT>(FForeColor);
    case CLK_GETBACKCOLOR:
      return static_cast<LRESULT>(FBackColor);
    case CLK_SETLEFT:
      SetLeft(static_cast<int>(static_cast<std::int32_t>(wParam)));
      return 0;
    case CLK_GETLEFT:
      return static_cast<LRESULT>(Left());
    default:
      return Default(message, wParam, lParam);
  }
}

}  // namespace vo::win

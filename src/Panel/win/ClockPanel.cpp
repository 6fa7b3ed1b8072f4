#include "Panel/win/ClockPanel.h"

#include <commctrl.h>
#include <windowsx.h>

#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "Panel/ClockMessages.h"
#include "Panel/Placement.h"
#include "Panel/win/ExitBox.h"
#include "Panel/win/Monitors.h"
#include "PlugIns/ApartProtocol.h"
#include "PlugIns/win/FaultBox.h"
#include "forms/ClockForm.h"
#include "support/win/Application.h"
#include "support/win/Dpi.h"
#include "support/win/Drawing.h"
#include "support/win/ForeignString.h"
#include "support/win/FormDialog.h"
#include "support/win/Locale.h"
#include "support/win/RegistryStore.h"

namespace vo::win {

namespace form = vo::forms::clock;

#define VO_CHECK_NUMBER(id, name, offset) \
  static_assert(static_cast<UINT>(ClockMessage::id) == WM_USER + 100 + (offset));
VO_CLOCK_MESSAGES(VO_CHECK_NUMBER)
#undef VO_CHECK_NUMBER
static_assert(CLK_TELOP == WM_USER + 100 && CLK_GETLEFT == WM_USER + 105);
static_assert(std::string_view(form::kClassName) == CLK_CLASSNAME);

namespace {

enum MenuId : UINT { kMenuBlankId = 100, kMenuSettingId, kMenuAboutId, kMenuExitId };

}  // namespace

TClockPanel::~TClockPanel() {
  if (Handle()) DestroyWindow(Handle());
}

// No background brush: the panel paints every pixel.
WindowClass TClockPanel::Class() {
  return {.name = form::kClassName, .style = CS_DBLCLKS, .programIcons = true};
}

void TClockPanel::Create(HINSTANCE instance, HWND owner) {
  const auto& design = form::kDesignedWindow;
  // Owned by the hidden application window and a tool window: no taskbar button.
  CreateBound(instance, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, form::kCaption,
              WS_POPUP | WS_CLIPCHILDREN, design.left, design.top, design.width, design.height,
              owner, nullptr, "時計を作れません");
  FormCreate();
}

void TClockPanel::BuildPopupMenu() {
  PopupMenu1.reset(CreatePopupMenu());
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuBlankId, form::kMenuBlank);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuSettingId, form::kMenuSetting);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuAboutId, form::kMenuAbout);
  AppendMenuA(PopupMenu1.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuA(PopupMenu1.get(), MF_STRING, kMenuExitId, form::kMenuExit);
}

// Fits the window to the clock panel; without a border it is the panel's size.
void TClockPanel::FitToPanel() {
  RECT client;
  GetClientRect(Handle(), &client);
  const RECT bounds = Bounds();
  const int width = FLayout.pnlClock.width + (bounds.right - bounds.left) - client.right;
  const int height = FLayout.pnlClock.height + (bounds.bottom - bounds.top) - client.bottom;
  SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TClockPanel::FormCreate() {
  FDateCaption = form::kDesignedDate;
  FTimeCaption = form::kDesignedTime;
  FTelopCaption = form::kDesignedTelop;
  FLayout = form::LayoutAt(ScaleOf(Handle()));
  CreateScaledParts();

  const HINSTANCE instance = Application::Instance().Module();
  edtFocusReciever = CreateWindowExA(
      0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, FLayout.edtFocusReciever.left,
      FLayout.edtFocusReciever.top, FLayout.edtFocusReciever.width, FLayout.edtFocusReciever.height,
      Handle(), nullptr, instance, nullptr);

  BuildPopupMenu();
  ReservedBand::ReleaseLeftOver();
  LoadPlace();
  FMonitors = Monitors();
  const StripPlace place = StartPlace(Left(), FMonitors, FLayout.scale);
  FMonitorTop = place.top;
  const RECT bounds = Bounds();
  SetWindowPos(Handle(), HWND_TOPMOST, place.left, place.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, 0);
  FDragX = 0;

  FitToPanel();
  FDragging = false;
  FSecBar.Reset();
  if (!SetTolerantTimer(Handle(), kTimerId, form::kTimerInterval, kTickTolerance)) {
    // Without its timer the strip would stand still without a word.
    ShowApplicationError(SystemErrorText("時計のタイマーを設定できません"));
  }
}

void TClockPanel::CreateScaledParts() {
  FDateFont = MakeFont(form::kDateFont, FLayout.scale);
  FTimeFont = MakeFont(form::kTimeFont, FLayout.scale);
  FWindowFont = MakeFont(form::kWindowFont, FLayout.scale);
  // Every telop is measured as it is shown; here only one already showing needs it again.
  if (FTelopVisible) MeasureTelop();
  imgSec.Create(FLayout.imgSec.width, FLayout.imgSec.height);
  imgTelop.Create(FLayout.pnlTelop.width, FLayout.pnlTelop.height);
  FSecBar.Reset();  // the new bitmap is blank: draw at the next tick
}

void TClockPanel::ApplyDpi(int dpi) {
  const DpiScale scale(dpi);
  if (scale == FLayout.scale) return;
  FLayout = form::LayoutAt(scale);
  CreateScaledParts();
  if (edtFocusReciever) {
    const auto& sink = FLayout.edtFocusReciever;
    SetWindowPos(edtFocusReciever, nullptr, sink.left, sink.top, sink.width, sink.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  DestroyHints();  // the next mouse move makes them at the new size
  // The left edge stays where the user put it; the strip keeps to the top.
  const RECT bounds = Bounds();
  SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, FLayout.pnlClock.width,
               FLayout.pnlClock.height, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Handle(), nullptr, FALSE);
  ReplaceSoon();  // wider now, it may reach past its monitor's edge
}

// The application window would bring a taskbar button: made hidden, it is hidden again each
// time the clock shows, whatever (a plug-in) may have shown it meanwhile.
void TClockPanel::FormShow() { Application::Instance().Hide(); }

void TClockPanel::ShowFirstFrame() {
  FFirstFrame = true;
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(Handle());
  // On the screen before start-up goes on: Wine keeps a window's drawing back until the
  // thread next waits for messages, or until this.
  GdiFlush();
  FFirstFrame = false;
}

// ---------------------------------------------------------------------------------------
// The tick

void TClockPanel::Timer1Timer() {
  // A plug-in running a message loop of its own must not start a tick inside a tick.
  if (FTicking) return;
  if (!FWatching) {
    WatchForeground();
    FSightNotices.Register(Handle());
  }
  if (FFade.Watching()) WatchPointer();
  try {
    TickOnce();
  } catch (const ClockClosed&) {
    return;  // the rest of the tick has no window to work on
  } catch (const PlugInFault& fault) {
    // Once the tick is over: the clock goes on ticking under the box.
    ShowPlugInFault(fault);
    return;
  }
  if (FAsleep) ScheduleTick();
}

void TClockPanel::TickOnce() {
  FTicking = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FTicking};
  const std::uint64_t at = GetTickCount64();
  if (FAsleep && FTelopVisible) CatchUpTelop(at);
  FLastTickAt = at;
  RunTick(*this, Application::Instance().Format());
}

// The top edge as seen from the strip's monitor, whose top may lie anywhere on the desktop.
int TClockPanel::WindowTop() const { return Bounds().top - FMonitorTop; }

void TClockPanel::SetWindowTop(int top) {
  SetWindowPos(Handle(), nullptr, Left(), FMonitorTop + top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TClockPanel::IsOnTop() const {
  // One question to the window manager in the steady state: which window lies directly above
  // the strip. The strip's own hint always lies above it and is stepped over (its owner is
  // known without asking). Any other window there, shown or hidden, sends the strip back on
  // top: over a hidden one that is one raise, where stepping past it would cost a question
  // more on every tick for as long as it stays.
  HWND above = GetWindow(Handle(), GW_HWNDPREV);
  while (above && GetWindow(above, GW_OWNER) == Handle()) above = GetWindow(above, GW_HWNDPREV);
  return above == nullptr;
}

void TClockPanel::RaiseToTop() {
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

DateTime TClockPanel::Now() { return CurrentStamp(); }

void TClockPanel::SetDateCaption(const std::string& caption) {
  FDateCaption = caption;
  InvalidateBox(FLayout.lblDate);
}

void TClockPanel::SetTimeCaption(const std::string& caption) {
  FTimeCaption = caption;
  InvalidateBox(FLayout.lblTime);
}

void TClockPanel::CheckTime(DateTime now) {
  if (FSettings) FSettings->CheckTime(now);
}

// A plug-in may close the clock from inside its call; a fault in it (PlugInFault) abandons
// the rest of the tick and reaches the error box.
void TClockPanel::NotifyMinute(DateTime now) {
  if (FPlugIns) FPlugIns->NotifyMinute(Handle(), now);
  if (!Handle()) throw ClockClosed{};
}

void TClockPanel::NotifyTick(DateTime now) {
  if (FPlugIns) FPlugIns->NotifyTick(Handle(), now);
  if (!Handle()) throw ClockClosed{};
}

void TClockPanel::DrawSecBar(std::uint16_t second, std::uint16_t millisecond) {
  const auto position = FSecBar.Advance(second, millisecond, imgSec.Width(), FLayout.scale);
  if (!position) return;
  const COLORREF fore = ToColorRef(FForeColor);
  const COLORREF gap = ToColorRef(FBackColor);
  for (const BarFill& fill : SecBarFills(*position, imgSec.Width(), FLayout.scale)) {
    imgSec.Fill(fill.left, 0, fill.right, imgSec.Height() + 1, fill.gap ? gap : fore);
  }
  // Drawn at once rather than invalidated, at every step of the bar: a paint cycle costs
  // several requests to the window manager, a window DC none. WM_PAINT draws the bar from the same
  // image whenever the strip is repainted.
  WindowDC dc(Handle());
  imgSec.CopyTo(dc.get(), FLayout.imgSec.left, FLayout.imgSec.top);
}

void TClockPanel::SetColors(Color fore, Color back) {
  FForeColor = fore;
  FBackColor = back;
  if (Seen()) InvalidateRect(Handle(), nullptr, FALSE);
}

// ---------------------------------------------------------------------------------------
// Drawing

// Nothing is drawn while nobody sees the strip: the wake redraws it whole.
void TClockPanel::InvalidateBox(const Box& box) const {
  if (!Seen()) return;
  const RECT area = RectOf(box);
  InvalidateRect(Handle(), &area, FALSE);
}

void TClockPanel::PaintPanel(HDC dc) const {
  const auto& panel = FLayout.pnlClock;
  UniqueBrush back(CreateSolidBrush(ToColorRef(FBackColor)));
  const RECT area{0, 0, panel.width, panel.height};
  FillRect(dc, &area, back.get());

  // A raised outer and a lowered inner bevel, one pixel each at 96 dpi.
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const RECT inner = DrawBevel(dc, area, light, shadow, FLayout.bevel);
  DrawBevel(dc, inner, shadow, light, FLayout.bevel);
}

void TClockPanel::PaintLabel(HDC dc, const std::string& caption, HFONT font, const Box& box) const {
  SelectedObject selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(FForeColor));
  RECT area = RectOf(box);
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &area,
            DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void TClockPanel::Paint(HDC target) const {
  OffscreenImage frame;
  if (!frame.Create(FLayout.pnlClock.width, FLayout.pnlClock.height)) return;
  const HDC dc = frame.DC();
  PaintPanel(dc);
  // The first frame shows what the first tick will (see ShowFirstFrame).
  const DateTime now = FFirstFrame ? CurrentStamp() : DateTime{};
  auto shown = [&](const std::string& caption, const char* pattern) {
    return FFirstFrame ? FormatStamp(pattern, now, Application::Instance().Format()) : caption;
  };
  PaintLabel(dc, shown(FTimeCaption, kTimePattern), FTimeFont.get(), FLayout.lblTime);
  PaintLabel(dc, shown(FDateCaption, kDatePattern), FDateFont.get(), FLayout.lblDate);
  BitBlt(dc, FLayout.imgSec.left, FLayout.imgSec.top, imgSec.Width(), imgSec.Height(), imgSec.DC(),
         0, 0, SRCCOPY);
  if (FTelopVisible) imgTelop.CopyTo(dc, FLayout.pnlTelop.left, FLayout.pnlTelop.top);
  frame.CopyTo(target, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Mouse and menu

void TClockPanel::lblDateMouseDown(int x) {
  FDragX = x;
  FDragging = true;
  FMonitors = Monitors();
  SetCapture(Handle());
}

void TClockPanel::lblDateMouseMove(int x) {
  if (!FDragging) return;
  const RECT bounds = Bounds();
  MoveTo(DragPlace({bounds.left, bounds.top}, x, FDragX, bounds.right - bounds.left, FMonitors));
}

void TClockPanel::lblDateMouseUp() {
  FDragging = false;
  if (GetCapture() == Handle()) ReleaseCapture();
}

bool TClockPanel::OnTelop(POINT client) const {
  return FTelopVisible && FLayout.pnlTelop.contains(client.x, client.y);
}

bool TClockPanel::SetCursorFor(POINT client) const {
  if (OnTelop(client)) return false;
  if (!FLayout.lblDate.contains(client.x, client.y)) return false;
  SetCursor(LoadCursor(nullptr, IDC_HAND));
  return true;
}

void TClockPanel::ShowPopupMenu(POINT screen) {
  SetForegroundWindow(Handle());
  const UINT chosen =
      TrackPopupMenu(PopupMenu1.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x,
                     screen.y, 0, Handle(), nullptr);
  PostMessageA(Handle(), WM_NULL, 0, 0);
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
  if (FSettings) FSettings->ShowUnder(Bounds());
}

void TClockPanel::mnuAboutClick() {
  if (FAbout) FAbout->ShowModal();
}

void TClockPanel::mnuExitClick() {
  SetFocus(edtFocusReciever);
  if (ConfirmExit(Handle())) SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------------------
// Close

void TClockPanel::FormCloseQuery() {
  SavePlace();
  ReleasePlugIns();
}

void TClockPanel::AfterAbandonedTurn() {
  FTicking = false;
  FDragging = false;
  FTelopPressed = false;
  if (Handle() && GetCapture() == Handle()) ReleaseCapture();
}

void TClockPanel::ReleasePlugIns() {
  // A plug-in that subclassed the window and did not put back what it found gets
  // Procedure back.
  if (FPlugIns) FPlugIns->Release(Handle(), Procedure);
}

void TClockPanel::FormClose() {
  // A time signal posted just before the close is neither shown nor played.
  MSG pending;
  while (PeekMessageA(&pending, Handle(), CLK_TELOP, CLK_TELOP, PM_REMOVE)) {
  }
}

// ---------------------------------------------------------------------------------------
// Messages

void TClockPanel::OnMouse(UINT message, POINT at) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (OnTelop(at)) {
        // A click is a press and a release over the telop: wait for the release.
        FTelopPressed = true;
        SetCapture(Handle());
      } else if (FLayout.lblDate.contains(at.x, at.y)) {
        lblDateMouseDown(at.x - FLayout.lblDate.left);
      }
      return;
    case WM_MOUSEMOVE:
      lblDateMouseMove(at.x - FLayout.lblDate.left);
      return;
    case WM_LBUTTONUP: {
      const bool clicked = FTelopPressed && OnTelop(at);
      FTelopPressed = false;
      lblDateMouseUp();
      if (clicked) imgTelopClick();
      return;
    }
    case WM_MBUTTONUP:
      lblDateMouseUp();
      return;
    case WM_RBUTTONUP:
      lblDateMouseUp();
      if (!OnTelop(at) && !FLayout.lblDate.contains(at.x, at.y) &&
          FLayout.lblTime.contains(at.x, at.y)) {
        POINT screen = at;
        ClientToScreen(Handle(), &screen);
        ShowPopupMenu(screen);
      }
      return;
    default:
      return;
  }
}

// The messages plug-ins send and post to the clock.
LRESULT TClockPanel::OnClockMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
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
      return 0;
  }
}

// A time signal from a module running apart, whose helper forwards it as bytes: accepted only
// from the clock's own helpers, shown as CLK_TELOP would show it.
LRESULT TClockPanel::OnCopyData(HWND sender, const COPYDATASTRUCT& data) {
  if (data.dwData != vo::apart::kTelopData || !FPlugIns || !FPlugIns->FromOwnHelper(sender)) {
    return FALSE;
  }
  if (!data.lpData) return FALSE;
  const auto telop = vo::apart::UnpackTelop(
      std::span<const char>(static_cast<const char*>(data.lpData), data.cbData));
  if (!telop) return FALSE;
  ShowTelop(telop->text, telop->wave);
  return TRUE;
}

void TClockPanel::OnTimer(UINT_PTR id) {
  if (id == kTimerId) Timer1Timer();
  if (id == kReplaceTimerId) ReplaceOnAMonitor();
  if (id == kScreenCheckTimerId) {
    if (!FSteppedAside) KillTimer(Handle(), kScreenCheckTimerId);
    CheckFullScreen();
  }
}

void TClockPanel::OnSetCursor(UINT hitTest) {
  POINT at;
  GetCursorPos(&at);
  ScreenToClient(Handle(), &at);
  if (hitTest == HTCLIENT && SetCursorFor(at)) return;
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

void TClockPanel::OnDestroy() {
  KillTimer(Handle(), kTimerId);
  FSightNotices.Unregister();
  StopWatching();
  FBand.Release();
  PostQuitMessage(0);
}

LRESULT TClockPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) PointerArrived(wParam);
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) RelayToHints(message, wParam, lParam);
  // The plug-ins' messages: one run of numbers, as checked at the top of this file.
  if (message >= CLK_TELOP && message <= CLK_GETLEFT) {
    return OnClockMessage(message, wParam, lParam);
  }
  switch (message) {
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_COPYDATA:
      // Any program may send it, with nothing attached.
      if (!lParam) return FALSE;
      return OnCopyData(reinterpret_cast<HWND>(wParam),
                        *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_POWERBROADCAST:
    case WM_WTSSESSION_CHANGE:
      if (const auto change = SightNotices::Read(message, wParam, lParam)) OnSightChange(*change);
      return message == WM_POWERBROADCAST ? TRUE : 0;
    case WM_DISPLAYCHANGE:
      ReplaceSoon();
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) ReplaceSoon();
      return Default(message, wParam, lParam);
    case WM_PAINT: {
      PaintDC paint(Handle());
      Paint(paint.get());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      return Default(message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
      OnMouse(message, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wParam));
      return 0;
    case WM_MOVE:
      FLastLeft = Left();
      if (FReserveBand) PlaceBand();  // dragged, or put by a plug-in, onto another monitor
      return 0;
    case ReservedBand::kNotice:
      OnBandNotice(wParam);
      return 0;
    case WM_MOUSELEAVE:
      DestroyHints();
      return 0;
    case WM_CAPTURECHANGED:
      FDragging = false;
      FTelopPressed = false;
      return 0;
    case WM_NOTIFYFORMAT:
      // The window turns Unicode when a plug-in subclasses it with a wide procedure; the
      // hints are still asked for the ANSI texts this procedure has.
      return lParam == NF_QUERY ? NFR_ANSI : Default(message, wParam, lParam);
    case WM_NOTIFY:
      if (AnswerHint(*reinterpret_cast<NMHDR*>(lParam))) return 0;
      return Default(message, wParam, lParam);
    case WM_SETCURSOR:
      OnSetCursor(LOWORD(lParam));
      return TRUE;
    case WM_CLOSE:
      FormCloseQuery();
      FormClose();
      DestroyWindow(Handle());
      return 0;
    case WM_QUERYENDSESSION:
      FormCloseQuery();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return Default(message, wParam, lParam);
  }
}

}  // namespace vo::win

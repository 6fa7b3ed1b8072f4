// The clock window: the borderless topmost strip with the date, the time, the seconds bar
// and the telop, driven by its 50 ms timer.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "Panel/Placement.h"
#include "Panel/PointerFade.h"
#include "Panel/SecBar.h"
#include "Panel/Sight.h"
#include "Panel/Telop.h"
#include "Panel/Tick.h"
#include "Panel/win/ReservedBand.h"
#include "Panel/win/SightNotices.h"
#include "Panel/win/Translucence.h"
#include "PlugIns/win/PlugInServices.h"
#include "forms/ClockForm.h"
#include "support/Color.h"
#include "support/win/Handles.h"
#include "support/win/Offscreen.h"
#include "support/win/Window.h"

namespace vo::win {

// What the clock asks of the settings dialog.
class SettingsHost {
 public:
  virtual void CheckTime(DateTime now) = 0;
  // Shows the dialog modeless with its right edge under the clock's right edge.
  virtual void ShowUnder(const RECT& clock) = 0;
  // Whether the strip steps aside while a full-screen program covers its monitor.
  virtual bool StepsAside() const = 0;

 protected:
  ~SettingsHost() = default;
};

class ModalBox {
 public:
  virtual void ShowModal() = 0;

 protected:
  ~ModalBox() = default;
};

class TClockPanel : public Window<TClockPanel>, private ClockSurface {
 public:
  TClockPanel() = default;
  ~TClockPanel();

  // Throws Failure if the window cannot be made.
  void Create(HINSTANCE instance, HWND owner);
  void Attach(SettingsHost* settings, ModalBox* about) {
    FSettings = settings;
    FAbout = about;
  }
  // The plug-in host the ticks notify and the close releases; none until set.
  void UsePlugIns(ClockPlugIns* plugIns) { FPlugIns = plugIns; }

  Color ForeColor() const { return FForeColor; }
  Color BackColor() const { return FBackColor; }
  RECT Bounds() const;
  // Shows the strip and paints it at once, before start-up makes the dialogs and loads the
  // plug-ins (noticeably longer under Wine, and as long as the plug-ins take). The labels keep
  // their designed captions, which the first tick compares with to tell the first minute; this
  // one frame draws the date and time that the first tick will show instead.
  void ShowFirstFrame();

  static WindowClass Class();
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Saves the place as last shown, for when the window is gone with its thread: safe on
  // another thread once the clock's own thread has ended.
  void SaveLastPlace() const;
  // After a turn of the message loop was cut short under a faulting plug-in: what a tick or a
  // drag resets on its way out.
  void AfterAbandonedTurn();
  // The settings dialog's fade, rest opacity and band, as loaded and as confirmed.
  void KeepOutOfTheWay(bool fade, int restOpacity, bool reserveBand);

 private:
  friend class ClockPosition;

  // Creation, show, tick and close (ClockPanel.cpp).
  void FormCreate();
  void BuildPopupMenu();
  void FitToPanel();
  void FormShow();
  void Timer1Timer();
  void FormCloseQuery();
  void FormClose();
  void ReleasePlugIns();

  void SetColors(Color fore, Color back);

  // Seen or not: asleep, the clock draws nothing and ticks at each minute's start only.
  void OnSightChange(SightChange change);
  void Wake();
  // The 50 ms tick while seen or while a plug-in wants every tick; else one at the next
  // minute's start.
  void ScheduleTick();
  // The telop's steps of the ticks a sleep left out.
  void CatchUpTelop(std::uint64_t at);

  // Mouse, menu.
  void lblDateMouseDown(int x);
  void lblDateMouseMove(int x);
  void lblDateMouseUp();
  void ShowPopupMenu(POINT screen);
  void mnuSettingClick();
  void mnuAboutClick();
  void mnuExitClick();
  // True over the telop while it shows: it takes the mouse from the labels beneath.
  bool OnTelop(POINT client) const;
  // The buttons and moves over the strip, `at` in client pixels.
  void OnMouse(UINT message, POINT at);
  LRESULT OnClockMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCopyData(HWND sender, const COPYDATASTRUCT& data);
  void OnTimer(UINT_PTR id);
  void OnSetCursor(UINT hitTest);
  void OnDestroy();
  bool SetCursorFor(POINT client) const;

  // Drawing.
  void Paint(HDC target) const;
  void PaintPanel(HDC dc) const;
  void PaintLabel(HDC dc, const std::string& caption, HFONT font, const Box& box) const;
  void InvalidateBox(const Box& box) const;
  // Fonts, bitmaps and hint areas at FLayout's scale; the fitted size follows the panel.
  void CreateScaledParts();
  void ApplyDpi(int dpi);

  // The telop (ClockTelop.cpp).
  void ShowTelop(const std::string& telop, const std::string& wave);
  void MeasureTelop();
  void DrawTelop();
  void imgTelopClick();

  // The stored place and the monitors (ClockPlace.cpp).
  void LoadPlace();
  void SavePlace();
  void SetLeft(int left);
  int Left() const;
  void MoveTo(StripPlace place);
  // Display changes come in bursts (each monitor, the work area, the DPI): one look after.
  void ReplaceSoon();
  void ReplaceOnAMonitor();

  // Full-screen programs (FullScreenWatch.cpp).
  void WatchForeground();
  void StopWatching();
  static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                  LONG child, DWORD thread, DWORD time);
  void OnWindowEvent(DWORD event, HWND window);
  void CheckFullScreen();
  void CheckFullScreenSoon();

  // Out of the way of the pointer and of maximised windows (ClockOutOfTheWay.cpp).
  void ShowLook();
  void PointerArrived(WPARAM keys);
  void WatchPointer();
  void PlaceBand(bool again = false);
  void OnBandNotice(WPARAM notice);

  // The hints over the labels (ClockHints.cpp).
  void CreateHints();
  void DestroyHints();
  const char* HintText(UINT_PTR id) const;
  // Fills in a hint's text, in the form the hint asked for; false for other notices.
  bool AnswerHint(NMHDR& header) const;
  void RelayToHints(UINT message, WPARAM wParam, LPARAM lParam);

  // ClockSurface: what a tick touches.
  int WindowTop() const override;
  void SetWindowTop(int top) override;
  bool IsOnTop() const override;
  void RaiseToTop() override;
  DateTime Now() override;
  bool Seen() const override { return FSight.Seen(); }
  bool TelopVisible() const override { return FTelopVisible; }
  void AdvanceTelop() override;
  void HideTelop() override;
  const std::string& DateCaption() const override { return FDateCaption; }
  void SetDateCaption(const std::string& caption) override;
  const std::string& TimeCaption() const override { return FTimeCaption; }
  void SetTimeCaption(const std::string& caption) override;
  void CheckTime(DateTime now) override;
  void NotifyMinute(DateTime now) override;
  void DrawSecBar(std::uint16_t second, std::uint16_t millisecond) override;
  void NotifyTick(DateTime now) override;

  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT_PTR kReplaceTimerId = 2;
  static constexpr UINT kReplaceDelay = 100;
  // Wine tells another process of a window's creation only, not of the foreground or of
  // moves: a new window is looked at once it has had time to show. While the strip is aside
  // the check repeats, so that it is back within a second however the window goes.
  static constexpr UINT_PTR kScreenCheckTimerId = 3;
  static constexpr UINT kNewWindowDelay = 250;
  static constexpr UINT kAsideCheckInterval = 500;
  // How late the 50 ms tick may come so that the system can wake once for several timers:
  // one period of the usual system clock, a sliver of a step of the seconds bar (1.4 s).
  static constexpr ULONG kTickTolerance = 16;
  // Thrown when a plug-in call has closed the clock: the rest of the tick is dropped.
  struct ClockClosed {};

  // The strip's geometry and fonts at the DPI of the monitor it is on.
  forms::clock::ClockLayout FLayout = forms::clock::LayoutAt(DpiScale());
  SettingsHost* FSettings = nullptr;
  ModalBox* FAbout = nullptr;

  Color FForeColor = kYellow;  // font colour of both labels
  Color FBackColor = kBlack;   // colour of the clock panel
  std::string FDateCaption;
  std::string FTimeCaption;
  std::string FTelopCaption;
  int FTelopWidth = 0;  // the caption's width in the window font
  bool FTelopVisible = false;
  TelopScroll FTelop;
  SecBarState FSecBar;
  int FLastLeft = 0;  // the left edge as last moved to
  int FDragX = 0;
  bool FDragging = false;
  bool FTelopPressed = false;  // the left button went down on the telop
  bool FTicking = false;
  bool FFirstFrame = false;  // ShowFirstFrame is painting
  ClockPlugIns* FPlugIns = nullptr;
  std::vector<ScreenArea> FMonitors;  // as last looked at: start, drag start, display change
  int FMonitorTop = 0;                // the top edge of the strip's monitor
  bool FWatching = false;             // the full-screen watch has started
  bool FSteppedAside = false;         // hidden for a full-screen program
  HWND FForeground = nullptr;         // the foreground window as the last event told
  UniqueEventHook FForegroundHook;
  UniqueEventHook FWindowHook;  // windows made, moved, resized
  Sight FSight;
  SightNotices FSightNotices;
  bool FAsleep = false;           // ticking at each minute's start only
  std::uint64_t FLastTickAt = 0;  // GetTickCount64 of the last tick

  PointerFade FFade;
  Translucence FTranslucence;
  bool FReserveBand = false;
  ReservedBand FBand;

  UniqueFont FDateFont;
  UniqueFont FTimeFont;
  UniqueFont FWindowFont;
  UniqueMenu PopupMenu1;
  OffscreenImage imgSec;
  OffscreenImage imgTelop;
  HWND edtFocusReciever = nullptr;
  HWND FHints = nullptr;
};

}  // namespace vo::win

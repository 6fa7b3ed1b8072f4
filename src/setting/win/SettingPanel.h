// The settings dialog: its controls hold the live colour schedule and time-signal options,
// which the clock reads at every minute change through CheckTime. Created hidden at start-up,
// shown modeless from the clock's menu, alive for the whole run.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <map>
#include <string>

#include "Panel/win/ClockPanel.h"
#include "setting/ColorSchedule.h"
#include "setting/Options.h"
#include "support/Color.h"
#include "support/DateTime.h"
#include "support/DpiScale.h"
#include "support/PostRing.h"
#include "support/win/Handles.h"
#include "support/win/Window.h"

namespace vo::win {

// A control painted in colours of its own: its font colour and its colour (background).
struct ColoredControl {
  HWND handle = nullptr;
  Color font = 0;
  Color color = 0;
  UniqueBrush brush;

  void SetColors(Color fontColor, Color backColor);
  // Sets one of the two, &ColoredControl::font or &ColoredControl::color.
  void Set(Color ColoredControl::*part, Color value);
  // Answers the control's WM_CTLCOLOR* message.
  HBRUSH Paint(HDC dc);
};

class TSettingPanel;

// A page of the settings dialog: a child window over the tab control's display area. What its
// controls report goes to the dialog, which also draws the page.
class SettingPage final : public Window<SettingPage> {
 public:
  // Throws Failure if the page cannot be made.
  void Create(const TSettingPanel& panel, HWND dialog, int id, const RECT& area);

  static WindowClass Class();
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  const TSettingPanel* panel_ = nullptr;
};

class TSettingPanel final : public DialogWindow<TSettingPanel>,
                            public SettingsHost,
                            private ColorOptionsView,
                            private SignalOptionsView,
                            private GeneralOptionsView {
 public:
  TSettingPanel() = default;
  ~TSettingPanel() override;

  // Builds the hidden dialog and runs FormCreate. Throws Failure if the dialog or its controls
  // cannot be made, or on a failure while loading, after which the dialog goes on working.
  void Create(HINSTANCE instance, TClockPanel& clock);

  // The plug-in host the plug-in page lists, loads and asks; set before Create.
  void UsePlugIns(PlugInShelf* plugIns) { FPlugIns = plugIns; }

  void CheckTime(DateTime now) override;
  void ShowUnder(const RECT& clock) override;
  bool StepsAside() const override { return StepAside(); }

 private:
  // What a signal posts to the clock.
  struct SignalTexts {
    std::string telop;
    std::string wave;
  };

  friend DialogWindow<TSettingPanel>;
  friend SettingPage;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(int id, int code);

  // The frame: building, pages, hints, the form handlers, messages (SettingPanel.cpp).
  void BuildControls();
  RECT PageArea() const;
  void CreateHints();
  void AddHint(HWND page, HWND control, const char* text);
  void ApplyDpi(int dpi);
  void ShowPage(int index);
  void TurnPage(int step);
  std::array<HWND, 4> Pages() const {
    return {tabColor.Handle(), tabTelop.Handle(), tabPlugIns.Handle(), tabGeneral.Handle()};
  }
  void FormCreate();
  void FormShow();
  void btnOKClick();
  void btnCancelClick();
  void PostColors(Color fore, Color back) const;
  void PostTelop(const SignalTexts& texts) const;
  void PaintPage(HWND page, HDC dc) const;

  // The colour page (ColorPage.cpp).
  void CreateColorPage();
  void SetAnchorFont(HFONT font);
  // Both colour buttons: the chosen colour goes to the example label, then the checked
  // anchor; `part` is &ColoredControl::font or &ColoredControl::color.
  void btnColorClick(Color ColoredControl::*part);
  // The colour dialog, from the last colour chosen; true when the user chose one.
  bool RunColorDialog();
  // The anchors' controls in anchor order, for a const or a mutable panel.
  template <class Panel>
  static auto AnchorsOf(Panel& panel) {
    return std::array{&panel.rbt0000, &panel.rbt0600, &panel.rbt1200, &panel.rbt1800};
  }
  auto AnchorControls() { return AnchorsOf(*this); }
  Anchors CurrentAnchors() const;
  void PaintColorPage(HDC dc) const;
  HBRUSH OnCtlColor(HDC dc, HWND control);
  // ColorOptionsView: the colour page's controls.
  bool Active() const override;
  void SetActive(bool active) override;
  Color AnchorForeColor(int anchor) const override;
  void SetAnchorForeColor(int anchor, Color color) override;
  Color AnchorBackColor(int anchor) const override;
  void SetAnchorBackColor(int anchor, Color color) override;
  const ColoredControl& Anchor(int anchor) const;

  // The time-signal page (SignalPage.cpp).
  void CreateTelopPage();
  void chkWaveClick();
  void chkTelopClick();
  void btnBrowseClick();
  // SignalOptionsView: the signal page's controls.
  bool UseTelop() const override;
  void SetUseTelop(bool use) override;
  std::string TelopText() const override;
  void SetTelopText(std::string_view text) override;
  bool UseWaveFile() const override;
  void SetUseWaveFile(bool use) override;
  std::string WaveFileText() const override;
  void SetWaveFileText(std::string_view text) override;
  int Interval() const override;
  void SetInterval(int minutes) override;

  // The plug-in page (PlugInsPage.cpp).
  void CreatePlugInsPage();
  void DiscoverPlugIns();
  // The file name selected in the plug-in list, "" when none is.
  std::string SelectedPlugInName() const;
  void lstPlugInsClick();
  void btnPlugInPropClick();
  bool DrawPlugInItem(const DRAWITEMSTRUCT& item) const;
  // The run-apart box: where the selected module runs from the next start on, as stored or
  // as changed since the last OK; checked and greyed for a module of the other processor,
  // which runs nowhere else; greyed when nothing, or a file that is no module, is selected.
  void ShowWhereSelectedRuns();
  void chkRunApartClick();
  // OK stores the changes, Cancel forgets them.
  void SaveApartChoices(SettingsBackend& store);
  void ForgetApartChoices();

  // The general page (GeneralPage.cpp).
  void CreateGeneralPage();
  void ShowStartAtSignIn();
  void SaveStartAtSignIn();
  // GeneralOptionsView: the general page's controls.
  bool StepAside() const override;
  void SetStepAside(bool stepAside) override;
  bool FadeUnderPointer() const override;
  void SetFadeUnderPointer(bool fade) override;
  int RestOpacity() const override;
  void SetRestOpacity(int percent) override;
  bool ReserveBand() const override;
  void SetReserveBand(bool reserve) override;
  // The clock takes the page's fade, opacity and band as loaded and as confirmed.
  void ApplyOutOfTheWay();

  // The open dialog keeps nothing between runs; the colour dialog its last colour and the
  // sixteen custom colours.
  struct ColorDialogState {
    Color color = 0;  // black at first
    std::array<COLORREF, 16> customColors{};
  };

  ColorDialogState ColorDialog1;
  HWND PageControl1 = nullptr;
  SettingPage tabColor;
  SettingPage tabTelop;
  HWND chkAutoChange = nullptr;
  ColoredControl rbt1800;
  ColoredControl rbt0000;
  ColoredControl rbt0600;
  ColoredControl rbt1200;
  ColoredControl lblExample;
  HWND chkWave = nullptr;
  HWND edtWave = nullptr;
  HWND btnBrowse = nullptr;
  HWND edtTelop = nullptr;
  HWND chkTelop = nullptr;
  HWND sel15m = nullptr;
  HWND sel30m = nullptr;
  HWND sel01h = nullptr;
  SettingPage tabPlugIns;
  HWND memDiscription = nullptr;
  HWND lstPlugIns = nullptr;
  HWND chkRunApart = nullptr;
  HWND lblRunApartNote = nullptr;
  // The run-apart box's changes since the last OK or Cancel, by module file name.
  std::map<std::string, bool> FApartEdits;
  SettingPage tabGeneral;
  HWND chkStepAside = nullptr;
  HWND chkFade = nullptr;
  HWND trkOpacity = nullptr;  // tenths of full opacity
  HWND chkReserveBand = nullptr;
  HWND chkStartAtSignIn = nullptr;

  // The texts a posted CLK_TELOP points into, kept until the clock has surely copied them:
  // a second signal may be posted before it has (OK pressed just as a signal minute begins).
  static constexpr std::size_t kKeptSignals = 4;
  PostRing<SignalTexts, kKeptSignals> FSignalTexts;

  TClockPanel* FClock = nullptr;
  HWND FHints = nullptr;
  PlugInShelf* FPlugIns = nullptr;
  // The designed layout and fonts at the DPI of the dialog's monitor: taken at creation and
  // on WM_DPICHANGED.
  DpiScale FScale;
  UniqueFont FDialogFont;
  UniqueFont FAnchorFont;
};

}  // namespace vo::win

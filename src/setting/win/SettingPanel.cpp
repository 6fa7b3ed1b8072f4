#include "setting/win/SettingPanel.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "Panel/win/Monitors.h"
#include "PlugIns/win/PlugIns.h"
#include "forms/win/SettingForm.h"
#include "setting/TimeSignal.h"
#include "support/win/Application.h"
#include "support/win/Dpi.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"
#include "support/win/Hints.h"
#include "support/win/Locale.h"
#include "support/win/RegistryStore.h"
#include "support/win/SystemLibrary.h"
#include "vo_plugin.h"  // CLK_SETCOLOR, CLK_TELOP

namespace vo::win {

namespace form = setting_form;

namespace {

// A colour as a message word, its bits unchanged.
WPARAM AsMessageWord(Color color) { return static_cast<WPARAM>(static_cast<std::uint32_t>(color)); }

// A disabled edit gets no mouse messages; its page does, so the hint shows there too, over
// the edit's place.
TOOLINFOA PageHint(HWND page, HWND control, const char* text = nullptr) {
  RECT area{};
  GetWindowRect(control, &area);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&area), 2);
  return HintTool(page, static_cast<UINT_PTR>(GetDlgCtrlID(control)), TTF_SUBCLASS, text, area);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Creation

TSettingPanel::~TSettingPanel() {
  if (dialog_ && IsWindow(dialog_)) {
    Application::Instance().RemoveDialog(dialog_);
    DestroyWindow(dialog_);
  }
}

void TSettingPanel::Create(HINSTANCE instance, TClockPanel& clock) {
  if (dialog_) return;
  FClock = &clock;
  FScale = ScaleOf(Application::Instance().Window());
  CreateBound(instance, Application::Instance().Window(), form::kCaption,
              FScale(form::kClientWidth), FScale(form::kClientHeight), form::kStyle,
              "設定画面を作れません");
  SetWindowPos(dialog_, nullptr, form::kDesignedLeft, form::kDesignedTop, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  BuildControls();
  Application::Instance().AddDialog(dialog_);
  // Last: a failure here ends the loading; the dialog works on with what it has.
  FormCreate();
}

void TSettingPanel::BuildControls() {
  FDialogFont = MakeFont(form::kDialogFont, FScale);
  FAnchorFont = MakeFont(form::kAnchorFont, FScale);
  ColorDialog1.customColors.fill(RGB(255, 255, 255));
  SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(FDialogFont.get()), FALSE);

  CreateControls(dialog_, form::kDialogControls, FDialogFont.get(), FScale);
  PageControl1 = GetDlgItem(dialog_, form::kPageControl1);
  for (std::size_t index = 0; index < form::kTabCaptions.size(); ++index) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(form::kTabCaptions[index]);
    SendMessageA(PageControl1, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
  }

  const RECT area = PageArea();
  tabColor.Create(*this, dialog_, form::kTabColorPage, area);
  tabTelop.Create(*this, dialog_, form::kTabTelopPage, area);
  tabPlugIns.Create(*this, dialog_, form::kTabPlugInsPage, area);
  tabGeneral.Create(*this, dialog_, form::kTabGeneralPage, area);
  // The pages lie over the tab control's display area, so it goes beneath them.
  SetWindowPos(PageControl1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  CreateColorPage();
  CreateTelopPage();
  CreatePlugInsPage();
  CreateGeneralPage();
  ShowPage(0);
}

// The tab control's display area, in the dialog's client pixels.
RECT TSettingPanel::PageArea() const {
  RECT area{};
  GetClientRect(PageControl1, &area);
  SendMessageA(PageControl1, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(PageControl1, dialog_, reinterpret_cast<POINT*>(&area), 2);
  return area;
}

// On a monitor of another DPI: the designed layout at its scale, the controls keeping their
// state.
void TSettingPanel::ApplyDpi(int dpi) {
  const DpiScale scale(dpi);
  if (scale == FScale) return;
  FScale = scale;
  // The controls hold these until they are given the new ones.
  const UniqueFont held[] = {std::move(FDialogFont), std::move(FAnchorFont)};
  FDialogFont = MakeFont(form::kDialogFont, FScale);
  FAnchorFont = MakeFont(form::kAnchorFont, FScale);
  const HFONT font = FDialogFont.get();
  SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetClientSize(dialog_, FScale(form::kClientWidth), FScale(form::kClientHeight));
  LayOutControls(dialog_, form::kDialogControls, font, FScale);
  const RECT area = PageArea();
  for (HWND page : Pages()) {
    SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayOutControls(tabColor.Handle(), form::kColorPage, font, FScale);
  LayOutControls(tabTelop.Handle(), form::kTelopPage, font, FScale);
  LayOutControls(tabPlugIns.Handle(), form::kPlugInsPage, font, FScale);
  LayOutControls(tabGeneral.Handle(), form::kGeneralPage, font, FScale);
  SetAnchorFont(FAnchorFont.get());
  SendMessageA(lstPlugIns, LB_SETITEMHEIGHT, 0, FScale(form::kPlugInItemHeight));
  for (HWND edit : {edtWave, edtTelop}) {
    if (!FHints || !edit) continue;
    TOOLINFOA onPage = PageHint(tabTelop.Handle(), edit);
    SendMessageA(FHints, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&onPage));
  }
  RedrawWindow(dialog_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TSettingPanel::CreateHints() {
  FHints = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr,
                           Application::Instance().Module(), nullptr);
  if (!FHints) return;
  AddHint(tabTelop.Handle(), edtWave, form::kWaveHint);
  AddHint(tabTelop.Handle(), edtTelop, form::kTelopHint);
}

void TSettingPanel::AddHint(HWND page, HWND control, const char* text) {
  if (!control) return;
  TOOLINFOA tool =
      HintTool(page, reinterpret_cast<UINT_PTR>(control), TTF_IDISHWND | TTF_SUBCLASS, text);
  SendMessageA(FHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));

  TOOLINFOA onPage = PageHint(page, control, text);
  SendMessageA(FHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&onPage));
}

void TSettingPanel::ShowPage(int index) {
  const auto pages = Pages();
  for (int page = 0; page < static_cast<int>(std::size(pages)); ++page) {
    ShowWindow(pages[page], page == index ? SW_SHOWNA : SW_HIDE);
  }
}

// Ctrl+Tab and Ctrl+Shift+Tab, round the ends. The focus follows onto the new page unless it
// was outside the pages (on the tabs, OK or Cancel).
void TSettingPanel::TurnPage(int step) {
  const auto pages = Pages();
  const int count = static_cast<int>(std::size(pages));
  const int current = static_cast<int>(SendMessageA(PageControl1, TCM_GETCURSEL, 0, 0));
  const int next = ((current + step) % count + count) % count;
  const HWND focus = GetFocus();
  const bool focusOnPage = std::any_of(pages.begin(), pages.end(),
                                       [&](HWND page) { return page && IsChild(page, focus); });
  SendMessageA(PageControl1, TCM_SETCURSEL, static_cast<WPARAM>(next), 0);
  ShowPage(next);
  if (!focusOnPage) return;
  if (const HWND first = GetNextDlgTabItem(pages[next], nullptr, FALSE)) {
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
  } else {
    SetFocus(PageControl1);
  }
}

// ---------------------------------------------------------------------------------------
// Form handlers

void TSettingPanel::FormCreate() {
  RegistrySettingsBackend store;
  LoadColors(store, *this);
  LoadSignal(store, *this);
  DiscoverPlugIns();
  // After the plug-ins: a bad value of this later option must not cost them.
  LoadGeneral(store, *this);
  ApplyOutOfTheWay();
}

void TSettingPanel::FormShow() {
  lblExample.SetColors(FClock->ForeColor(), FClock->BackColor());
  ShowStartAtSignIn();
  ShowWhereSelectedRuns();
}

void TSettingPanel::ShowUnder(const RECT& clock) {
  if (!dialog_) return;
  RECT frame{};
  GetWindowRect(dialog_, &frame);
  // At least the left edge of the clock's monitor: 0 on a single screen.
  const RECT monitor = MonitorRect(MonitorFromRect(&clock, MONITOR_DEFAULTTOPRIMARY));
  const int left = std::max(static_cast<int>(monitor.left),
                            static_cast<int>(clock.right - (frame.right - frame.left)));
  SetWindowPos(dialog_, nullptr, left, clock.bottom, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!IsWindowVisible(dialog_)) FormShow();
  // The hints are made on the first showing: a tooltip window is among the dearest windows
  // to make, and start-up has enough to do.
  if (!FHints) CreateHints();
  ShowWindow(dialog_, SW_SHOW);
  SetForegroundWindow(dialog_);
}

void TSettingPanel::btnOKClick() {
  {
    RegistrySettingsBackend store;
    SaveColors(store, *this);
    SaveSignal(store, *this);
    SaveGeneral(store, *this);
    ApplyOutOfTheWay();
    SaveStartAtSignIn();
    SaveApartChoices(store);
  }
  PostColors(lblExample.font, lblExample.color);
  CheckTime(CurrentStamp());
  ShowWindow(dialog_, SW_HIDE);
}

void TSettingPanel::btnCancelClick() {
  {
    RegistrySettingsBackend store;
    LoadColors(store, *this);
    LoadSignal(store, *this);
    LoadGeneral(store, *this);
  }
  ForgetApartChoices();
  ShowWindow(dialog_, SW_HIDE);
}

// ---------------------------------------------------------------------------------------
// The per-minute check

void TSettingPanel::CheckTime(DateTime now) {
  if (!dialog_ || !FClock) return;
  if (const auto colors = ColorScheduleStep(Active(), now, CurrentAnchors())) {
    PostColors(colors->fore, colors->back);
  }

  const TimeParts time = SplitTime(now);
  auto signal = SignalStep(time.minute, Interval(), UseTelop(), TelopText(), UseWaveFile(),
                           WaveFileText(), now, Application::Instance().Format());
  if (!signal) return;
  const SignalTexts& kept = FSignalTexts.Keep({std::move(signal->telop), std::move(signal->wave)});
  if (signal->post) PostTelop(kept);
}

void TSettingPanel::PostColors(Color fore, Color back) const {
  PostMessageA(FClock->Handle(), CLK_SETCOLOR, AsMessageWord(fore),
               static_cast<LPARAM>(AsMessageWord(back)));
}

void TSettingPanel::PostTelop(const SignalTexts& texts) const {
  PostMessageA(FClock->Handle(), CLK_TELOP, reinterpret_cast<WPARAM>(texts.telop.c_str()),
               reinterpret_cast<LPARAM>(texts.wave.c_str()));
}

// ---------------------------------------------------------------------------------------
// The controls as the option views

// ---------------------------------------------------------------------------------------
// Drawing

void TSettingPanel::PaintPage(HWND page, HDC dc) const {
  if (page == tabColor.Handle()) PaintColorPage(dc);
}

// ---------------------------------------------------------------------------------------
// Messages

bool TSettingPanel::OnCommand(int id, int code) {
  struct Command {
    int id;
    int code;  // the notification that runs it; OK and Cancel take any (Enter and Esc too)
    void (*run)(TSettingPanel&);
  };
  constexpr int kAnyCode = -1;
  static constexpr Command kCommands[] = {
      {form::kBtnOK, kAnyCode, [](TSettingPanel& panel) { panel.btnOKClick(); }},
      {form::kBtnCancel, kAnyCode, [](TSettingPanel& panel) { panel.btnCancelClick(); }},
      {form::kBtnForeColor, BN_CLICKED,
       [](TSettingPanel& panel) { panel.btnColorClick(&ColoredControl::font); }},
      {form::kBtnBackColor, BN_CLICKED,
       [](TSettingPanel& panel) { panel.btnColorClick(&ColoredControl::color); }},
      {form::kChkWave, BN_CLICKED, [](TSettingPanel& panel) { panel.chkWaveClick(); }},
      {form::kChkTelop, BN_CLICKED, [](TSettingPanel& panel) { panel.chkTelopClick(); }},
      {form::kBtnBrowse, BN_CLICKED, [](TSettingPanel& panel) { panel.btnBrowseClick(); }},
      {form::kLstPlugIns, LBN_SELCHANGE, [](TSettingPanel& panel) { panel.lstPlugInsClick(); }},
      {form::kBtnPlugInProp, BN_CLICKED, [](TSettingPanel& panel) { panel.btnPlugInPropClick(); }},
      {form::kChkRunApart, BN_CLICKED, [](TSettingPanel& panel) { panel.chkRunApartClick(); }},
  };
  for (const Command& command : kCommands) {
    if (command.id != id) continue;
    if (command.code == kAnyCode || command.code == code) command.run(*this);
    return true;
  }
  return false;
}

INT_PTR TSettingPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;  // the dialog manager focuses the first control when it is shown
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (header.hwndFrom == PageControl1 && header.code == TCN_SELCHANGE) {
        ShowPage(static_cast<int>(SendMessageA(PageControl1, TCM_GETCURSEL, 0, 0)));
      }
      return FALSE;
    }
    case kTurnPageMessage:
      TurnPage(wParam ? 1 : -1);
      return TRUE;
    case WM_CLOSE:
      // The close box only hides: the edits stay live, unstored.
      ShowWindow(dialog_, SW_HIDE);
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item.CtlID != static_cast<UINT>(form::kLstPlugIns)) return FALSE;
      item.itemHeight = static_cast<UINT>(FScale(form::kPlugInItemHeight));
      return TRUE;
    }
    case WM_DRAWITEM:
      return DrawPlugInItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DPICHANGED:
      // The size follows from the new DPI; the suggested rectangle is not needed.
      ApplyDpi(HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

// ---------------------------------------------------------------------------------------
// Pages

WindowClass SettingPage::Class() {
  return {.name = "voSettingPage",
          .cursor = IDC_ARROW,
          .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
}

void SettingPage::Create(const TSettingPanel& panel, HWND dialog, int id, const RECT& area) {
  panel_ = &panel;
  // A control parent, so that the dialog's keyboard handling reaches into the page.
  CreateBound(Application::Instance().Module(), WS_EX_CONTROLPARENT, "", WS_CHILD | WS_CLIPCHILDREN,
              area.left, area.top, area.right - area.left, area.bottom - area.top, dialog,
              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), "設定画面のページを作れません");
}

LRESULT SettingPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND page = Handle();
  switch (message) {
    // What the page's controls report belongs to the dialog.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (const HWND dialog = GetParent(page)) return SendMessageA(dialog, message, wParam, lParam);
      break;
    case WM_CLOSE:
      // Esc in the description memo asks its parent to close: that is the dialog's Cancel.
      if (const HWND dialog = GetParent(page)) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
      return 0;
    case WM_PAINT: {
      PaintDC paint(page);
      panel_->PaintPage(page, paint.get());
      return 0;
    }
    default:
      break;
  }
  return Default(message, wParam, lParam);
}

}  // namespace vo::win

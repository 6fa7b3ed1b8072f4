#include "setting/win/SettingPanel.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "Panel/win/Monitors.h"
#include "PlugIns/win/PlugIns.h"
#include "forms/win/SettingForm.h"
#include "setting/SignIn.h"
#include "setting/TimeSignal.h"
#include "support/Failure.h"
#include "support/win/Application.h"
#include "support/win/Dpi.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"
#include "support/win/Locale.h"
#include "support/win/Offscreen.h"
#include "support/win/RegistryStore.h"
#include "support/win/SystemLibrary.h"
#include "vo_plugin.h"  // CLK_SETCOLOR, CLK_TELOP

namespace vo::win {

namespace form = setting_form;

namespace {

constexpr DWORD kPathBufferSize = 4096;

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// True when the state changed.
bool SetChecked(HWND button, bool checked) {
  if (IsChecked(button) == checked) return false;
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return true;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

// An edit shows a line break only as CR LF; plug-ins may write bare LFs.
std::string WithEditLineBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
    result += text[i];
  }
  return result;
}

// A colour as a message word, its bits unchanged.
WPARAM AsMessageWord(Color color) { return static_cast<WPARAM>(static_cast<std::uint32_t>(color)); }

// A disabled edit gets no mouse messages; its page does, so the hint shows there too, over
// the edit's place.
TOOLINFOA PageHint(HWND page, HWND control) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  GetWindowRect(control, &tool.rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&tool.rect), 2);
  return tool;
}

// A sheet of paper with its top right corner folded: the list's mark for a file.
void DrawFileGlyph(HDC dc, int left, int top) {
  const POINT outline[] = {
      {left, top}, {left + 7, top}, {left + 10, top + 3}, {left + 10, top + 13}, {left, top + 13}};
  const POINT fold[] = {{left + 7, top}, {left + 7, top + 3}, {left + 10, top + 3}};
  UniquePen pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT)));
  SelectedObject selectedPen(dc, pen.get());
  SelectedObject selectedBrush(dc, GetStockObject(WHITE_BRUSH));
  Polygon(dc, outline, static_cast<int>(std::size(outline)));
  Polyline(dc, fold, static_cast<int>(std::size(fold)));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Coloured controls

void ColoredControl::SetColors(Color fontColor, Color backColor) {
  font = fontColor;
  color = backColor;
  brush.reset(CreateSolidBrush(ToColorRef(color)));
  if (handle) InvalidateRect(handle, nullptr, TRUE);
}

void ColoredControl::Set(Color ColoredControl::*part, Color value) {
  this->*part = value;
  SetColors(font, color);
}

HBRUSH ColoredControl::Paint(HDC dc) {
  if (!brush) brush.reset(CreateSolidBrush(ToColorRef(color)));
  SetTextColor(dc, ToColorRef(font));
  SetBkColor(dc, ToColorRef(color));
  return brush.get();
}

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

void TSettingPanel::CreateColorPage() {
  const HWND page = tabColor.Handle();
  CreateControls(page, form::kColorPage, FDialogFont.get(), FScale);
  chkAutoChange = GetDlgItem(page, form::kChkAutoChange);
  rbt0000.handle = GetDlgItem(page, form::kRbt0000);
  rbt0600.handle = GetDlgItem(page, form::kRbt0600);
  rbt1200.handle = GetDlgItem(page, form::kRbt1200);
  rbt1800.handle = GetDlgItem(page, form::kRbt1800);
  lblExample.handle = GetDlgItem(page, form::kLblExample);
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    AnchorControls()[anchor]->SetColors(kDefaultAnchors.at[anchor].fore,
                                        kDefaultAnchors.at[anchor].back);
  }
  lblExample.SetColors(form::kExampleFontColor, form::kButtonFaceColor);
  SetAnchorFont(FAnchorFont.get());
  SetChecked(chkAutoChange, true);
  SetChecked(rbt1200.handle, true);
}

void TSettingPanel::CreateTelopPage() {
  const HWND page = tabTelop.Handle();
  CreateControls(page, form::kTelopPage, FDialogFont.get(), FScale);
  chkWave = GetDlgItem(page, form::kChkWave);
  edtWave = GetDlgItem(page, form::kEdtWave);
  btnBrowse = GetDlgItem(page, form::kBtnBrowse);
  chkTelop = GetDlgItem(page, form::kChkTelop);
  edtTelop = GetDlgItem(page, form::kEdtTelop);
  sel15m = GetDlgItem(page, form::kSel15m);
  sel30m = GetDlgItem(page, form::kSel30m);
  sel01h = GetDlgItem(page, form::kSel01h);
  SetInterval(60);
}

void TSettingPanel::CreatePlugInsPage() {
  const HWND page = tabPlugIns.Handle();
  CreateControls(page, form::kPlugInsPage, FDialogFont.get(), FScale);
  lstPlugIns = GetDlgItem(page, form::kLstPlugIns);
  memDiscription = GetDlgItem(page, form::kMemDiscription);
}

void TSettingPanel::CreateGeneralPage() {
  const HWND page = tabGeneral.Handle();
  CreateControls(page, form::kGeneralPage, FDialogFont.get(), FScale);
  chkStepAside = GetDlgItem(page, form::kChkStepAside);
  SetChecked(chkStepAside, true);
  chkStartAtSignIn = GetDlgItem(page, form::kChkStartAtSignIn);
}

void TSettingPanel::SetAnchorFont(HFONT font) {
  for (HWND control :
       {rbt0000.handle, rbt0600.handle, rbt1200.handle, rbt1800.handle, lblExample.handle}) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
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
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(FHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));

  TOOLINFOA onPage = PageHint(page, control);
  onPage.lpszText = const_cast<char*>(text);
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
}

void TSettingPanel::DiscoverPlugIns() {
  // Listing makes the executable's directory the current one for the rest of the run, so
  // that a relative wave path resolves there.
  if (!FPlugIns) return;
  const std::vector<std::string> names = FPlugIns->Discover();
  for (const std::string& name : names) {
    SendMessageA(lstPlugIns, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  FPlugIns->Load(names);
}

void TSettingPanel::FormShow() {
  lblExample.SetColors(FClock->ForeColor(), FClock->BackColor());
  // What is really there: another program, or a user's own edit, may have changed it.
  RegistrySettingsBackend store;
  SetChecked(chkStartAtSignIn, StartsAtSignIn(store, ThisExecutablePath()));
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
    SetStartAtSignIn(store, ThisExecutablePath(), IsChecked(chkStartAtSignIn));
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
  ShowWindow(dialog_, SW_HIDE);
}

bool TSettingPanel::RunColorDialog() {
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = dialog_;
  choose.rgbResult = ToColorRef(ColorDialog1.color);
  choose.lpCustColors = ColorDialog1.customColors.data();
  choose.Flags = CC_RGBINIT;
  static const auto chooseColor = LateBound<decltype(ChooseColorA)>("comdlg32.dll", "ChooseColorA");
  if (!chooseColor || !chooseColor(&choose)) return false;
  ColorDialog1.color = static_cast<Color>(choose.rgbResult & 0x00FFFFFF);
  return true;
}

void TSettingPanel::btnColorClick(Color ColoredControl::*part) {
  if (!RunColorDialog()) return;
  const Color chosen = ColorDialog1.color;
  lblExample.Set(part, chosen);
  if (!Active()) return;
  for (ColoredControl* anchor : AnchorControls()) {
    if (IsChecked(anchor->handle)) anchor->Set(part, chosen);
  }
}

void TSettingPanel::chkWaveClick() {
  const BOOL enabled = IsChecked(chkWave) ? TRUE : FALSE;
  EnableWindow(edtWave, enabled);
  EnableWindow(btnBrowse, enabled);
}

void TSettingPanel::chkTelopClick() { EnableWindow(edtTelop, IsChecked(chkTelop) ? TRUE : FALSE); }

void TSettingPanel::btnBrowseClick() {
  std::vector<char> file(kPathBufferSize, '\0');
  const std::string initial = WaveFileText();
  std::copy_n(initial.begin(), std::min<std::size_t>(initial.size(), file.size() - 1),
              file.begin());

  OPENFILENAMEA open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = dialog_;
  open.lpstrFilter = form::kWaveFilter.data();
  open.nFilterIndex = form::kWaveFilterIndex;
  open.lpstrFile = file.data();
  open.nMaxFile = static_cast<DWORD>(file.size());
  open.lpstrDefExt = form::kWaveDefaultExtension;
  // The current directory stays the program's, where a relative wave path is looked up.
  open.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  static const auto openFile =
      LateBound<decltype(GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
  static const auto lastError =
      LateBound<decltype(CommDlgExtendedError)>("comdlg32.dll", "CommDlgExtendedError");
  if (!openFile || !lastError) return;
  BOOL chosen = openFile(&open);
  if (!chosen && lastError() == FNERR_INVALIDFILENAME) {
    // The edit holds something no file can be named: browse from an empty name instead.
    std::fill(file.begin(), file.end(), '\0');
    chosen = openFile(&open);
  }
  if (chosen) SetWaveFileText(file.data());
}

std::string TSettingPanel::SelectedPlugInName() const {
  const LRESULT selected = SendMessageA(lstPlugIns, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return {};
  const LRESULT length = SendMessageA(lstPlugIns, LB_GETTEXTLEN, selected, 0);
  if (length == LB_ERR) return {};
  std::string name(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT copied =
      SendMessageA(lstPlugIns, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(name.data()));
  if (copied == LB_ERR) return {};
  name.resize(static_cast<std::size_t>(copied));
  return name;
}

void TSettingPanel::lstPlugInsClick() {
  const std::string name = SelectedPlugInName();
  if (name.empty() || !FPlugIns) return;
  // The plug-in page reports nothing: a module that is not loaded, or that faults now, leaves
  // the memo as it was.
  const auto description =
      IgnoringFailure(std::optional<std::string>{}, [&] { return FPlugIns->Describe(name); });
  if (description) SetWindowTextA(memDiscription, WithEditLineBreaks(*description).c_str());
}

void TSettingPanel::btnPlugInPropClick() {
  const std::string name = SelectedPlugInName();
  if (name.empty() || !FPlugIns) return;
  // The module's own settings take the screen meanwhile. The plug-in page reports nothing: a
  // module that faults there is out of service now, and the dialog comes back all the same.
  IgnoringFailure([&] { FPlugIns->ShowProperties(name, dialog_); });
  ShowWindow(dialog_, SW_SHOW);
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

Anchors TSettingPanel::CurrentAnchors() const {
  Anchors anchors;
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    anchors.at[anchor] = ColorPair{Anchor(anchor).font, Anchor(anchor).color};
  }
  return anchors;
}

// ---------------------------------------------------------------------------------------
// The controls as the option views

const ColoredControl& TSettingPanel::Anchor(int anchor) const {
  return *AnchorsOf(*this)[static_cast<std::size_t>(std::clamp(anchor, 0, kAnchorCount - 1))];
}

bool TSettingPanel::Active() const { return IsChecked(chkAutoChange); }
void TSettingPanel::SetActive(bool active) { SetChecked(chkAutoChange, active); }

Color TSettingPanel::AnchorForeColor(int anchor) const { return Anchor(anchor).font; }
void TSettingPanel::SetAnchorForeColor(int anchor, Color color) {
  AnchorControls()[static_cast<std::size_t>(anchor)]->Set(&ColoredControl::font, color);
}

Color TSettingPanel::AnchorBackColor(int anchor) const { return Anchor(anchor).color; }
void TSettingPanel::SetAnchorBackColor(int anchor, Color color) {
  AnchorControls()[static_cast<std::size_t>(anchor)]->Set(&ColoredControl::color, color);
}

bool TSettingPanel::UseTelop() const { return IsChecked(chkTelop); }
void TSettingPanel::SetUseTelop(bool use) {
  if (SetChecked(chkTelop, use)) chkTelopClick();
}

std::string TSettingPanel::TelopText() const { return WindowText(edtTelop); }
void TSettingPanel::SetTelopText(std::string_view text) {
  SetWindowTextA(edtTelop, std::string(text).c_str());
}

bool TSettingPanel::UseWaveFile() const { return IsChecked(chkWave); }
void TSettingPanel::SetUseWaveFile(bool use) {
  if (SetChecked(chkWave, use)) chkWaveClick();
}

std::string TSettingPanel::WaveFileText() const { return WindowText(edtWave); }
void TSettingPanel::SetWaveFileText(std::string_view text) {
  SetWindowTextA(edtWave, std::string(text).c_str());
}

int TSettingPanel::Interval() const {
  return GetInterval(IsChecked(sel15m), IsChecked(sel30m), IsChecked(sel01h));
}

void TSettingPanel::SetInterval(int minutes) {
  const int id = minutes >= 60 ? form::kSel01h : minutes >= 30 ? form::kSel30m : form::kSel15m;
  CheckRadioButton(tabTelop.Handle(), form::kSel15m, form::kSel01h, id);
}

bool TSettingPanel::StepAside() const { return IsChecked(chkStepAside); }
void TSettingPanel::SetStepAside(bool stepAside) { SetChecked(chkStepAside, stepAside); }

// ---------------------------------------------------------------------------------------
// Drawing

void TSettingPanel::PaintPage(HWND page, HDC dc) const {
  if (page == tabColor.Handle()) PaintColorPage(dc);
}

void TSettingPanel::PaintColorPage(HDC dc) const {
  {
    UniquePen dotted(CreatePen(PS_DOT, 1, GetSysColor(COLOR_WINDOWTEXT)));
    SelectedObject pen(dc, dotted.get());
    SelectedObject brush(dc, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    const RECT dial = RectOf(form::kShape1, FScale);
    Ellipse(dc, dial.left, dial.top, dial.right, dial.bottom);
  }
  RECT frame = RectOf(form::kBevel1, FScale);
  DrawEdge(dc, &frame, EDGE_BUMP, BF_RECT);
  for (const Box& box : {form::kBevel6, form::kBevel7, form::kBevel8, form::kBevel9}) {
    frame = RectOf(box, FScale);
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
  }
}

bool TSettingPanel::DrawPlugInItem(const DRAWITEMSTRUCT& item) const {
  if (item.hwndItem != lstPlugIns) return false;
  const HDC dc = item.hDC;
  RECT box = item.rcItem;
  if (item.itemID == static_cast<UINT>(-1)) {
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &box);
    return true;
  }
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &box, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  DrawFileGlyph(dc, box.left + FScale(3), box.top + (box.bottom - box.top - 14) / 2);

  const LRESULT length = SendMessageA(lstPlugIns, LB_GETTEXTLEN, item.itemID, 0);
  if (length != LB_ERR && length > 0) {
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendMessageA(lstPlugIns, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(name.data()));
    name.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = box;
    text.left += FScale(18);
    DrawTextA(dc, name.c_str(), static_cast<int>(name.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &box);
  return true;
}

HBRUSH TSettingPanel::OnCtlColor(HDC dc, HWND control) {
  for (ColoredControl* colored : AnchorControls()) {
    if (colored->handle == control) return colored->Paint(dc);
  }
  if (control == lblExample.handle) return lblExample.Paint(dc);
  return nullptr;
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

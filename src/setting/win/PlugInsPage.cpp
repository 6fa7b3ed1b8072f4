// The plug-in page: the modules found beside the program, their descriptions, their own
// settings and where each runs: inside the clock or in a process of its own.
#include <optional>
#include <string>
#include <vector>

#include "PlugIns/ApartChoice.h"
#include "PlugIns/win/ImageProcessor.h"
#include "PlugIns/win/PlugIns.h"
#include "forms/win/SettingForm.h"
#include "setting/win/SettingPanel.h"
#include "support/Failure.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"
#include "support/win/RegistryStore.h"
#include "support/win/WideText.h"

namespace vo::win {

namespace form = setting_form;

namespace {

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

void TSettingPanel::CreatePlugInsPage() {
  const HWND page = tabPlugIns.Handle();
  CreateControls(page, form::kPlugInsPage, FDialogFont.get(), FScale);
  lstPlugIns = GetDlgItem(page, form::kLstPlugIns);
  memDiscription = GetDlgItem(page, form::kMemDiscription);
  chkRunApart = GetDlgItem(page, form::kChkRunApart);
  lblRunApartNote = GetDlgItem(page, form::kLblRunApartNote);
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

std::string TSettingPanel::SelectedPlugInName() const {
  const LRESULT selected = SendMessageA(lstPlugIns, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return {};
  return ListBoxText(lstPlugIns, static_cast<WPARAM>(selected));
}

void TSettingPanel::lstPlugInsClick() {
  ShowWhereSelectedRuns();
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

void TSettingPanel::ShowWhereSelectedRuns() {
  const std::string name = SelectedPlugInName();
  const Processor processor =
      name.empty() ? Processor::kUnknown
                   : ProcessorOfFile(JoinWidePath(ProgramDirectoryW(), Widened(name)));
  const bool own = processor == kOwnProcessor;
  bool apart = processor != Processor::kUnknown && !own;
  if (own) {
    const auto edit = FApartEdits.find(name);
    RegistrySettingsBackend store;
    apart = edit != FApartEdits.end() ? edit->second : ChosenApart(store, name);
  }
  EnableWindow(chkRunApart, own);
  SetChecked(chkRunApart, apart);
  // The choice is read once, at start: a box that differs from this run says so.
  const bool later =
      processor != Processor::kUnknown && FPlugIns && apart != FPlugIns->RunsApart(name);
  ShowWindow(lblRunApartNote, later ? SW_SHOWNA : SW_HIDE);
}

void TSettingPanel::chkRunApartClick() {
  const std::string name = SelectedPlugInName();
  if (name.empty()) return;
  FApartEdits[name] = IsChecked(chkRunApart);
  ShowWhereSelectedRuns();
}

void TSettingPanel::SaveApartChoices(SettingsBackend& store) {
  // Only the boxes the user changed, and only where they differ from the store.
  for (const auto& [name, apart] : FApartEdits) {
    if (apart != ChosenApart(store, name)) ChooseApart(store, name, apart);
  }
  FApartEdits.clear();
}

void TSettingPanel::ForgetApartChoices() {
  FApartEdits.clear();
  ShowWhereSelectedRuns();
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

  const std::string name = ListBoxText(lstPlugIns, item.itemID);
  if (!name.empty()) {
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

}  // namespace vo::win

// The time-signal page: the telop, the wave file and the interval.
// The common controls and dialogs headers need the system header before them.
// clang-format off
#include <windows.h>
#include <cderr.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "forms/win/SettingForm.h"
#include "setting/TimeSignal.h"
#include "setting/win/SettingPanel.h"
#include "support/win/FormDialog.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {

namespace form = setting_form;

namespace {

constexpr DWORD kPathBufferSize = 4096;

}  // namespace

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
  const auto openFile = LateBound<decltype(GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
  const auto lastError =
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

}  // namespace vo::win

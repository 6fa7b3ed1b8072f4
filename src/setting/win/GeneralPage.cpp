// The general page: stepping aside for full-screen programs, starting at sign-in, and the
// strip out of the way: fading under the pointer, its opacity at rest, its band.
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "Panel/PointerFade.h"
#include "forms/win/SettingForm.h"
#include "setting/SignIn.h"
#include "setting/win/SettingPanel.h"
#include "support/win/FormDialog.h"
#include "support/win/RegistryStore.h"
#include "support/win/WideText.h"

namespace vo::win {

namespace form = setting_form;

namespace {

// The portable code keeps paths as UTF-16, which a wchar_t is here.
std::u16string ProgramPathUtf16() {
  const std::wstring path = ProgramPathW();
  return {path.begin(), path.end()};
}

}  // namespace

void TSettingPanel::CreateGeneralPage() {
  const HWND page = tabGeneral.Handle();
  CreateControls(page, form::kGeneralPage, FDialogFont.get(), FScale);
  chkStepAside = GetDlgItem(page, form::kChkStepAside);
  SetChecked(chkStepAside, kDefaultStepAside);
  chkFade = GetDlgItem(page, form::kChkFade);
  chkReserveBand = GetDlgItem(page, form::kChkReserveBand);
  trkOpacity = GetDlgItem(page, form::kTrkOpacity);
  SendMessageA(trkOpacity, TBM_SETRANGE, FALSE,
               MAKELPARAM(kMinRestOpacity / 10, kMaxRestOpacity / 10));
  SendMessageA(trkOpacity, TBM_SETPOS, TRUE, kMaxRestOpacity / 10);
  chkStartAtSignIn = GetDlgItem(page, form::kChkStartAtSignIn);
}

bool TSettingPanel::StepAside() const { return IsChecked(chkStepAside); }

void TSettingPanel::SetStepAside(bool stepAside) { SetChecked(chkStepAside, stepAside); }

bool TSettingPanel::FadeUnderPointer() const { return IsChecked(chkFade); }

void TSettingPanel::SetFadeUnderPointer(bool fade) { SetChecked(chkFade, fade); }

int TSettingPanel::RestOpacity() const {
  return static_cast<int>(SendMessageA(trkOpacity, TBM_GETPOS, 0, 0)) * 10;
}

void TSettingPanel::SetRestOpacity(int percent) {
  SendMessageA(trkOpacity, TBM_SETPOS, TRUE, (RestOpacityFrom(percent) + 5) / 10);
}

bool TSettingPanel::ReserveBand() const { return IsChecked(chkReserveBand); }

void TSettingPanel::SetReserveBand(bool reserve) { SetChecked(chkReserveBand, reserve); }

void TSettingPanel::ApplyOutOfTheWay() {
  if (FClock) FClock->KeepOutOfTheWay(FadeUnderPointer(), RestOpacity(), ReserveBand());
}

// What is really there: another program, or a user's own edit, may have changed it.
void TSettingPanel::ShowStartAtSignIn() {
  RegistrySettingsBackend store(RegistryText::kWide);
  SetChecked(chkStartAtSignIn, StartsAtSignIn(store, ProgramPathUtf16()));
}

void TSettingPanel::SaveStartAtSignIn() {
  RegistrySettingsBackend store(RegistryText::kWide);
  SetStartAtSignIn(store, ProgramPathUtf16(), IsChecked(chkStartAtSignIn));
}

}  // namespace vo::win

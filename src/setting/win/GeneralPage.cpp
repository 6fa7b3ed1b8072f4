// The general page: stepping aside for full-screen programs and starting at sign-in.
#include "PlugIns/win/PlugIns.h"
#include "forms/win/SettingForm.h"
#include "setting/SignIn.h"
#include "setting/win/SettingPanel.h"
#include "support/win/FormDialog.h"
#include "support/win/RegistryStore.h"

namespace vo::win {

namespace form = setting_form;

void TSettingPanel::CreateGeneralPage() {
  const HWND page = tabGeneral.Handle();
  CreateControls(page, form::kGeneralPage, FDialogFont.get(), FScale);
  chkStepAside = GetDlgItem(page, form::kChkStepAside);
  SetChecked(chkStepAside, true);
  chkStartAtSignIn = GetDlgItem(page, form::kChkStartAtSignIn);
}

bool TSettingPanel::StepAside() const { return IsChecked(chkStepAside); }

void TSettingPanel::SetStepAside(bool stepAside) { SetChecked(chkStepAside, stepAside); }

// What is really there: another program, or a user's own edit, may have changed it.
void TSettingPanel::ShowStartAtSignIn() {
  RegistrySettingsBackend store;
  SetChecked(chkStartAtSignIn, StartsAtSignIn(store, ThisExecutablePath()));
}

void TSettingPanel::SaveStartAtSignIn(SettingsBackend& store) {
  SetStartAtSignIn(store, ThisExecutablePath(), IsChecked(chkStartAtSignIn));
}

}  // namespace vo::win

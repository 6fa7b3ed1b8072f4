#include "PlugIns/win/FaultBox.h"

#include <string>

#include "PlugIns/ApartChoice.h"
#include "support/FileNames.h"
#include "support/SettingsStore.h"
#include "support/Texts.h"
#include "support/win/Application.h"
#include "support/win/RegistryStore.h"
#include "support/win/Window.h"

namespace vo::win {

void ShowPlugInFault(const PlugInFault& fault) {
  const std::string& module = fault.InsideModule();
  if (module.empty()) return ShowApplicationError(fault.what());

  const std::string question =
      std::string(fault.what()) + "\n\n" + std::string(texts::kRunApartOfferText);
  const int answer = MessageBoxA(Application::Instance().Window(), question.c_str(),
                                 kApplicationTitle, MB_YESNO | MB_ICONERROR);
  if (answer != IDYES) return;
  RegistrySettingsBackend store;
  const std::string_view name = FileNameOf(module);
  if (!ChooseApart(store, name, true)) {
    ShowApplicationError(ERegistryException(ERegistryException::Kind::kWriteFailed, name).what());
  }
}

}  // namespace vo::win

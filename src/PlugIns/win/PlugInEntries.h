// The six entry points of a loaded plug-in module, each null where the module lacks it.
#pragma once

#include <windows.h>

#include "support/win/SystemLibrary.h"
#include "vo_plugin.h"

namespace vo::win {

struct PlugInEntries {
  VpiEnableProc enable = nullptr;
  VpiDisableProc disable = nullptr;
  VpiNotifyProc notify = nullptr;
  VpiNotifyFreqProc notifyFreq = nullptr;
  VpiDiscriptionProc discription = nullptr;
  VpiSetPropsProc setProps = nullptr;

  // Resolved by their exact names, letter case included.
  static PlugInEntries Of(HMODULE module) {
    PlugInEntries entries;
    entries.enable = ProcAddress<VpiEnableProc>(module, "VpiEnable");
    entries.disable = ProcAddress<VpiDisableProc>(module, "VpiDisable");
    entries.notify = ProcAddress<VpiNotifyProc>(module, "VpiNotify");
    entries.notifyFreq = ProcAddress<VpiNotifyFreqProc>(module, "VpiNotifyFreq");
    entries.discription = ProcAddress<VpiDiscriptionProc>(module, "VpiDiscription");
    entries.setProps = ProcAddress<VpiSetPropsProc>(module, "VpiSetProps");
    return entries;
  }
};

}  // namespace vo::win

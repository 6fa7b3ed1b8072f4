// The box that tells the user of a plug-in's fault or hang, the one way every part of the
// program shows it.
#pragma once

#include "PlugIns/win/PlugInModule.h"

namespace vo::win {

// Captioned "vo", error icon. For a module that ran inside the clock the same box asks whether
// to run it in a process of its own from the next start on; Yes stores that choice.
void ShowPlugInFault(const PlugInFault& fault);

}  // namespace vo::win

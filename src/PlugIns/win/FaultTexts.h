// What the user reads of a plug-in's fault or hang.
#pragma once

#include <string>

#include "PlugIns/win/PlugInGuard.h"

namespace vo::win {

// What went wrong, in the user's words: "スタック・オーバーフロー", ...
std::string DescribeOutcome(CallOutcome outcome);

// The error box's text for a fault of the module at path.
std::string FaultMessage(const std::string& path, CallOutcome outcome);

// The error box's text for a module running apart whose helper process ended by itself with
// this exit code: a fault's code is named as a fault, any other as the process's own end.
std::string ApartEndMessage(const std::string& path, DWORD exitCode);

}  // namespace vo::win

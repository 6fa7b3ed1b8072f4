// What a run leaves in the store about its own end, and what the next start makes of it.
//
// A start marks the run as going on and a clean end removes the mark, so a start that finds
// the mark knows that the previous run ended some other way: ended from outside, by a fault
// nothing could contain, by a plug-in that ended the process itself. While the program is in
// the hands of a plug-in module that nothing could take back from it (the module's DllMain at
// load, a call of the module blocked in the system), the mark names that module instead.
#pragma once

#include <string>
#include <string_view>

#include "support/SettingsStore.h"

namespace vo {

// Under kClockKeyPath: REG_SZ, the full path of the module at risk or kNothingAtRisk.
inline constexpr std::string_view kRunRecordName = "Running";
// No path holds it: '*' is no character of a file name.
inline constexpr std::string_view kNothingAtRisk = "*";

struct PreviousRun {
  bool endedBadly = false;
  std::string module;  // the module at risk when it ended; empty when none is known
};

// Reads what the previous run left and marks this one as going on, in one access to the key.
// A record that cannot be read counts as none; one that cannot be written is given up
// silently: no start is refused, nor delayed by a box, for the sake of a later one.
PreviousRun BeginRun(SettingsBackend& backend);

// A clean end leaves no trace. Silent, like BeginRun.
void EndRun(SettingsBackend& backend);

// The question a start asks after a bad end ("" after a clean one), in Shift_JIS: yes starts
// without the module named, or without any plug-in when none is known.
std::string SafeStartQuestion(const PreviousRun& previous);

// The plug-ins this run leaves out.
class PlugInSkip {
 public:
  PlugInSkip() = default;  // none
  // What answering the question with yes (safeStart) or no means.
  static PlugInSkip After(const PreviousRun& previous, bool safeStart);

  bool Skips(std::string_view path) const;

 private:
  bool all_ = false;
  std::string module_;
};

}  // namespace vo

#include "support/RunRecord.h"

#include "support/FileNames.h"
#include "support/TextSlot.h"
#include "support/Texts.h"

namespace vo {

PreviousRun BeginRun(SettingsBackend& backend) {
  PreviousRun previous;
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kClockKeyPath, true)) return previous;
  try {
    const std::string record = store.ReadText(kRunRecordName);
    previous.endedBadly = !record.empty();
    if (previous.endedBadly && record != kNothingAtRisk) previous.module = record;
  } catch (const ERegistryException&) {
    // Not a record of ours: it is written over below.
  }
  try {
    store.WriteText(kRunRecordName, kNothingAtRisk);
  } catch (const ERegistryException&) {
  }
  return previous;
}

void EndRun(SettingsBackend& backend) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kClockKeyPath, false)) return;
  try {
    store.DeleteValue(kRunRecordName);
  } catch (const ERegistryException&) {
  }
}

std::string SafeStartQuestion(const PreviousRun& previous) {
  if (!previous.endedBadly) return {};
  std::string question(texts::kBadEndText);
  if (!previous.module.empty())
    question += WithSlotFilled(texts::kModuleRanText, FileNameOf(previous.module));
  question += "\n\n";
  question += previous.module.empty() ? texts::kSkipAllText : texts::kSkipModuleText;
  question += "\n";
  question += texts::kNoMeansUsualText;
  return question;
}

PlugInSkip PlugInSkip::After(const PreviousRun& previous, bool safeStart) {
  PlugInSkip skip;
  if (!previous.endedBadly || !safeStart) return skip;
  skip.all_ = previous.module.empty();
  skip.module_ = previous.module;
  return skip;
}

bool PlugInSkip::Skips(std::string_view path) const {
  return all_ || (!module_.empty() && SamePathIgnoringCase(path, module_));
}

}  // namespace vo

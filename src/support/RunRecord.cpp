#include "support/RunRecord.h"

#include "support/FileNames.h"

namespace vo {
namespace {

// The texts are Shift_JIS bytes written out, as in SettingsStore.cpp.
// "前回 vo は正常に終了しませんでした。"
constexpr std::string_view kBadEnd =
    "\x91O\x89\xF1 vo \x82\xCD\x90\xB3\x8F\xED\x82\xC9\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB9\x82"
    "\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
    "B";
// "終了したとき、プラグイン・モジュール %s が動作していました。"
constexpr std::string_view kModuleRan =
    "\x8FI\x97\xB9\x82\xB5\x82\xBD\x82\xC6\x82\xAB\x81"
    "A\x83v\x83\x89\x83O\x83"
    "C\x83\x93\x81"
    "E\x83\x82\x83W\x83\x85\x81[\x83\x8B %s \x82\xAA\x93\xAE\x8D\xEC\x82\xB5\x82\xC4\x82\xA2\x82"
    "\xDC\x82\xB5\x82\xBD\x81"
    "B";
// "今回はこのモジュールを読み込まずに起動しますか?"
constexpr std::string_view kSkipModule =
    "\x8D\xA1\x89\xF1\x82\xCD\x82\xB1\x82\xCC\x83\x82\x83W\x83\x85\x81[\x83\x8B\x82\xF0\x93\xC7"
    "\x82\xDD\x8D\x9E\x82\xDC\x82\xB8\x82\xC9\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x82\xA9?";
// "今回はプラグイン・モジュールを読み込まずに起動しますか?"
constexpr std::string_view kSkipAll =
    "\x8D\xA1\x89\xF1\x82\xCD\x83v\x83\x89\x83O\x83"
    "C\x83\x93\x81"
    "E\x83\x82\x83W\x83\x85\x81[\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDC\x82\xB8\x82\xC9"
    "\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x82\xA9?";
// "(「いいえ」を選ぶと、いつもどおりに起動します。)"
constexpr std::string_view kNoMeansUsual =
    "(\x81u\x82\xA2\x82\xA2\x82\xA6\x81v\x82\xF0\x91I\x82\xD4\x82\xC6\x81"
    "A\x82\xA2\x82\xC2\x82\xE0\x82\xC7\x82\xA8\x82\xE8\x82\xC9\x8BN\x93\xAE\x82\xB5\x82\xDC\x82"
    "\xB7\x81"
    "B)";

std::string WithModule(std::string_view text, std::string_view module) {
  const std::size_t slot = text.find("%s");
  std::string result(text.substr(0, slot));
  result += module;
  result += text.substr(slot + 2);
  return result;
}

}  // namespace

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
  std::string question(kBadEnd);
  if (!previous.module.empty()) question += WithModule(kModuleRan, FileNameOf(previous.module));
  question += "\n\n";
  question += previous.module.empty() ? kSkipAll : kSkipModule;
  question += "\n";
  question += kNoMeansUsual;
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

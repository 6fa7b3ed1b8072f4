#include "setting/SignIn.h"

#include "support/FileNames.h"

namespace vo {
namespace {

// The program part of a command line: up to the closing quote, or up to the first space.
std::u16string_view ProgramOf(std::u16string_view command) {
  while (!command.empty() && command.front() == u' ') command.remove_prefix(1);
  if (!command.empty() && command.front() == u'"') {
    command.remove_prefix(1);
    return command.substr(0, command.find(u'"'));
  }
  return command.substr(0, command.find(u' '));
}

std::u16string RunValue(SettingsBackend& backend) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kRunKeyPath, false)) return {};
  try {
    return store.ReadWideText(kRunValueName);
  } catch (const ERegistryException&) {
    return {};  // not a command at all
  }
}

}  // namespace

std::u16string SignInCommand(std::u16string_view exePath) {
  std::u16string command = u"\"";
  command += exePath;
  command += u'"';
  return command;
}

bool NamesProgram(std::u16string_view command, std::u16string_view exePath) {
  return !exePath.empty() && SamePathIgnoringCase(ProgramOf(command), exePath);
}

bool StartsAtSignIn(SettingsBackend& backend, std::u16string_view exePath) {
  return NamesProgram(RunValue(backend), exePath);
}

void SetStartAtSignIn(SettingsBackend& backend, std::u16string_view exePath, bool start) {
  if (StartsAtSignIn(backend, exePath) == start) return;
  SettingsAccessor store(backend);
  if (start) {
    if (store.OpenSettingsKey(kRunKeyPath, true)) {
      store.WriteWideText(kRunValueName, SignInCommand(exePath));
    }
  } else if (store.OpenSettingsKey(kRunKeyPath, false)) {
    store.DeleteValue(kRunValueName);
  }
}

}  // namespace vo

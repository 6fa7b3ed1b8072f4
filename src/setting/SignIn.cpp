#include "setting/SignIn.h"

#include "support/FileNames.h"

namespace vo {
namespace {

// The program part of a command line: up to the closing quote, or up to the first space.
std::string_view ProgramOf(std::string_view command) {
  while (!command.empty() && command.front() == ' ') command.remove_prefix(1);
  if (!command.empty() && command.front() == '"') {
    command.remove_prefix(1);
    return command.substr(0, command.find('"'));
  }
  return command.substr(0, command.find(' '));
}

std::string RunValue(SettingsBackend& backend) {
  SettingsAccessor store(backend);
  if (!store.OpenSettingsKey(kRunKeyPath, false)) return {};
  try {
    return store.ReadText(kRunValueName);
  } catch (const ERegistryException&) {
    return {};  // not a command at all
  }
}

}  // namespace

std::string SignInCommand(std::string_view exePath) {
  std::string command = "\"";
  command += exePath;
  command += '"';
  return command;
}

bool NamesProgram(std::string_view command, std::string_view exePath) {
  return !exePath.empty() && SamePathIgnoringCase(ProgramOf(command), exePath);
}

bool StartsAtSignIn(SettingsBackend& backend, std::string_view exePath) {
  return NamesProgram(RunValue(backend), exePath);
}

void SetStartAtSignIn(SettingsBackend& backend, std::string_view exePath, bool start) {
  if (StartsAtSignIn(backend, exePath) == start) return;
  SettingsAccessor store(backend);
  if (start) {
    if (store.OpenSettingsKey(kRunKeyPath, true)) {
      store.WriteText(kRunValueName, SignInCommand(exePath));
    }
  } else if (store.OpenSettingsKey(kRunKeyPath, false)) {
    store.DeleteValue(kRunValueName);
  }
}

}  // namespace vo

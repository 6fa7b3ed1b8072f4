#include "PlugIns/win/PlugInHost.h"

#include <cstdint>
#include <span>
#include <utility>

#include "PlugIns/ApartChoice.h"
#include "PlugIns/PlugInPaths.h"
#include "PlugIns/Processor.h"
#include "PlugIns/win/FaultTexts.h"
#include "PlugIns/win/Interpose.h"
#include "support/win/Application.h"
#include "support/win/RegistryStore.h"
#include "support/win/SafeStart.h"
#include "support/win/SystemLibrary.h"
#include "support/win/WideText.h"

namespace vo::win {
namespace {

PlugInHost* running = nullptr;

// The processor a module's file is built for, from its first bytes.
Processor ProcessorOfFile(const std::wstring& file) {
  const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Processor::kUnknown;
  const UniqueKernelHandle handle(opened);
  std::uint8_t head[4096];
  DWORD read = 0;
  if (!ReadFile(handle.get(), head, sizeof head, &read, nullptr)) return Processor::kUnknown;
  return ProcessorOfImage(std::span<const std::uint8_t>(head, read));
}

}  // namespace

PlugInHost& Host() { return *running; }

PlugInHost::PlugInHost() { running = this; }

void PlugInHost::Start(void (*onLostGui)()) {
  if (guard_.GuiThread() != 0) return;
  onLostGui_ = onLostGui;
  guard_.Start();
  faults_.Start();
  InstallMessagePump(&pump_);
}

void PlugInHost::PrepareForPlugIns() {
  if (prepared_) return;
  prepared_ = true;
  if (guard_.OnGuiThread()) {
    watchdog_.Start(onLostGui_);
    // A timer procedure's fault reaches the guard instead of being swallowed where the
    // system lets a program choose.
    constexpr int kTimerProcExceptionSuppression = 7;  // UOI_TIMERPROC_EXCEPTION_SUPPRESSION
    BOOL suppress = FALSE;
    SetUserObjectInformationW(GetCurrentProcess(), kTimerProcExceptionSuppression, &suppress,
                              sizeof suppress);
  }
  BindLateEntries();
}

void PlugInHost::NoteLoadingModule(const char* path) {
  if (HostObserver* watcher = observer_.load()) watcher->LoadingModule(path);
}

void PlugInHost::Retire(ModuleId module, UniqueModule mapped) {
  modules_.Release(module, !mapped);
  // Never freed: a thread of the module's own may still run its code until the process ends.
  static_cast<void>(mapped.release());
}

void PlugInHost::EndProgram() {
  if (guard_.AbandonedCode()) TerminateProcess(GetCurrentProcess(), 0);
  constexpr DWORD kExitMilliseconds = 3000;
  watchdog_.EndWithin(kExitMilliseconds);
  // The threads of plug-ins end here, before the program's own objects go, which their code
  // may still reach through the trampolines.
  ExitProcess(0);
}

void PlugInHost::ReportFault(const Contained& fault) {
  if (quarantine_.TakeOutOfService(fault.culprit)) {
    unshownFaults_.push_back(FaultMessage(modules_.Path(fault.culprit), fault.outcome));
  }
}

void PlugInHost::ShowReportedFaults() {
  for (Contained fault = faults_.Take(); fault.culprit != kNoModule; fault = faults_.Take()) {
    ReportFault(fault);
  }
  while (!unshownFaults_.empty()) {
    const std::string message = std::move(unshownFaults_.front());
    unshownFaults_.erase(unshownFaults_.begin());
    ShowApplicationError(message);
  }
}

// ---- the clock's side --------------------------------------------------------------------

void PlugInHost::NotifyMinute(HWND clock, double now) {
  slots_.ForEachLoaded([&](PlugInModule& plugIn) { plugIn.Notify(clock, now); });
}

void PlugInHost::NotifyTick(HWND clock, double now) {
  slots_.ForEachLoaded([&](PlugInModule& plugIn) { plugIn.NotifyFreq(clock, now); });
}

bool PlugInHost::WantsEveryTick() {
  bool wanted = false;
  slots_.ForEachLoaded(
      [&](const PlugInModule& plugIn) { wanted = wanted || plugIn.WantsEveryTick(); });
  return wanted;
}

void PlugInHost::Release(HWND clock, WNDPROC own) {
  slots_.ReleaseAll();
  // A plug-in that subclassed the window and did not put back what it found: no window of
  // the clock may call into a module out of its slot.
  if (!clock) return;
  const auto procedure = ProcedureBehind(static_cast<std::uintptr_t>(ProcedureOf(clock)));
  if (modules_.IsReleased(modules_.FindModuleAt(procedure))) {
    SetWindowLongPtrA(clock, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
  }
}

// ---- the settings dialog's side ------------------------------------------------------------

std::vector<std::string> PlugInHost::Discover() {
  folder_ = ProgramDirectoryW();
  directory_ = Narrowed(folder_);
  return ListPlugInFiles(folder_);
}

void PlugInHost::Load(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const std::string path = PathOf(name);
    if (SkippedThisRun(path)) continue;  // the user's safe start: listed, not loaded
    try {
      slots_.Add(LoadModule(name));
    } catch (const PlugInFault& fault) {
      ShowApplicationError(fault.what());
    }
  }
}

std::unique_ptr<PlugInModule> PlugInHost::LoadModule(const std::string& name) {
  const std::string path = PathOf(name);
  const std::wstring file = JoinWidePath(folder_, Widened(name));
  const Processor processor = ProcessorOfFile(file);
  const bool otherProcessor = processor != Processor::kUnknown && processor != kOwnProcessor;
  RegistrySettingsBackend store;
  if (otherProcessor || ChosenApart(store, name)) {
    return apart_.Start(path, file, otherProcessor ? processor : kOwnProcessor, clock_);
  }
  return LoadPlugIn(path, file);
}

std::string PlugInHost::PathOf(std::string_view name) const {
  return JoinPluginPath(directory_, name);
}

std::optional<std::string> PlugInHost::Describe(std::string_view name) {
  std::optional<std::string> description;
  slots_.WithModule(PathOf(name),
                    [&](PlugInModule& plugIn) { description = plugIn.Description(); });
  return description;
}

bool PlugInHost::ShowProperties(std::string_view name, HWND hiddenMeanwhile) {
  return slots_.WithModule(PathOf(name), [&](PlugInModule& plugIn) {
    ShowWindow(hiddenMeanwhile, SW_HIDE);
    plugIn.SetProps();
    ShowWindow(hiddenMeanwhile, SW_SHOW);
  });
}

}  // namespace vo::win

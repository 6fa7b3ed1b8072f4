// The program's entry: one copy only, the application title, the windows in their order,
// the message loop.

// The common controls header needs the system header before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <exception>

#include "Panel/win/ClockPanel.h"
#include "PlugIns/win/ContainedLoop.h"
#include "PlugIns/win/PlugInHost.h"
#include "about/win/AboutPanel.h"
#include "forms/ClockForm.h"
#include "setting/win/SettingPanel.h"
#include "support/win/Application.h"
#include "support/win/ProcessRules.h"
#include "support/win/SafeStart.h"
#include "support/win/SystemLibrary.h"

namespace {

// The About box as the clock's menu shows it.
class AboutBox final : public vo::win::ModalBox {
 public:
  vo::win::TAboutPanel panel;
  void ShowModal() override { panel.ShowModal(); }
};

// The dialogs' tabs and hints come from the common controls library. Bound here rather than
// imported, it loads after the strip is painted instead of before the program starts.
void BindCommonControls() {
  using Init = BOOL WINAPI(const INITCOMMONCONTROLSEX*);
  if (auto* init = vo::win::LateBound<Init>("comctl32.dll", "InitCommonControlsEx")) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
    init(&controls);
  }
}

// The run record names the plug-in module at risk whenever the host knows one, so that a
// start after an end that went wrong can leave that module out.
class RunRecordKeeper final : public vo::win::HostObserver {
 public:
  void LoadingModule(const char* path) override { vo::win::NoteModuleAtRisk(path); }
  void FatalFault(const char* path, DWORD) override {
    if (path) vo::win::NoteModuleAtRisk(path);
  }
  void BlockedInSystem(const char* path) override { vo::win::NoteModuleAtRisk(path); }
};

// The program's end, after the message loop and at the end of the logon session alike: the
// run record says the run ended well, and code a plug-in left half-run may hold a lock that
// the normal end of a process would wait for.
void EndTheRun(vo::win::PlugInHost& plugIns) {
  vo::win::EndRunCleanly();
  plugIns.EndProgram();
}

// Any top-level window of the clock's class, visible or hidden, means a copy is running.
bool AnotherCopyRuns() { return FindWindowA(vo::forms::clock::kClassName, nullptr) != nullptr; }

int RunClock(HINSTANCE instance) {
  using namespace vo::win;
  Application& application = Application::Instance();
  application.Initialize(instance);
  // Made before the clock, it outlives it: the clock's end comes before the modules' unload.
  static PlugInHost plugIns;
  application.SetSessionEnd([] {
    EndTheRun(plugIns);
    ExitProcess(0);
  });

  if (AnotherCopyRuns()) {
    MessageBoxA(application.Window(), vo::forms::clock::kAlreadyRunning, "", MB_OK | MB_ICONSTOP);
    return 0;
  }

  static TClockPanel clock;  // lives until the process ends, like the other windows
  clock.Create(instance, application.Window());
  application.SetMainWindow(clock.Handle());
  // The user sees the clock now; the rest of start-up happens behind it, and its first tick
  // comes after all of it, from the message loop.
  clock.ShowFirstFrame();
  // After an end that went wrong the user may leave the plug-ins out, this once.
  BeginSafeStart(application.Window());
  plugIns.Start([] { clock.SaveLastPlace(); });
  static RunRecordKeeper record;
  plugIns.Observe(&record);
  plugIns.WatchClock(clock.Handle());
  clock.UsePlugIns(&plugIns);
  plugIns.OnAbandonedTurn([] { clock.AfterAbandonedTurn(); });

  BindCommonControls();
  // The settings dialog comes second: it loads the options and then the plug-ins, into the
  // host the clock already notifies. A failure there or in the About box is reported and
  // start-up goes on with what was made. The clock reaches the dialog before it is made: an
  // error box, or a plug-in's VpiEnable, may pump messages meanwhile, and the minute's check
  // belongs to whichever tick comes first.
  static TSettingPanel setting;
  clock.Attach(&setting, nullptr);
  setting.UsePlugIns(&plugIns);
  ShowingErrors([instance] { setting.Create(instance, clock); });

  static AboutBox about;
  ShowingErrors([&] {
    about.panel.Create(instance, application.Window());
    clock.Attach(&setting, &about);
  });

  RunContainedMessageLoop();
  EndTheRun(plugIns);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  vo::win::ApplyProcessRules();
  // Nothing may escape into the runtime: the exit code is 0 on every path. A start that fails
  // before the clock runs says why.
  try {
    return RunClock(instance);
  } catch (const std::exception& error) {
    vo::win::ShowApplicationError(error.what());
  } catch (...) {
  }
  return 0;
}

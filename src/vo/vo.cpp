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
#include "forms/Resources.h"
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

// Any top-level window of the clock's class, visible or hidden, means a copy is running.
bool AnotherCopyRuns() { return FindWindowA(vo::forms::clock::kClassName, nullptr) != nullptr; }

// The run: the plug-in host and the windows, in the order they are made.
class ClockRun {
 public:
  int Run(HINSTANCE instance);

 private:
  void EndTheRun();
  void MakeDialogs(HINSTANCE instance);

  // Made before the clock, it outlives it: the clock's end comes before the modules' unload.
  vo::win::PlugInHost plugIns_;
  vo::win::TClockPanel clock_;
  RunRecordKeeper record_;
  vo::win::TSettingPanel setting_;
  AboutBox about_;
};

// Static, not on the stack of the clock's thread: a plug-in may end that thread, after which
// the last place is still saved from another. The host's callbacks find the run here.
ClockRun& TheRun() {
  static ClockRun run;
  return run;
}

int ClockRun::Run(HINSTANCE instance) {
  using namespace vo::win;
  Application& application = Application::Instance();
  application.Initialize(instance, IDI_APP);
  application.SetSessionEnd([] {
    TheRun().EndTheRun();
    ExitProcess(0);
  });

  if (AnotherCopyRuns()) {
    MessageBoxA(application.Window(), vo::forms::clock::kAlreadyRunning, "", MB_OK | MB_ICONSTOP);
    return 0;
  }

  clock_.Create(instance, application.Window());
  application.SetMainWindow(clock_.Handle());
  // The user sees the clock now; the rest of start-up happens behind it, and its first tick
  // comes after all of it, from the message loop.
  clock_.ShowFirstFrame();
  // After an end that went wrong the user may leave the plug-ins out, this once.
  BeginSafeStart(application.Window());
  // Should a plug-in end the clock's thread, the last place is saved from another.
  plugIns_.Start([] { TheRun().clock_.SaveLastPlace(); });
  plugIns_.Observe(&record_);
  plugIns_.WatchClock(clock_.Handle());
  clock_.UsePlugIns(&plugIns_);
  plugIns_.OnAbandonedTurn([] { TheRun().clock_.AfterAbandonedTurn(); });

  BindCommonControls();
  MakeDialogs(instance);

  RunContainedMessageLoop();
  EndTheRun();
  return 0;
}

// The program's end, after the message loop and at the end of the logon session alike: the
// run record says the run ended well, and code a plug-in left half-run may hold a lock that
// the normal end of a process would wait for.
void ClockRun::EndTheRun() {
  vo::win::EndRunCleanly();
  plugIns_.EndProgram();
}

// The settings dialog comes second: it loads the options and then the plug-ins, into the
// host the clock already notifies. A failure there or in the About box is reported and
// start-up goes on with what was made. The clock reaches the dialog before it is made: an
// error box, or a plug-in's VpiEnable, may pump messages meanwhile, and the minute's check
// belongs to whichever tick comes first.
void ClockRun::MakeDialogs(HINSTANCE instance) {
  using namespace vo::win;
  clock_.Attach(&setting_, nullptr);
  setting_.UsePlugIns(&plugIns_);
  ShowingErrors([&] { setting_.Create(instance, clock_); });
  ShowingErrors([&] {
    about_.panel.Create(instance, Application::Instance().Window());
    clock_.Attach(&setting_, &about_);
  });
}

int RunClock(HINSTANCE instance) { return TheRun().Run(instance); }

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

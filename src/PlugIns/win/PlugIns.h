// One loaded plug-in module, and finding the modules beside the executable.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "PlugIns/win/PlugInGuard.h"
#include "PlugIns/win/PlugInModule.h"
#include "support/win/Handles.h"
#include "vo_plugin.h"

namespace vo::win {

// A module whose code runs inside the clock, under the guard.
class TVoPlugInsIF final : public PlugInModule {
 public:
  // Loads the module by its full path and resolves its six entry points; a module that
  // cannot be loaded leaves them all null. path is the name the module goes by (in the
  // ANSI code page, as the lists and boxes show it); file is the file itself, where its
  // folder's name holds characters the code page lacks (empty: path widened).
  explicit TVoPlugInsIF(std::string path, std::wstring file = {});
  // Unloads the module; VpiDisable is the table's business, not the destructor's. A module
  // whose code has run stays mapped until the program ends (the host keeps it): its code may
  // still be on the stack (a window message that came in through a procedure of its) or
  // hooked into a window, long after VpiDisable.
  ~TVoPlugInsIF() override;

  // A module without VpiDiscription (or one that failed to load) is not a plug-in.
  bool Invalid() const { return discription_ == nullptr; }
  const std::string& FileName() const override { return fileName_; }
  bool InService() const override;
  bool RunsApart() const override { return false; }

  // Each call is skipped when the module lacks that export or is out of service. A fault or
  // hang inside the module ends the call with PlugInFault, once the module is out of service;
  // one in another module's code (a window procedure of its, reached from this call) costs
  // that module its service and this call its end, and is reported as such (ReportFault).
  void Enable() override;
  void Disable() override;
  void Notify(HWND clock, double now) override;
  void NotifyFreq(HWND clock, double now) override;
  bool HasNotify() const { return notify_ != nullptr; }
  bool HasNotifyFreq() const { return notifyFreq_ != nullptr; }
  bool WantsEveryTick() const override { return HasNotifyFreq(); }
  std::string Description() override;
  void SetProps() override;

 private:
  template <class Call>
  void Guard(Call&& call) const;

  UniqueModule module_;
  ModuleId id_ = kNoModule;
  mutable bool ran_ = false;  // the module's code has been called
  std::string fileName_;
  VpiEnableProc enable_ = nullptr;
  VpiDisableProc disable_ = nullptr;
  VpiNotifyProc notify_ = nullptr;
  VpiNotifyFreqProc notifyFreq_ = nullptr;
  VpiDiscriptionProc discription_ = nullptr;
  VpiSetPropsProc setProps_ = nullptr;
};

// The module at path if it is a valid plug-in, else null (the library is unloaded again).
std::unique_ptr<TVoPlugInsIF> LoadPlugIn(const std::string& path, const std::wstring& file = {});

// Makes directory the process's current directory (for the rest of the run) and lists the
// plain files there named vo*.DLL: read-only and archive files count, hidden and system
// files and directories do not. Sorted case-insensitively, as a sorted list box shows them;
// the names in the ANSI code page. Empty if the directory cannot be entered.
std::vector<std::string> ListPlugInFiles(const std::wstring& directory);

// The full path of vo.exe in the ANSI code page, "" if the system cannot tell it.
std::string ThisExecutablePath();

// The directory of vo.exe in the ANSI code page: "C:\vo" for C:\vo\vo.exe, "C:\" for
// C:\vo.exe.
std::string ThisExecutableDirectory();

}  // namespace vo::win

// One loaded plug-in module, and finding the modules beside the executable.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/win/Handles.h"
#include "vo_plugin.h"

namespace vo::win {

class TVoPlugInsIF {
 public:
  // Loads the module by its full path and resolves its six entry points; a module that
  // cannot be loaded leaves them all null.
  explicit TVoPlugInsIF(std::string path);
  // Unloads the module; VpiDisable is the table's business, not the destructor's.
  ~TVoPlugInsIF() = default;
  TVoPlugInsIF(const TVoPlugInsIF&) = delete;
  TVoPlugInsIF& operator=(const TVoPlugInsIF&) = delete;

  // A module without VpiDiscription (or one that failed to load) is not a plug-in.
  bool Invalid() const { return discription_ == nullptr; }
  const std::string& FileName() const { return fileName_; }

  // Each call is skipped when the module lacks that export.
  void Enable() const;
  void Disable() const;
  void Notify(HWND clock, double now) const;
  void NotifyFreq(HWND clock, double now) const;
  bool HasNotify() const { return notify_ != nullptr; }
  bool HasNotifyFreq() const { return notifyFreq_ != nullptr; }
  // The module's description, copied at once; "" when it gives none.
  std::string Description() const;
  void SetProps() const;

 private:
  UniqueModule module_;
  std::string fileName_;
  VpiEnableProc enable_ = nullptr;
  VpiDisableProc disable_ = nullptr;
  VpiNotifyProc notify_ = nullptr;
  VpiNotifyFreqProc notifyFreq_ = nullptr;
  VpiDiscriptionProc discription_ = nullptr;
  VpiSetPropsProc setProps_ = nullptr;
};

// The module at path if it is a valid plug-in, else null (the library is unloaded again).
std::unique_ptr<TVoPlugInsIF> LoadPlugIn(const std::string& path);

// Makes directory the process's current directory (for the rest of the run) and lists the
// plain files there named vo*.DLL: read-only and archive files count, hidden and system
// files and directories do not. Sorted case-insensitively, as a sorted list box shows them.
// Empty if the directory cannot be entered.
std::vector<std::string> ListPlugInFiles(const std::string& directory);

// The directory of vo.exe: "C:\vo" for C:\vo\vo.exe, "C:\" for C:\vo.exe.
std::string ThisExecutableDirectory();

// The process's current directory as the system reports it.
std::string CurrentDirectory();

}  // namespace vo::win

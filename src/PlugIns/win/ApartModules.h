// The plug-in modules that run apart: each in a helper process of its own, built for the
// module's processor (vohost32.exe, vohost64.exe beside vo.exe), all of them in one job
// object that ends them with the clock, however the clock ends.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "PlugIns/Processor.h"
#include "PlugIns/win/PlugInModule.h"
#include "support/win/Handles.h"

namespace vo::win {

class ModuleApart;

class ApartModules {
 public:
  ApartModules() = default;
  ApartModules(const ApartModules&) = delete;
  ApartModules& operator=(const ApartModules&) = delete;
  ~ApartModules();

  // Starts a helper for the module at path (ANSI name as lists and boxes show it; file: the
  // wide path of the file itself) and has it load the module. Null when the file is not a
  // plug-in (it cannot be loaded, or lacks VpiDiscription) or no helper for its processor
  // could start; a load that hangs or faults costs one box naming the module, and null.
  // The clock window receives the messages the module sends.
  std::unique_ptr<PlugInModule> Start(const std::string& path, const std::wstring& file,
                                      Processor processor, HWND clock);

  // Whether the window belongs to the process of one of the helpers.
  bool IsHelperWindow(HWND window) const;

 private:
  friend class ModuleApart;
  bool Prepare();
  static LRESULT CALLBACK NoticeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void HelperEnded(DWORD processId);

  // Helpers in here end when the clock's process ends, however it ends.
  UniqueKernelHandle job_;
  // The clock's own process, inherited by each helper, which ends when it ends.
  UniqueKernelHandle clockProcess_;
  // A message-only window told of each helper that ended.
  HWND notices_ = nullptr;
  std::vector<ModuleApart*> running_;
};

}  // namespace vo::win

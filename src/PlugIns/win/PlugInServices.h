// What the clock window and the settings dialog ask of the plug-in host (PlugInHost.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vo::win {

// What the clock window asks of the host.
class ClockPlugIns {
 public:
  // VpiNotify, VpiNotifyFreq to every module in service, in slot order. A module may close
  // the clock from inside its call; a fault in it (PlugInFault) ends the walk and reaches
  // the caller.
  virtual void NotifyMinute(HWND clock, double now) = 0;
  virtual void NotifyTick(HWND clock, double now) = 0;
  // Whether a module in service wants every tick (exports VpiNotifyFreq).
  virtual bool WantsEveryTick() = 0;
  // Disables and unloads every module (see SlotTable::ReleaseAll); a window procedure left
  // pointing into one of them is replaced by own.
  virtual void Release(HWND clock, WNDPROC own) = 0;
  // Whether a window that sent the clock data is one of the helpers' that run modules apart.
  virtual bool FromOwnHelper(HWND sender) = 0;

 protected:
  ~ClockPlugIns() = default;
};

// What the settings dialog asks of the host. A module is named by its file name as Discover
// listed it (ASCII letters compared case-insensitively), in the program's own folder.
class PlugInShelf {
 public:
  // The plug-in files in the program's folder (see ListPlugInFiles), in the order the list
  // shows them.
  virtual std::vector<std::string> Discover() = 0;
  // Loads and enables the modules of these names, in this order, but for those the user's
  // safe start leaves out; a module's fault in VpiEnable is shown and costs that module only.
  virtual void Load(const std::vector<std::string>& names) = 0;
  // The description of the module in service by that name; none when no such module is
  // there. A fault in it throws PlugInFault.
  virtual std::optional<std::string> Describe(std::string_view name) = 0;
  // Shows the module's own settings, with hiddenMeanwhile hidden while they take the screen;
  // false when no module in service has that name. A fault in it throws PlugInFault (the
  // window stays hidden).
  virtual bool ShowProperties(std::string_view name, HWND hiddenMeanwhile) = 0;

 protected:
  ~PlugInShelf() = default;
};

}  // namespace vo::win

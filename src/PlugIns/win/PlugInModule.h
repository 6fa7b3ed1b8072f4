// One plug-in module in its slot, as the slot table, the tick, the plug-in page and the
// teardown see it: whether its code runs inside the clock (TVoPlugInsIF) or in a helper
// process of its own (ApartModules) is the module's business alone.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "support/Failure.h"

namespace vo::win {

// A call into a plug-in faulted or hung; what() is the text for the user's error box.
class PlugInFault : public Failure {
 public:
  using Failure::Failure;
  // A fault of the module at path while it ran inside the clock: its box offers to run the
  // module apart from the next start on.
  PlugInFault(std::string message, std::string insideModule)
      : Failure(std::move(message)), insideModule_(std::move(insideModule)) {}

  // The path of the module that faulted inside the clock; "" when it ran apart.
  const std::string& InsideModule() const { return insideModule_; }

 private:
  std::string insideModule_;
};

class PlugInModule {
 public:
  using Fault = PlugInFault;

  PlugInModule() = default;
  PlugInModule(const PlugInModule&) = delete;
  PlugInModule& operator=(const PlugInModule&) = delete;
  // Unloads the module (or ends its helper); VpiDisable is the table's business.
  virtual ~PlugInModule() = default;

  // The full path the module was loaded by, in the ANSI code page.
  virtual const std::string& FileName() const = 0;
  // A module that faulted or hung once is out of service for the rest of the run.
  virtual bool InService() const = 0;
  // Whether its code runs in a helper process rather than inside the clock.
  virtual bool RunsApart() const = 0;

  // Each call is skipped when the module lacks that export or is out of service. A fault or
  // hang ends the call with PlugInFault, once the module is out of service.
  virtual void Enable() = 0;
  virtual void Disable() = 0;
  // On a tick that shows a new minute Notify comes first, then NotifyFreq with the same value;
  // every other tick has NotifyFreq alone.
  virtual void Notify(HWND clock, double now) = 0;
  virtual void NotifyFreq(HWND clock, double now) = 0;
  // Whether the module wants every tick (exports VpiNotifyFreq).
  virtual bool WantsEveryTick() const = 0;
  // The module's description, copied at once; "" when it gives none.
  virtual std::string Description() = 0;
  // Its own settings; the caller hides the settings dialog meanwhile.
  virtual void SetProps() = 0;
};

}  // namespace vo::win

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "PlugIns/SlotTable.h"

namespace vo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Log = std::vector<std::string>;

class FakeModule {
 public:
  using Fault = std::runtime_error;

  FakeModule(std::string path, Log& log) : path_(std::move(path)), log_(log) {}
  ~FakeModule() { log_.push_back("unload " + path_); }

  void Enable() { Call("enable ", onEnable); }
  void Disable() { Call("disable ", onDisable); }
  void Notify() { Call("notify ", onNotify); }
  const std::string& FileName() const { return path_; }
  bool InService() const { return inService_; }

  std::function<void()> onEnable, onDisable, onNotify;

 private:
  // As the real module does: a fault puts it out of service before it reaches the table.
  void Call(const char* what, const std::function<void()>& hook) {
    log_.push_back(what + path_);
    try {
      if (hook) hook();
    } catch (const Fault&) {
      inService_ = false;
      throw;
    }
  }

  std::string path_;
  Log& log_;
  bool inService_ = true;
};

using Table = SlotTable<FakeModule>;

class SlotTableTest : public ::testing::Test {
 protected:
  std::unique_ptr<FakeModule> Make(const std::string& path) {
    return std::make_unique<FakeModule>(path, log);
  }
  // Fills the table with m0 .. m(count-1).
  void Fill(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) table.Add(Make("m" + std::to_string(i)));
  }
  // The module in service at path; the test fails at once without one.
  FakeModule& Loaded(const std::string& path) {
    FakeModule* found = nullptr;
    table.WithModule(path, [&](FakeModule& module) { found = &module; });
    if (!found) throw std::logic_error("no module in service at " + path);
    return *found;
  }
  Log Notified() {
    log.clear();
    table.ForEachLoaded([](FakeModule& module) { module.Notify(); });
    return log;
  }

  Log log;  // outlives the table: modules write to it when destroyed
  Table table;
};

TEST_F(SlotTableTest, AddEnablesEachModuleOnceInOrder) {
  EXPECT_TRUE(table.Add(Make("C:\\vo\\voA.DLL")));
  EXPECT_TRUE(table.Add(Make("C:\\vo\\vob.dll")));
  EXPECT_FALSE(table.Add(nullptr));

  EXPECT_THAT(log, ElementsAre("enable C:\\vo\\voA.DLL", "enable C:\\vo\\vob.dll"));
  EXPECT_THAT(Notified(), ElementsAre("notify C:\\vo\\voA.DLL", "notify C:\\vo\\vob.dll"));
}

TEST_F(SlotTableTest, ModuleBeyondThe32ndSlotIsUnloadedWithoutEnableOrDisable) {
  Fill(Table::kSlotCount);
  log.clear();

  EXPECT_FALSE(table.Add(Make("extra")));
  EXPECT_THAT(log, ElementsAre("unload extra"));
  EXPECT_FALSE(table.InService("extra"));
  EXPECT_EQ(Notified().size(), Table::kSlotCount);
}

TEST_F(SlotTableTest, LookupComparesPathsIgnoringAsciiCase) {
  table.Add(Make("C:\\Tools\\voClock.DLL"));
  table.Add(Make("C:\\Tools\\voOther.dll"));

  struct Case {
    const char* path;
    const char* found;  // null: not found
  };
  const Case cases[] = {
      {"C:\\Tools\\voClock.DLL", "C:\\Tools\\voClock.DLL"},
      {"c:\\TOOLS\\VOCLOCK.dll", "C:\\Tools\\voClock.DLL"},
      {"c:\\tools\\voother.DLL", "C:\\Tools\\voOther.dll"},
      {"C:\\Tools\\voClock.DL", nullptr},
      {"C:\\Tools\\voClock.DLL ", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    std::string found;
    const bool there = table.WithModule(c.path, [&](FakeModule& m) { found = m.FileName(); });
    EXPECT_EQ(there, c.found != nullptr) << c.path;
    EXPECT_EQ(table.InService(c.path), c.found != nullptr) << c.path;
    if (c.found) {
      EXPECT_EQ(found, c.found) << c.path;
    }
  }
}

TEST_F(SlotTableTest, LookupDoesNotFoldTrailBytesThatLookLikeLetters) {
  table.Add(Make("C:\\vo\\vo\x83\x41.dll"));  // the trail byte is 'A'
  EXPECT_FALSE(table.InService("C:\\vo\\vo\x83\x61.dll"));
  EXPECT_TRUE(table.InService("C:\\VO\\VO\x83\x41.DLL"));
}

TEST_F(SlotTableTest, ReleaseAllDisablesAndUnloadsInSlotOrder) {
  Fill(3);
  log.clear();

  table.ReleaseAll();
  EXPECT_THAT(log, ElementsAre("disable m0", "unload m0", "disable m1", "unload m1", "disable m2",
                               "unload m2"));
  EXPECT_FALSE(table.InService("m0"));
  EXPECT_THAT(Notified(), IsEmpty());

  log.clear();
  table.ReleaseAll();  // a second close query finds nothing left
  EXPECT_THAT(log, IsEmpty());
}

TEST_F(SlotTableTest, DestroyingTheTableDisablesWhatIsStillLoaded) {
  {
    Table local;
    local.Add(Make("a"));
    local.Add(Make("b"));
  }
  EXPECT_THAT(
      log, ElementsAre("enable a", "enable b", "disable a", "unload a", "disable b", "unload b"));
}

// A module's message box in VpiDisable pumps the timer: the ticks and the plug-in page that
// run meanwhile must reach no module, neither the ones already unloaded nor the rest.
TEST_F(SlotTableTest, NothingReachesTheModulesWhileTheyAreReleased) {
  Fill(3);
  Log walkedDuringDisable;
  bool usedDuringDisable = false;
  Loaded("m1").onDisable = [&] {
    table.ForEachLoaded(
        [&](FakeModule& module) { walkedDuringDisable.push_back(module.FileName()); });
    usedDuringDisable = table.WithModule("m2", [](FakeModule&) {});
    table.ReleaseAll();  // a second close query meanwhile changes nothing
  };
  log.clear();

  table.ReleaseAll();
  EXPECT_THAT(walkedDuringDisable, IsEmpty());
  EXPECT_FALSE(usedDuringDisable);
  EXPECT_THAT(log, ElementsAre("disable m0", "unload m0", "disable m1", "unload m1", "disable m2",
                               "unload m2"));
}

// A module that faults once is never called again and keeps its slot; the fault ends the
// walk it happened in.
TEST_F(SlotTableTest, FaultingModuleIsOutOfServiceButKeepsItsSlot) {
  Fill(3);
  Loaded("m1").onNotify = [] { throw FakeModule::Fault("m1 faulted"); };

  log.clear();
  EXPECT_THROW(table.ForEachLoaded([](FakeModule& module) { module.Notify(); }), FakeModule::Fault);
  EXPECT_THAT(log, ElementsAre("notify m0", "notify m1"));

  EXPECT_THAT(Notified(), ElementsAre("notify m0", "notify m2"));
  EXPECT_FALSE(table.WithModule("m1", [](FakeModule&) { FAIL(); }));
  EXPECT_FALSE(table.InService("m1"));
  EXPECT_TRUE(table.InService("m2"));

  table.Add(Make("m3"));  // the next free slot is still slot 3
  log.clear();
  table.ReleaseAll();
  EXPECT_THAT(log, ElementsAre("disable m0", "unload m0", "unload m1", "disable m2", "unload m2",
                               "disable m3", "unload m3"));
}

TEST_F(SlotTableTest, FaultInEnableCostsThatModuleOnly) {
  auto faulty = Make("bad");
  faulty->onEnable = [] { throw FakeModule::Fault("bad faulted"); };
  table.Add(Make("m0"));
  EXPECT_THROW(table.Add(std::move(faulty)), FakeModule::Fault);
  table.Add(Make("m2"));

  EXPECT_THAT(Notified(), ElementsAre("notify m0", "notify m2"));
  log.clear();
  table.ReleaseAll();
  EXPECT_THAT(log, ElementsAre("disable m0", "unload m0", "unload bad", "disable m2", "unload m2"));
}

TEST_F(SlotTableTest, FaultInDisableDoesNotStopTheClose) {
  Fill(2);
  Loaded("m0").onDisable = [] { throw FakeModule::Fault("m0 faulted"); };
  log.clear();

  table.ReleaseAll();
  EXPECT_THAT(log, ElementsAre("disable m0", "unload m0", "disable m1", "unload m1"));
}

// A module that closes the clock from inside a notification must not be unloaded under its
// own feet: the release waits for the walk, and the walk stops notifying.
TEST_F(SlotTableTest, ReleaseRequestedDuringWalkRunsAfterTheCallReturns) {
  Fill(3);
  Loaded("m1").onNotify = [&] { table.ReleaseAll(); };

  EXPECT_THAT(Notified(), ElementsAre("notify m0", "notify m1", "disable m0", "unload m0",
                                      "disable m1", "unload m1", "disable m2", "unload m2"));
}

TEST_F(SlotTableTest, ReleaseRequestedInsideWithModuleWaitsForIt) {
  Fill(2);
  log.clear();

  const bool found = table.WithModule("M1", [&](FakeModule& module) {
    table.ReleaseAll();
    module.Notify();  // still loaded here
  });
  EXPECT_TRUE(found);
  EXPECT_THAT(log, ElementsAre("notify m1", "disable m0", "unload m0", "disable m1", "unload m1"));
  EXPECT_FALSE(table.WithModule("m1", [](FakeModule&) { FAIL(); }));
}

TEST_F(SlotTableTest, ReleaseRequestedFromEnableWaitsForEnableToReturn) {
  auto module = Make("m0");
  module->onEnable = [&] { table.ReleaseAll(); };

  table.Add(std::move(module));
  EXPECT_THAT(log, ElementsAre("enable m0", "disable m0", "unload m0"));
}

}  // namespace
}  // namespace vo

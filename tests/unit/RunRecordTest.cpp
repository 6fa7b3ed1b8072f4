#include <gtest/gtest.h>

#include <string>

#include "MemorySettingsStore.h"
#include "support/RunRecord.h"

namespace vo {
namespace {

constexpr std::string_view kModule = "C:\\vo\\voFault.dll";

TEST(RunRecord, OnlyARunWithoutItsCleanEndIsAskedAbout) {
  MemorySettingsBackend store;
  EXPECT_EQ("", SafeStartQuestion(BeginRun(store)));  // the first start ever
  const PreviousRun killed = BeginRun(store);
  EXPECT_TRUE(killed.endedBadly && killed.module.empty());
  EXPECT_TRUE(PlugInSkip::After(killed, true).Skips(kModule));
  EXPECT_FALSE(PlugInSkip::After(killed, false).Skips(kModule));
  EndRun(store);
  EXPECT_FALSE(store.Get(kClockKeyPath, kRunRecordName)) << "a clean end left a trace";

  store.PutDword(kClockKeyPath, kRunRecordName, 1);  // not ours: no question, written over
  EXPECT_FALSE(BeginRun(store).endedBadly);
  store.SetReadOnly(kClockKeyPath);
  EXPECT_NO_THROW(EndRun(store));
}

TEST(RunRecord, TheModuleAtRiskIsNamedAndAloneLeftOut) {
  MemorySettingsBackend store;
  store.PutText(kClockKeyPath, kRunRecordName, kModule);
  const PreviousRun previous = BeginRun(store);
  EXPECT_NE(std::string::npos, SafeStartQuestion(previous).find(" voFault.dll "));
  EXPECT_TRUE(PlugInSkip::After(previous, true).Skips("c:\\VO\\vofault.DLL"));
  EXPECT_FALSE(PlugInSkip::After(previous, true).Skips("C:\\vo\\voRecA.DLL"));
  // "\x95\x5C" is one double-byte character: its 0x5C does not cut the name.
  store.PutText(kClockKeyPath, kRunRecordName, "C:\\vo\\\x95\\x.dll");
  EXPECT_NE(std::string::npos, SafeStartQuestion(BeginRun(store)).find(" \x95\\x.dll "));
}

}  // namespace
}  // namespace vo

#include <gtest/gtest.h>

#include <string>

#include "MemorySettingsStore.h"
#include "setting/SignIn.h"
#include "support/RunRecord.h"

namespace vo {
namespace {

constexpr std::string_view kModule = "C:\\vo\\voFault.dll";

std::optional<StoredValue> Record(const MemorySettingsBackend& store) {
  return store.Get(kClockKeyPath, kRunRecordName);
}

TEST(RunRecord, OnlyAnEndWithoutTheCleanEndAsks) {
  MemorySettingsBackend store;
  const PreviousRun first = BeginRun(store);  // the first start ever
  EXPECT_FALSE(first.endedBadly);
  EXPECT_EQ("", SafeStartQuestion(first));
  ASSERT_TRUE(Record(store));

  const PreviousRun afterKill = BeginRun(store);  // the last run never ended cleanly
  EXPECT_TRUE(afterKill.endedBadly);
  EXPECT_EQ("", afterKill.module);
  EXPECT_TRUE(PlugInSkip::After(afterKill, true).Skips("C:\\vo\\voRecA.DLL"));
  EXPECT_FALSE(PlugInSkip::After(afterKill, false).Skips("C:\\vo\\voRecA.DLL"));

  EndRun(store);
  EXPECT_FALSE(Record(store)) << "a clean end leaves a trace";
  EXPECT_FALSE(BeginRun(store).endedBadly);
}

TEST(RunRecord, AModuleAtRiskIsNamedAndAloneLeftOut) {
  MemorySettingsBackend store;
  store.PutText(kClockKeyPath, kRunRecordName, kModule);
  const PreviousRun previous = BeginRun(store);
  ASSERT_TRUE(previous.endedBadly);
  const std::string question = SafeStartQuestion(previous);
  EXPECT_NE(std::string::npos, question.find(" voFault.dll "));
  EXPECT_EQ(std::string::npos, question.find("C:\\vo")) << "the name, not the path";

  const PlugInSkip skip = PlugInSkip::After(previous, true);
  EXPECT_TRUE(skip.Skips("c:\\VO\\vofault.DLL"));
  EXPECT_FALSE(skip.Skips("C:\\vo\\voRecA.DLL"));
  EXPECT_FALSE(PlugInSkip::After(previous, false).Skips(kModule));
  EXPECT_FALSE(PlugInSkip().Skips(kModule));

  // A 0x5C that ends a double-byte character ("\x95\x5C" is one) does not cut the name.
  store.PutText(kClockKeyPath, kRunRecordName, "C:\\vo\\\x95\\x.dll");
  EXPECT_NE(std::string::npos, SafeStartQuestion(BeginRun(store)).find(" \x95\\x.dll "));
}

TEST(RunRecord, AForeignOrUnwritableRecordNeverStopsTheStart) {
  MemorySettingsBackend store;
  store.PutDword(kClockKeyPath, kRunRecordName, 1);  // not ours: no box, written over
  EXPECT_FALSE(BeginRun(store).endedBadly);
  EXPECT_TRUE(BeginRun(store).endedBadly);

  store.SetReadOnly(kClockKeyPath);
  EXPECT_NO_THROW(BeginRun(store));
  EXPECT_NO_THROW(EndRun(store));
  store.DenyAccess(kClockKeyPath);
  EXPECT_FALSE(BeginRun(store).endedBadly);
}

constexpr std::string_view kExe = "C:\\Program Files\\vo\\vo.exe";

TEST(SignIn, TheRunValueNamesThisProgramQuotedOrNot) {
  EXPECT_TRUE(NamesProgram(SignInCommand(kExe), kExe));
  EXPECT_TRUE(NamesProgram("\"c:\\program files\\VO\\VO.EXE\" /min", kExe));
  EXPECT_TRUE(NamesProgram("C:\\vo\\vo.exe -x", "C:\\vo\\vo.exe"));
  EXPECT_FALSE(NamesProgram("C:\\Program Files\\vo\\vo.exe", kExe)) << "unquoted, cut at space";
  EXPECT_FALSE(NamesProgram("\"C:\\other\\vo.exe\"", kExe));
  EXPECT_FALSE(NamesProgram("\"C:\\Program Files\\vo\\vo.exe2\"", kExe));
  EXPECT_FALSE(NamesProgram("", kExe));
}

TEST(SignIn, WritesOnlyWhatDiffersAndLeavesAnotherProgramAlone) {
  MemorySettingsBackend store;
  SetStartAtSignIn(store, kExe, false);
  EXPECT_FALSE(store.HasKey(kRunKeyPath)) << "nothing asked, nothing written";
  SetStartAtSignIn(store, kExe, true);
  EXPECT_TRUE(StartsAtSignIn(store, kExe));
  store.ClearLogs();
  SetStartAtSignIn(store, kExe, true);
  EXPECT_TRUE(store.writeLog().empty());
  SetStartAtSignIn(store, kExe, false);
  EXPECT_FALSE(store.Get(kRunKeyPath, kRunValueName));

  store.PutText(kRunKeyPath, kRunValueName, "\"C:\\other\\vo.exe\"");
  SetStartAtSignIn(store, kExe, false);
  EXPECT_TRUE(store.Get(kRunKeyPath, kRunValueName)) << "another program's value removed";
  store.PutDword(kRunKeyPath, kRunValueName, 1);
  EXPECT_FALSE(StartsAtSignIn(store, kExe));

  store.RefuseWrite(kRunKeyPath, kRunValueName);
  EXPECT_THROW(SetStartAtSignIn(store, kExe, true), ERegistryException);
}

}  // namespace
}  // namespace vo

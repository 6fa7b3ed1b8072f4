// Checks plug-in discovery and the module wrapper against real files and real DLLs: the
// sample plug-in copied under several names, a file that is no library, a library without
// VpiDiscription, and entries the listing must skip.
//
// Usage: plugin_host_test [voSample.dll]   (default: voSample.dll beside this program)
// Prints "N passed, N failed"; exit code 1 on any failure.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PlugIns/PlugInPaths.h"
#include "PlugIns/SlotTable.h"
#include "PlugIns/win/PlugInHost.h"
#include "PlugIns/win/PlugIns.h"
#include "PlugIns/win/Thunks.h"
#include "Tally.h"
#include "support/win/ForeignString.h"
#include "support/win/ProcessRules.h"
#include "support/win/WideText.h"
#include "vo_plugin.h"

namespace {

using vo::win::TVoPlugInsIF;

std::string Join(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
  return all;
}

// The process's current directory as the system reports it.
std::string CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return {};
  std::string directory(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, directory.data());
  directory.resize(length < needed ? length : 0);
  return directory;
}

bool WriteFileText(const std::string& path, const char* text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text, lstrlenA(text), &written, nullptr);
  CloseHandle(file);
  return ok != FALSE;
}

// A fresh directory under %TEMP% with the files discovery has to sort out.
std::string MakePlugInDirectory(const std::string& sample) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string directory = vo::JoinPluginPath(temp, "vo_plugin_host_test");
  CreateDirectoryA(directory.c_str(), nullptr);
  auto at = [&](const char* name) { return vo::JoinPluginPath(directory, name); };
  // Left over from an earlier run: read-only or hidden copies would not be overwritten.
  for (const char* name : {"voReadOnly.dll", "voHidden.dll"}) {
    SetFileAttributesA(at(name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  CopyFileA(sample.c_str(), at("vob.dll").c_str(), FALSE);
  CopyFileA(sample.c_str(), at("voA.DLL").c_str(), FALSE);
  CopyFileA(sample.c_str(), at("voReadOnly.dll").c_str(), FALSE);
  SetFileAttributesA(at("voReadOnly.dll").c_str(), FILE_ATTRIBUTE_READONLY);
  CopyFileA(sample.c_str(), at("voHidden.dll").c_str(), FALSE);
  SetFileAttributesA(at("voHidden.dll").c_str(), FILE_ATTRIBUTE_HIDDEN);
  CopyFileA(sample.c_str(), at("other.dll").c_str(), FALSE);
  CreateDirectoryA(at("voFolder.dll").c_str(), nullptr);
  WriteFileText(at("voText.DLL"), "not a library");

  // A real library that is not a plug-in: any system DLL lacks VpiDiscription.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  CopyFileA(vo::JoinPluginPath(system, "version.dll").c_str(), at("voNoDesc.dll").c_str(), FALSE);
  return directory;
}

std::string ProgramDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return vo::ExecutableDirectory(path);
}

void TestListing(const std::string& directory) {
  const std::vector<std::string> names = vo::win::ListPlugInFiles(vo::win::Widened(directory));
  const std::string listed = Join(names);
  std::printf("listed: %s\n", listed.c_str());
  CHECK(listed == "voA.DLL, vob.dll, voNoDesc.dll, voReadOnly.dll, voText.DLL",
        "list: plain and read-only vo*.DLL files, case-insensitive order");
  CHECK(vo::SamePathIgnoringCase(CurrentDirectory(), directory),
        "list: the directory became the current directory");
  CHECK(vo::win::ListPlugInFiles(vo::win::Widened(directory + "\\missing")).empty(),
        "list: a missing directory lists nothing");
}

void TestWrapper(const std::string& directory) {
  const std::string samplePath = vo::JoinPluginPath(directory, "voA.DLL");
  TVoPlugInsIF sample(samplePath);
  CHECK(!sample.Invalid(), "wrapper: the sample is valid");
  CHECK(sample.FileName() == samplePath, "wrapper: keeps the path it loaded");
  CHECK(sample.HasNotify() && sample.HasNotifyFreq(),
        "wrapper: the sample has VpiNotify and VpiNotifyFreq");
  const std::string description = sample.Description();
  CHECK(description.size() > 10, "wrapper: the description is copied");
  CHECK(description.compare(0, 4, "\x83T\x83\x93") == 0,
        "wrapper: the description is Shift_JIS text");  // "サン"

  TVoPlugInsIF text(vo::JoinPluginPath(directory, "voText.DLL"));
  CHECK(text.Invalid(), "wrapper: a file that is no library is invalid");
  CHECK(text.Description() == "", "wrapper: an invalid module describes nothing");
  text.Enable();  // absent entries are skipped, not called
  text.Notify(nullptr, 0.0);
  text.SetProps();

  CHECK(vo::win::LoadPlugIn(vo::JoinPluginPath(directory, "voNoDesc.dll")) == nullptr,
        "wrapper: a library without VpiDiscription is invalid");
  CHECK(vo::win::LoadPlugIn(vo::JoinPluginPath(directory, "voGone.dll")) == nullptr,
        "wrapper: a missing file is invalid");
}

// The sample posts its telop at half past, from a buffer that is still intact afterwards.
void TestSampleTelop(const std::string& directory) {
  TVoPlugInsIF sample(vo::JoinPluginPath(directory, "vob.dll"));
  const HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  auto takeTelop = [&](std::string& text) {
    MSG message{};
    if (!PeekMessageA(&message, window, CLK_TELOP, CLK_TELOP, PM_REMOVE)) return false;
    text = vo::win::CopyForeignString(reinterpret_cast<const void*>(message.wParam));
    return true;
  };
  const double day = 46000.0;  // any date
  std::string telop;

  sample.Notify(window, day + (15 * 60 + 29) / 1440.0);
  CHECK(!takeTelop(telop), "sample: no telop at 15:29");
  sample.Notify(window, day + (15 * 60 + 30) / 1440.0 + 0.01 / 86400.0);
  CHECK(takeTelop(telop), "sample: a telop at 15:30");
  CHECK(telop.compare(0, 4, "15\x8E\x9E") == 0, "sample: the telop names the hour");  // "15時"
  sample.Notify(window, day + (8 * 60 + 30) / 1440.0 - 0.0001 / 86400.0);
  CHECK(takeTelop(telop) && telop[0] == '8', "sample: 08:29:59.9999 counts as 08:30");
  DestroyWindow(window);
}

void TestTable(const std::string& directory) {
  vo::SlotTable<TVoPlugInsIF> table;
  for (const std::string& name : vo::win::ListPlugInFiles(vo::win::Widened(directory))) {
    table.Add(vo::win::LoadPlugIn(vo::JoinPluginPath(directory, name)));
  }
  std::vector<std::string> loaded;
  table.ForEachLoaded([&](TVoPlugInsIF& plugIn) { loaded.push_back(plugIn.FileName()); });
  CHECK((loaded == std::vector<std::string>{vo::JoinPluginPath(directory, "voA.DLL"),
                                            vo::JoinPluginPath(directory, "vob.dll"),
                                            vo::JoinPluginPath(directory, "voReadOnly.dll")}),
        "table: the valid modules in list order");

  // The selected entry's path is built from the current directory, in whatever case the
  // system reports it.
  std::string upper = vo::JoinPluginPath(CurrentDirectory(), "VOB.DLL");
  CharUpperA(upper.data());
  CHECK(table.InService(upper), "table: lookup ignores letter case");
  CHECK(!table.InService(vo::JoinPluginPath(directory, "voText.DLL")),
        "table: an invalid file has no slot");

  const std::string vobPath = vo::JoinPluginPath(directory, "vob.dll");
  CHECK(GetModuleHandleA(vobPath.c_str()) != nullptr, "table: the module is loaded");
  table.ReleaseAll();
  // A module whose code has run stays mapped until the program ends.
  CHECK(GetModuleHandleA(vobPath.c_str()) != nullptr,
        "table: release keeps a module that ran mapped");
}

// The plug-in folder is the current directory now: a library there, named bare, is not
// found, as a dependency planted there would not be.
void TestNoLibraryFromTheCurrentDirectory() {
  const HMODULE planted = LoadLibraryA("vob.dll");
  CHECK(planted == nullptr, "search: a library in the current directory is not loaded");
  if (planted) FreeLibrary(planted);
}

void TestExecutableDirectory() {
  const std::string directory = vo::win::ThisExecutableDirectory();
  CHECK(!directory.empty(), "exe: directory is not empty");
  CHECK(!vo::EndsWithBackslash(directory) || directory.size() == 3,
        "exe: directory is not followed by a backslash unless a root");
  CHECK(directory == ProgramDirectory(), "exe: agrees with the program's own path");
}

// What the thunks below call: the argument a thunk was made with, then the caller's own.
int WINAPI AddToArgument(const void* argument, int value) {
  return *static_cast<const int*>(argument) + value;
}

const void* MakeAdder(const int& base) {
  return vo::win::MakeThunk(reinterpret_cast<const void*>(&AddToArgument), &base);
}

int CallAdder(const void* thunk, int value) {
  return reinterpret_cast<int(WINAPI*)(int)>(const_cast<void*>(thunk))(value);
}

void TestThunks() {
  static const int thousand = 1000;
  static const int twoThousand = 2000;
  const void* first = MakeAdder(thousand);
  CHECK(first && CallAdder(first, 1) == 1001, "thunks: a thunk calls its target, argument first");
#if defined(__x86_64__)
  DWORD64 base = 0;
  CHECK(RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(first), &base, nullptr) != nullptr,
        "thunks: the unwinder knows a thunk's frame");
#endif
  const std::size_t pages = vo::win::ThunkPages();
  for (int i = 0; i < 10000; ++i) vo::win::FreeThunk(MakeAdder(thousand));
  CHECK(vo::win::ThunkPages() == pages, "thunks: 10,000 made and given back take no new page");
  vo::win::FreeThunk(first);
  CHECK(!vo::win::ThunkAt(reinterpret_cast<std::uintptr_t>(first)).target,
        "thunks: a thunk given back is known no more");
  const void* again = MakeAdder(twoThousand);
  CHECK(again == first && CallAdder(again, 1) == 2001,
        "thunks: a thunk given back is reused, with its new argument");

  std::vector<const void*> held(20 * 4096 / 16);
  for (const void*& thunk : held) thunk = MakeAdder(thousand);
  CHECK(held.back() && CallAdder(held.back(), 5) == 1005 && vo::win::ThunkPages() > 16,
        "thunks: pages are added as long as thunks are wanted");
  for (const void* thunk : held) vo::win::FreeThunk(thunk);
  vo::win::FreeThunk(again);
}

}  // namespace

int main(int argc, char** argv) {
  vo::win::ApplyProcessRules();
  const std::string sample =
      argc > 1 ? argv[1] : vo::JoinPluginPath(ProgramDirectory(), "voSample.dll");
  if (GetFileAttributesA(sample.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("FAIL no sample plug-in at %s\n0 passed, 1 failed\n", sample.c_str());
    return 1;
  }
  const std::string directory = MakePlugInDirectory(sample);
  // The modules are loaded under the host, as in the clock.
  static vo::win::PlugInHost host;
  host.Start(nullptr);

  TestListing(directory);
  TestNoLibraryFromTheCurrentDirectory();
  TestWrapper(directory);
  TestSampleTelop(directory);
  TestTable(directory);
  TestExecutableDirectory();
  TestThunks();

  return vo::test::Summary();
}

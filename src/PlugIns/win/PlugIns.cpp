#include "PlugIns/win/PlugIns.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "PlugIns/PlugInPaths.h"
#include "PlugIns/win/Interpose.h"
#include "PlugIns/win/Quarantine.h"
#include "support/win/Application.h"
#include "support/win/ForeignString.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {
namespace {

constexpr char kPlugInMask[] = "vo*.DLL";

// GetProcAddress gives a generic function pointer; going through void (*)() tells the
// compiler the cast to the real signature is meant.
template <class Proc>
Proc Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A file that is not a loadable library must be skipped silently, without the system's
// error box.
class QuietErrorMode {
 public:
  QuietErrorMode() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;
  ~QuietErrorMode() { SetErrorMode(previous_); }

 private:
  UINT previous_;
};

class FindHandle {
 public:
  FindHandle(const char* pattern, WIN32_FIND_DATAA& data)
      : handle_(FindFirstFileA(pattern, &data)) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (ok()) FindClose(handle_);
  }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& data) const { return FindNextFileA(handle_, &data) != FALSE; }

 private:
  HANDLE handle_;
};

bool IsPlainFile(DWORD attributes) {
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

// Modules taken out of their slots, mapped until the program's end.
struct RetiredModule {
  UniqueModule module;
  ModuleImage image;
};
std::vector<RetiredModule> retired;

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Texts of reported faults not shown yet.
std::vector<std::string> unshownFaults;

std::string FaultMessage(const std::string& path, CallOutcome outcome) {
  return "プラグイン・モジュール " + BaseName(path) +
         " が異常終了しました (原因: " + DescribeOutcome(outcome) +
         ")。このモジュールは vo の終了まで使用しません。";
}

// Before the first plug-in runs: the watchdog, and the system libraries the clock binds
// late. Once plug-in code has been cut short holding the heap's or the loader's lock, a
// library loaded for the first time could wait for ever.
void PrepareForPlugIns() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  StartWatchdog();
  BindLateEntries();
}

}  // namespace

TVoPlugInsIF::TVoPlugInsIF(std::string path) : fileName_(std::move(path)) {
  PrepareForPlugIns();
  {
    QuietErrorMode quiet;
    NoteLoadingModule(fileName_.c_str());  // its DllMain runs in there, unguarded
    module_ = UniqueModule(LoadLibraryA(fileName_.c_str()));
    NoteLoadingModule(nullptr);
  }
  if (!module_) return;
  const HMODULE m = module_.get();
  enable_ = Resolve<VpiEnableProc>(m, "VpiEnable");
  disable_ = Resolve<VpiDisableProc>(m, "VpiDisable");
  notify_ = Resolve<VpiNotifyProc>(m, "VpiNotify");
  notifyFreq_ = Resolve<VpiNotifyFreqProc>(m, "VpiNotifyFreq");
  discription_ = Resolve<VpiDiscriptionProc>(m, "VpiDiscription");
  setProps_ = Resolve<VpiSetPropsProc>(m, "VpiSetProps");
  if (Invalid()) return;
  id_ = RegisterPlugInModule(m, fileName_);
  if (!InterposeOn(m)) {
    OutputDebugStringA("vo: a plug-in's import table could not be rewritten\n");
  }
}

TVoPlugInsIF::~TVoPlugInsIF() {
  if (!ran_ || !module_) {
    ForgetModule(id_);  // unloaded with the wrapper
    return;
  }
  const ModuleImage image = ModuleImage::Of(module_.get());
  retired.push_back({std::move(module_), image});
}

template <class Call>
void TVoPlugInsIF::Guard(Call&& call) const {
  if (IsOutOfService(id_)) return;
  ran_ = true;
  const Contained ended = GuardedCall(id_, call);
  NoteClockProcedure();
  if (ended.outcome == kCallReturned) return;
  if (ended.culprit != id_ && ended.culprit != kNoModule) return ReportFault(ended);
  Quarantine(id_);
  throw PlugInFault(FaultMessage(fileName_, ended.outcome));
}

void TVoPlugInsIF::Enable() const {
  if (enable_) Guard([this] { enable_(); });
}

void TVoPlugInsIF::Disable() const {
  if (disable_) Guard([this] { disable_(); });
}

void TVoPlugInsIF::Notify(HWND clock, double now) const {
  if (notify_) Guard([&] { notify_(clock, now); });
}

void TVoPlugInsIF::NotifyFreq(HWND clock, double now) const {
  if (notifyFreq_) Guard([&] { notifyFreq_(clock, now); });
}

std::string TVoPlugInsIF::Description() const {
  if (!discription_) return {};
  const char* text = nullptr;
  Guard([&] { text = discription_(); });
  // Read defensively: a careless module may hand back a stray pointer.
  return CopyForeignString(text);
}

void TVoPlugInsIF::SetProps() const {
  if (setProps_) Guard([this] { setProps_(); });
}

void ReportFault(const Contained& fault) {
  if (Quarantine(fault.culprit)) {
    unshownFaults.push_back(FaultMessage(ModulePath(fault.culprit), fault.outcome));
  }
}

void ShowReportedFaults() {
  for (Contained fault = TakeThreadFault(); fault.culprit != kNoModule; fault = TakeThreadFault()) {
    ReportFault(fault);
  }
  while (!unshownFaults.empty()) {
    const std::string message = std::move(unshownFaults.front());
    unshownFaults.erase(unshownFaults.begin());
    ShowApplicationError(message);
  }
}

void ReclaimWindowProcedure(HWND window, WNDPROC own) {
  if (!window) return;
  const auto procedure = ProcedureBehind(static_cast<std::uintptr_t>(ProcedureOf(window)));
  const bool intoRetired = std::any_of(retired.begin(), retired.end(),
                                       [&](const auto& r) { return r.image.Contains(procedure); });
  if (intoRetired) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
}

std::unique_ptr<TVoPlugInsIF> LoadPlugIn(const std::string& path) {
  auto plugIn = std::make_unique<TVoPlugInsIF>(path);
  if (plugIn->Invalid()) return nullptr;
  return plugIn;
}

std::vector<std::string> ListPlugInFiles(const std::string& directory) {
  std::vector<std::string> names;
  if (!SetCurrentDirectoryA(directory.c_str())) return names;

  WIN32_FIND_DATAA data{};
  const FindHandle find(kPlugInMask, data);
  if (!find.ok()) return names;
  do {
    // The system's wildcard match also tries the short 8.3 names; the mask is for the real one.
    if (IsPlainFile(data.dwFileAttributes) && MatchesPluginMask(data.cFileName)) {
      names.emplace_back(data.cFileName);
    }
  } while (find.Next(data));

  SortLikeListBox(names);
  return names;
}

std::string ThisExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

std::string ThisExecutableDirectory() {
  const std::string path = ThisExecutablePath();
  return path.empty() ? path : ExecutableDirectory(path);
}

std::string CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return {};
  std::string directory(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, directory.data());
  directory.resize(length < needed ? length : 0);
  return directory;
}

}  // namespace vo::win

#include "PlugIns/win/PlugIns.h"

#include <utility>
#include <vector>

#include "PlugIns/PlugInPaths.h"
#include "PlugIns/win/FaultTexts.h"
#include "PlugIns/win/Interpose.h"
#include "PlugIns/win/PlugInHost.h"
#include "support/win/ForeignString.h"
#include "support/win/ProcessRules.h"
#include "support/win/SystemLibrary.h"
#include "support/win/WideText.h"

namespace vo::win {
namespace {

constexpr wchar_t kPlugInMask[] = L"vo*.DLL";

// A file that is not a loadable library must be skipped silently, without the system's
// error box. The mode is this thread's alone: another thread's loads keep theirs.
class QuietErrorMode {
 public:
  QuietErrorMode() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;
  ~QuietErrorMode() { SetThreadErrorMode(previous_, nullptr); }

 private:
  DWORD previous_ = 0;
};

class FindHandle {
 public:
  FindHandle(const wchar_t* pattern, WIN32_FIND_DATAW& data)
      : handle_(FindFirstFileW(pattern, &data)) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (ok()) FindClose(handle_);
  }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAW& data) const { return FindNextFileW(handle_, &data) != FALSE; }

 private:
  HANDLE handle_;
};

bool IsPlainFile(DWORD attributes) {
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

}  // namespace

TVoPlugInsIF::TVoPlugInsIF(std::string path, std::wstring file) : fileName_(std::move(path)) {
  if (file.empty()) file = Widened(fileName_);
  PlugInHost& host = Host();
  host.PrepareForPlugIns();
  {
    QuietErrorMode quiet;
    host.NoteLoadingModule(fileName_.c_str());  // its DllMain runs in there, unguarded
    // Its dependencies from its own folder and the system's, never the current directory.
    module_ = UniqueModule(LoadLibraryExW(file.c_str(), nullptr, PlugInLoadFlags()));
    host.NoteLoadingModule(nullptr);
  }
  if (!module_) return;
  const HMODULE m = module_.get();
  enable_ = ProcAddress<VpiEnableProc>(m, "VpiEnable");
  disable_ = ProcAddress<VpiDisableProc>(m, "VpiDisable");
  notify_ = ProcAddress<VpiNotifyProc>(m, "VpiNotify");
  notifyFreq_ = ProcAddress<VpiNotifyFreqProc>(m, "VpiNotifyFreq");
  discription_ = ProcAddress<VpiDiscriptionProc>(m, "VpiDiscription");
  setProps_ = ProcAddress<VpiSetPropsProc>(m, "VpiSetProps");
  if (Invalid()) return;
  id_ = host.Modules().Add(m, fileName_);
  // Code the guard cannot tell apart is not run at all (with every slot taken long before,
  // such a module would never be enabled anyway).
  if (id_ == kNoModule) {
    discription_ = nullptr;
    return;
  }
  if (!InterposeOn(m)) {
    OutputDebugStringA("vo: a plug-in's import table could not be rewritten\n");
  }
}

// A module that never ran is unloaded with the wrapper.
TVoPlugInsIF::~TVoPlugInsIF() { Host().Retire(id_, ran_ ? std::move(module_) : UniqueModule()); }

bool TVoPlugInsIF::InService() const { return Host().Modules().InService(id_); }

template <class Call>
void TVoPlugInsIF::Guard(Call&& call) const {
  PlugInHost& host = Host();
  if (!host.Modules().InService(id_)) return;
  ran_ = true;
  const Contained ended = GuardedCall(id_, call);
  host.Quarantined().NoteClockProcedure();
  if (ended.outcome == kCallReturned) return;
  if (ended.culprit != id_ && ended.culprit != kNoModule) return host.ReportFault(ended);
  host.Quarantined().TakeOutOfService(id_);
  throw PlugInFault(FaultMessage(fileName_, ended.outcome));
}

void TVoPlugInsIF::Enable() {
  if (enable_) Guard([this] { enable_(); });
}

void TVoPlugInsIF::Disable() {
  if (disable_) Guard([this] { disable_(); });
}

void TVoPlugInsIF::Notify(HWND clock, double now) {
  if (notify_) Guard([&] { notify_(clock, now); });
}

void TVoPlugInsIF::NotifyFreq(HWND clock, double now) {
  if (notifyFreq_) Guard([&] { notifyFreq_(clock, now); });
}

std::string TVoPlugInsIF::Description() {
  if (!discription_) return {};
  const char* text = nullptr;
  Guard([&] { text = discription_(); });
  // Read defensively: a careless module may hand back a stray pointer.
  return CopyForeignString(text);
}

void TVoPlugInsIF::SetProps() {
  if (setProps_) Guard([this] { setProps_(); });
}

std::unique_ptr<TVoPlugInsIF> LoadPlugIn(const std::string& path, const std::wstring& file) {
  auto plugIn = std::make_unique<TVoPlugInsIF>(path, file);
  if (plugIn->Invalid()) return nullptr;
  return plugIn;
}

std::vector<std::string> ListPlugInFiles(const std::wstring& directory) {
  std::vector<std::string> names;
  if (!SetCurrentDirectoryW(directory.c_str())) return names;

  WIN32_FIND_DATAW data{};
  const FindHandle find(kPlugInMask, data);
  if (!find.ok()) return names;
  do {
    // The system's wildcard match also tries the short 8.3 names; the mask is for the real one.
    std::string name = Narrowed(data.cFileName);
    if (IsPlainFile(data.dwFileAttributes) && MatchesPluginMask(name)) {
      names.push_back(std::move(name));
    }
  } while (find.Next(data));

  SortLikeListBox(names);
  return names;
}

std::string ThisExecutablePath() { return Narrowed(ProgramPathW()); }

std::string ThisExecutableDirectory() { return Narrowed(ProgramDirectoryW()); }

}  // namespace vo::win

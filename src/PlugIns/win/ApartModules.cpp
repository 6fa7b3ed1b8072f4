#include "PlugIns/win/ApartModules.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <utility>

#include "PlugIns/ApartProtocol.h"
#include "PlugIns/win/FaultTexts.h"
#include "PlugIns/win/PlugInGuard.h"
#include "support/win/MessagePump.h"
#include "support/win/WideText.h"
#include "support/win/Window.h"

namespace vo::win {
namespace {

using apart::Call;
using apart::HelperState;
using apart::SharedBlock;

constexpr char kNoticeClass[] = "voApartNotices";
constexpr UINT kHelperEndedNotice = WM_APP + 1;
// How long a helper told to end may take before it is ended.
constexpr DWORD kEndMilliseconds = 2000;
// How soon a helper found taking messages, though late, is asked again whether it hangs.
constexpr DWORD kAskAgainMilliseconds = 250;

std::uint32_t Read(const std::uint32_t& field) {
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(field)).load();
}

class MappedBlock {
 public:
  MappedBlock() = default;
  MappedBlock(const MappedBlock&) = delete;
  MappedBlock& operator=(const MappedBlock&) = delete;
  ~MappedBlock() {
    if (block_) UnmapViewOfFile(block_);
  }
  SharedBlock* get() const { return block_; }
  void Map(HANDLE mapping) {
    block_ = static_cast<SharedBlock*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedBlock)));
  }

 private:
  SharedBlock* block_ = nullptr;
};

// A wait of the thread pool's for one helper's end, which posts its process id to the
// notice window; unregistered (its callback finished) before the helper's object goes.
class EndWatch {
 public:
  EndWatch(HANDLE process, HWND notices, DWORD processId)
      : notices_(notices), processId_(processId) {
    if (!RegisterWaitForSingleObject(&wait_, process, Ended, this, INFINITE, WT_EXECUTEONLYONCE)) {
      wait_ = nullptr;
    }
  }
  EndWatch(const EndWatch&) = delete;
  EndWatch& operator=(const EndWatch&) = delete;
  ~EndWatch() {
    if (wait_) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
  }

 private:
  static void CALLBACK Ended(void* context, BOOLEAN) {
    const auto* watch = static_cast<const EndWatch*>(context);
    PostMessageA(watch->notices_, kHelperEndedNotice, watch->processId_, 0);
  }

  HANDLE wait_ = nullptr;
  HWND notices_;
  DWORD processId_;
};

// A kernel handle the next helper inherits, for as long as this object lives: the handles of
// one helper are never inherited by another.
class InheritedMeanwhile {
 public:
  explicit InheritedMeanwhile(HANDLE handle) : handle_(handle) {
    SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  InheritedMeanwhile(const InheritedMeanwhile&) = delete;
  InheritedMeanwhile& operator=(const InheritedMeanwhile&) = delete;
  ~InheritedMeanwhile() { SetHandleInformation(handle_, HANDLE_FLAG_INHERIT, 0); }

 private:
  HANDLE handle_;
};

std::wstring Number(const void* handle) {
  return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

// One module in its helper process, as its slot sees it.
class ModuleApart final : public PlugInModule {
 public:
  ModuleApart(ApartModules& owner, std::string path) : owner_(owner), fileName_(std::move(path)) {
    owner_.running_.push_back(this);
  }
  ~ModuleApart() override;

  enum class Launched { kReady, kNoPlugIn, kFailed };
  Launched Launch(const std::wstring& helper, const std::wstring& file, HWND clock);

  const std::string& FileName() const override { return fileName_; }
  bool InService() const override { return inService_; }
  bool RunsApart() const override { return true; }
  void Enable() override;
  void Disable() override;
  void Notify(HWND clock, double now) override;
  void NotifyFreq(HWND clock, double now) override;
  bool WantsEveryTick() const override { return Has(apart::kHasNotifyFreq); }
  std::string Description() override;
  void SetProps() override;

  DWORD ProcessId() const { return processId_; }
  // The helper ended by itself: its box, unless one was shown for it already.
  void Ended();

 private:
  enum class Answer { kGiven, kEnded, kLate };
  enum class Meanwhile { kSentMessages, kEveryMessage };

  bool Has(std::uint32_t entry) const { return (exports_ & entry) != 0; }
  template <class Answered>
  Answer Await(Answered answered, DWORD limit, Meanwhile meanwhile);
  void Ask(Call call, DWORD limit, Meanwhile meanwhile);
  void PostTick(UINT message, double now);
  bool TicksTaken();
  [[nodiscard]] std::string TakeOutOfService(DWORD exitCode);
  void EndHung();

  ApartModules& owner_;
  std::string fileName_;
  UniqueKernelHandle mapping_;
  MappedBlock block_;
  UniqueKernelHandle done_;
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;  // the helper's one thread, which owns its window
  std::unique_ptr<EndWatch> watch_;
  HWND window_ = nullptr;
  std::uint32_t exports_ = 0;
  bool inService_ = true;
  bool boxed_ = false;
  bool propsOpen_ = false;
  bool minuteDue_ = false;
  std::uint32_t callsAsked_ = 0;
  std::uint32_t ticksPosted_ = 0;
  std::uint32_t ticksSeen_ = 0;
  std::uint64_t progressAt_ = 0;
};

ModuleApart::Launched ModuleApart::Launch(const std::wstring& helper, const std::wstring& file,
                                          HWND clock) {
  mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(SharedBlock), nullptr));
  if (!mapping_) return Launched::kFailed;
  block_.Map(mapping_.get());
  done_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!block_.get() || !done_) return Launched::kFailed;

  std::wstring commandLine = L"\"" + helper + L"\" " + Number(mapping_.get()) + L" " +
                             Number(done_.get()) + L" " + Number(owner_.clockProcess_.get()) +
                             L" " + Number(clock) + L" " + file;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  {
    const InheritedMeanwhile block(mapping_.get()), done(done_.get()),
        clockProcess(owner_.clockProcess_.get());
    // The clock's current directory, the program's folder: relative paths resolve alike.
    if (!CreateProcessW(helper.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &started)) {
      return Launched::kFailed;
    }
  }
  process_.reset(started.hProcess);
  const UniqueKernelHandle thread(started.hThread);
  processId_ = started.dwProcessId;
  threadId_ = started.dwThreadId;
  AssignProcessToJobObject(owner_.job_.get(), process_.get());
  ResumeThread(thread.get());

  const SharedBlock& shared = *block_.get();
  const Answer loaded =
      Await([&] { return Read(shared.state) != static_cast<std::uint32_t>(HelperState::kLoading); },
            kHangMilliseconds, Meanwhile::kSentMessages);
  if (loaded == Answer::kLate) EndHung();
  if (loaded != Answer::kGiven) {
    DWORD exitCode = kHangCode;
    if (loaded == Answer::kEnded) GetExitCodeProcess(process_.get(), &exitCode);
    ShowApplicationError(TakeOutOfService(exitCode));
    return Launched::kFailed;
  }
  if (Read(shared.state) != static_cast<std::uint32_t>(HelperState::kReady)) {
    return Launched::kNoPlugIn;  // the helper ends by itself
  }
  exports_ = shared.exports;
  window_ = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(shared.window));
  watch_ = std::make_unique<EndWatch>(process_.get(), owner_.notices_, processId_);
  return Launched::kReady;
}

ModuleApart::~ModuleApart() {
  // Its end is no fault now.
  watch_.reset();
  std::erase(owner_.running_, this);
  if (!process_ || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) return;
  if (window_) PostMessageA(window_, apart::kCallMessage, static_cast<WPARAM>(Call::kEnd), 0);
  if (!window_ || WaitForSingleObject(process_.get(), kEndMilliseconds) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 0);
  }
}

// Waits until answered() or the helper's end, at most limit ms, handling meanwhile only the
// messages sent to the clock's windows (a module may ask the clock something from inside
// its call), or every message (the clock ticks on behind the module's own settings).
template <class Answered>
ModuleApart::Answer ModuleApart::Await(Answered answered, DWORD limit, Meanwhile meanwhile) {
  const std::uint64_t start = GetTickCount64();
  const HANDLE handles[] = {done_.get(), process_.get()};
  for (;;) {
    if (answered()) return Answer::kGiven;
    if (WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) return Answer::kEnded;
    const std::uint64_t waited = GetTickCount64() - start;
    if (limit != INFINITE && waited >= limit) return Answer::kLate;
    const DWORD left = limit == INFINITE ? INFINITE : static_cast<DWORD>(limit - waited);
    if (meanwhile == Meanwhile::kSentMessages) {
      const DWORD woke = MsgWaitForMultipleObjectsEx(2, handles, left, QS_SENDMESSAGE, 0);
      MSG message;
      if (woke == WAIT_OBJECT_0 + 2) {
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      }
      continue;
    }
    MsgWaitForMultipleObjectsEx(2, handles, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (RunTurn(message) == TurnEnd::kQuit) {
        // The program ends: the loop that ends it is the main loop's business.
        PostQuitMessage(static_cast<int>(message.wParam));
        return Answer::kGiven;
      }
    }
  }
}

std::string ModuleApart::TakeOutOfService(DWORD exitCode) {
  inService_ = false;
  boxed_ = true;
  return ApartEndMessage(fileName_, exitCode);
}

// No thread is redirected, no frame abandoned: the process goes, and its exit code says why.
void ModuleApart::EndHung() { TerminateProcess(process_.get(), kHangCode); }

void ModuleApart::Ask(Call call, DWORD limit, Meanwhile meanwhile) {
  if (!inService_) return;
  const std::uint32_t asked = ++callsAsked_;
  PostMessageA(window_, apart::kCallMessage, static_cast<WPARAM>(call), 0);
  const SharedBlock& shared = *block_.get();
  Answer answer = Answer::kLate;
  // A call that shows a box of the module's takes as long as the user wants.
  for (DWORD wait = limit; answer == Answer::kLate; wait = kAskAgainMilliseconds) {
    answer = Await([&] { return Read(shared.callsDone) == asked; }, wait, meanwhile);
    if (answer == Answer::kLate && IsHungAppWindow(window_)) break;
  }
  if (answer == Answer::kGiven || boxed_) return;
  if (answer == Answer::kLate) EndHung();
  DWORD exitCode = 0;
  GetExitCodeProcess(process_.get(), &exitCode);
  throw PlugInFault(TakeOutOfService(answer == Answer::kLate ? kHangCode : exitCode));
}

void ModuleApart::Ended() {
  if (boxed_) return;
  DWORD exitCode = 0;
  GetExitCodeProcess(process_.get(), &exitCode);
  // This object may be gone once the box is closed.
  ShowApplicationError(TakeOutOfService(exitCode));
}

void ModuleApart::Enable() {
  if (Has(apart::kHasEnable)) Ask(Call::kEnable, kHangMilliseconds, Meanwhile::kSentMessages);
}

void ModuleApart::Disable() {
  if (Has(apart::kHasDisable)) Ask(Call::kDisable, kHangMilliseconds, Meanwhile::kSentMessages);
}

std::string ModuleApart::Description() {
  Ask(Call::kDescribe, kHangMilliseconds, Meanwhile::kSentMessages);
  return inService_ ? apart::DescriptionOf(*block_.get()) : std::string();
}

void ModuleApart::SetProps() {
  if (!Has(apart::kHasSetProps)) return;
  // The module's window comes in front of the user, which only the foreground may allow.
  AllowSetForegroundWindow(processId_);
  propsOpen_ = true;
  struct Closed {
    bool& open;
    ~Closed() { open = false; }
  } closed{propsOpen_};
  // As long as the user wants, while its thread takes messages; a hang ends it like any other.
  Ask(Call::kSetProps, kHangMilliseconds, Meanwhile::kEveryMessage);
}

// One message per tick, posted, never awaited; a new minute's goes with the tick's.
void ModuleApart::Notify(HWND, double now) {
  if (!Has(apart::kHasNotify)) return;
  if (Has(apart::kHasNotifyFreq)) {
    minuteDue_ = true;  // with this tick's NotifyFreq
  } else {
    PostTick(apart::kMinuteTickMessage, now);
  }
}

void ModuleApart::NotifyFreq(HWND, double now) {
  if (!Has(apart::kHasNotifyFreq)) {
    // A minute's call that hangs is still found out at the pace of the clock's ticks.
    if (inService_ && ticksPosted_ != 0) TicksTaken();
    return;
  }
  PostTick(std::exchange(minuteDue_, false) ? apart::kMinuteTickMessage : apart::kTickMessage, now);
}

void ModuleApart::PostTick(UINT message, double now) {
  if (!inService_ || !TicksTaken()) return;
  const auto [low, high] = apart::SplitDateTime(now);
  // To the helper's thread: a window of another process's costs a question more.
  if (PostThreadMessageA(threadId_, message, low, high)) ++ticksPosted_;
}

// Whether the helper keeps up with its ticks: one it has not taken for the hang time (its
// own settings aside, whose loop takes them as the module lets it) ends it.
bool ModuleApart::TicksTaken() {
  const std::uint32_t taken = Read(block_.get()->ticksTaken);
  const std::uint64_t now = GetTickCount64();
  if (taken == ticksPosted_ || taken != ticksSeen_ || propsOpen_) {
    ticksSeen_ = taken;
    progressAt_ = now;
    return true;
  }
  if (now - progressAt_ < kHangMilliseconds) return true;
  if (!IsHungAppWindow(window_)) {
    // Not hung: a modal loop of the module's takes messages, and drops the ticks. Asked
    // again a moment later: the system's own measure of a hang may lag behind this one.
    progressAt_ = now - kHangMilliseconds + kAskAgainMilliseconds;
    return true;
  }
  // Its box comes with the notice of its end.
  EndHung();
  return false;
}

// ---- the modules apart -------------------------------------------------------------------

ApartModules::~ApartModules() {
  if (notices_) DestroyWindow(notices_);
}

bool ApartModules::Prepare() {
  if (notices_) return true;
  job_.reset(CreateJobObjectW(nullptr, nullptr));
  if (job_) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE,
                  FALSE, 0);
  clockProcess_.reset(self);

  WNDCLASSA noticeClass{};
  noticeClass.lpfnWndProc = NoticeProc;
  noticeClass.hInstance = GetModuleHandleA(nullptr);
  noticeClass.lpszClassName = kNoticeClass;
  RegisterClassA(&noticeClass);
  notices_ = CreateWindowExA(0, kNoticeClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             noticeClass.hInstance, nullptr);
  if (!notices_) return false;
  SetWindowLongPtrA(notices_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

LRESULT CALLBACK ApartModules::NoticeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kHelperEndedNotice) return DefWindowProcA(window, message, wParam, lParam);
  if (auto* modules = reinterpret_cast<ApartModules*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
    modules->HelperEnded(static_cast<DWORD>(wParam));
  }
  return 0;
}

void ApartModules::HelperEnded(DWORD processId) {
  const auto ended = std::find_if(running_.begin(), running_.end(), [&](const ModuleApart* module) {
    return module->ProcessId() == processId;
  });
  if (ended != running_.end()) (*ended)->Ended();
}

bool ApartModules::IsHelperWindow(HWND window) const {
  DWORD processId = 0;
  if (!window || !GetWindowThreadProcessId(window, &processId)) return false;
  return std::any_of(running_.begin(), running_.end(),
                     [&](const ModuleApart* module) { return module->ProcessId() == processId; });
}

std::unique_ptr<PlugInModule> ApartModules::Start(const std::string& path, const std::wstring& file,
                                                  Processor processor, HWND clock) {
  if (!Prepare()) return nullptr;
  const std::wstring helper = JoinWidePath(
      ProgramDirectoryW(), processor == Processor::kX64 ? L"vohost64.exe" : L"vohost32.exe");
  auto module = std::make_unique<ModuleApart>(*this, path);
  if (module->Launch(helper, file, clock) != ModuleApart::Launched::kReady) return nullptr;
  return module;
}

}  // namespace vo::win

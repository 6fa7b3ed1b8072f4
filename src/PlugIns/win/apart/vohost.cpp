// The helper program that runs one plug-in module apart from the clock, in a process of its
// own: whatever the module does to this process costs the clock nothing but the module.
//
// Command line: <shared block> <done event> <clock process> <clock window> <module file>,
// the three handles inherited from the clock, as decimal numbers. The helper loads the
// module, says in the block what it found, and hands the module a window of its own whose
// messages it forwards to the clock. It ends when told to, or when the clock's process ends.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "PlugIns/ApartProtocol.h"
#include "PlugIns/win/PlugInGuard.h"
#include "support/win/ForeignString.h"
#include "support/win/ProcessRules.h"
#include "support/win/SystemLibrary.h"
#include "vo_plugin.h"

namespace {

using namespace vo::apart;

constexpr char kWindowClass[] = "voApartModule";

struct Arguments {
  HANDLE block = nullptr;
  HANDLE done = nullptr;
  HANDLE clockProcess = nullptr;
  HWND clock = nullptr;
  std::wstring file;
};

struct Entries {
  VpiEnableProc enable = nullptr;
  VpiDisableProc disable = nullptr;
  VpiNotifyProc notify = nullptr;
  VpiNotifyFreqProc notifyFreq = nullptr;
  VpiDiscriptionProc discription = nullptr;
  VpiSetPropsProc setProps = nullptr;

  std::uint32_t Bits() const {
    return (enable ? kHasEnable : 0) | (disable ? kHasDisable : 0) | (notify ? kHasNotify : 0) |
           (notifyFreq ? kHasNotifyFreq : 0) | (discription ? kHasDiscription : 0) |
           (setProps ? kHasSetProps : 0);
  }
};

SharedBlock* g_block = nullptr;
HANDLE g_done = nullptr;
HWND g_clock = nullptr;
HWND g_window = nullptr;
Entries g_entries;

// The clock reads these while the helper writes them.
void Advance(std::uint32_t& counter, std::uint32_t by) {
  std::atomic_ref<std::uint32_t>(counter).fetch_add(by);
}

std::optional<Arguments> ReadArguments() {
  const wchar_t* cursor = GetCommandLineW();
  // The program's own name, quoted or not.
  if (*cursor == L'"') {
    cursor = std::wcschr(cursor + 1, L'"');
    if (!cursor) return std::nullopt;
    ++cursor;
  } else {
    while (*cursor && *cursor != L' ') ++cursor;
  }
  unsigned long long numbers[4];
  for (unsigned long long& number : numbers) {
    wchar_t* end = nullptr;
    number = std::wcstoull(cursor, &end, 10);
    if (end == cursor) return std::nullopt;
    cursor = end;
  }
  while (*cursor == L' ') ++cursor;
  if (!*cursor) return std::nullopt;
  Arguments arguments;
  arguments.block = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(numbers[0]));
  arguments.done = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(numbers[1]));
  arguments.clockProcess = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(numbers[2]));
  arguments.clock = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(numbers[3]));
  arguments.file = cursor;
  return arguments;
}

// A fault nothing in the module handles ends the process at once, with the fault's code for
// its exit code, which the clock names in its box.
LONG WINAPI EndWithTheFault(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// ---- the module's calls ----------------------------------------------------------------

// Ticks queued behind each other are taken at once, so that a slow module never floods its
// queue: VpiNotify with the last new minute's value, if any, VpiNotifyFreq with the last.
void TakeTicks(UINT message, WPARAM wParam, LPARAM lParam) {
  std::uint32_t taken = 0;
  std::optional<double> minute;
  double last = 0;
  MSG next{};
  next.message = message;
  next.wParam = wParam;
  next.lParam = lParam;
  do {
    ++taken;
    last = JoinDateTime(static_cast<std::uint32_t>(next.wParam),
                        static_cast<std::uint32_t>(next.lParam));
    if (next.message == kMinuteTickMessage) minute = last;
  } while (PeekMessageA(&next, g_window, kTickMessage, kMinuteTickMessage, PM_REMOVE));
  if (minute && g_entries.notify) g_entries.notify(g_window, *minute);
  if (g_entries.notifyFreq) g_entries.notifyFreq(g_window, last);
  Advance(g_block->ticksTaken, taken);
}

void RunCall(Call call) {
  switch (call) {
    case Call::kEnable:
      if (g_entries.enable) g_entries.enable();
      break;
    case Call::kDisable:
      if (g_entries.disable) g_entries.disable();
      break;
    case Call::kDescribe:
      // Read defensively: a careless module may hand back a stray pointer.
      StoreDescription(*g_block, vo::win::CopyForeignString(g_entries.discription()));
      break;
    case Call::kSetProps:
      if (g_entries.setProps) g_entries.setProps();
      break;
    case Call::kEnd:
      PostQuitMessage(0);
      return;
  }
  Advance(g_block->callsDone, 1);
  SetEvent(g_done);
}

// ---- the clock's messages, on to the clock ---------------------------------------------

LRESULT AskClock(UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(g_clock, message, wParam, lParam, SMTO_NORMAL,
                           vo::win::kHangMilliseconds, &answer)) {
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

// The strings are this process's: copied here, they cross as bytes.
void ForwardTelop(WPARAM text, LPARAM wave) {
  const std::string telop = vo::win::CopyForeignString(reinterpret_cast<const void*>(text));
  const std::string path = vo::win::CopyForeignString(reinterpret_cast<const void*>(wave));
  std::vector<char> bytes = PackTelop(telop, path);
  COPYDATASTRUCT data{kTelopData, static_cast<DWORD>(bytes.size()), bytes.data()};
  AskClock(WM_COPYDATA, reinterpret_cast<WPARAM>(g_window), reinterpret_cast<LPARAM>(&data));
}

LRESULT CALLBACK ModuleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTickMessage:
    case kMinuteTickMessage:
      TakeTicks(message, wParam, lParam);
      return 0;
    case kCallMessage:
      RunCall(static_cast<Call>(wParam));
      return 0;
    case CLK_TELOP:
      ForwardTelop(wParam, lParam);
      return 0;
    case CLK_SETCOLOR:
    case CLK_SETLEFT:
      // The values as the clock takes them: 32 bits each.
      AskClock(message, static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
      return 0;
    case CLK_GETFORECOLOR:
    case CLK_GETBACKCOLOR:
    case CLK_GETLEFT:
      // Signed 32 bits, as the clock answers.
      return static_cast<std::int32_t>(AskClock(message, 0, 0));
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND MakeModuleWindow(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ModuleWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass)) return nullptr;
  // Top-level, never shown: the module may own its dialogs by it.
  return CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, nullptr);
}

Entries ResolveEntries(HMODULE module) {
  using vo::win::ProcAddress;
  Entries entries;
  entries.enable = ProcAddress<VpiEnableProc>(module, "VpiEnable");
  entries.disable = ProcAddress<VpiDisableProc>(module, "VpiDisable");
  entries.notify = ProcAddress<VpiNotifyProc>(module, "VpiNotify");
  entries.notifyFreq = ProcAddress<VpiNotifyFreqProc>(module, "VpiNotifyFreq");
  entries.discription = ProcAddress<VpiDiscriptionProc>(module, "VpiDiscription");
  entries.setProps = ProcAddress<VpiSetPropsProc>(module, "VpiSetProps");
  return entries;
}

void Say(HelperState state) {
  std::atomic_ref<std::uint32_t>(g_block->state).store(static_cast<std::uint32_t>(state));
  SetEvent(g_done);
}

// Until told to end, or the clock's process has ended.
int RunMessageLoop(HANDLE clockProcess) {
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &clockProcess, INFINITE, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return 0;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

int RunHelper(HINSTANCE instance) {
  const std::optional<Arguments> arguments = ReadArguments();
  if (!arguments) return 2;
  g_block = static_cast<SharedBlock*>(
      MapViewOfFile(arguments->block, FILE_MAP_WRITE, 0, 0, sizeof(SharedBlock)));
  if (!g_block) return 2;
  g_done = arguments->done;
  g_clock = arguments->clock;

  const HMODULE module =
      LoadLibraryExW(arguments->file.c_str(), nullptr, vo::win::PlugInLoadFlags());
  if (!module) {
    Say(HelperState::kUnloadable);
    return 0;
  }
  g_entries = ResolveEntries(module);
  if (!g_entries.discription) {
    Say(HelperState::kNotAPlugIn);
    return 0;
  }
  g_window = MakeModuleWindow(instance);
  if (!g_window) {
    Say(HelperState::kUnloadable);
    return 0;
  }
  g_block->exports = g_entries.Bits();
  g_block->window = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(g_window));
  Say(HelperState::kReady);
  return RunMessageLoop(arguments->clockProcess);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A fault ends this process quietly: the clock tells the user, once.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndWithTheFault);
  vo::win::ApplyProcessRules();
  return RunHelper(instance);
}

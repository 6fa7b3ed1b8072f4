// A test-only plug-in that misbehaves on purpose, one way per build (FAULT_MODE), and notes
// every call it gets in the recorder's log (VO_RECORD_LOG) as "<export> <FAULT_TAG>", so a
// test can tell that a module out of service is called no more.
//
//   kNullWrite    writes through a null pointer in VpiNotifyFreq from call FAULT_FROM on
//   kOverflow     overflows the stack in VpiNotifyFreq
//   kForeignCode  raises a software exception of a code no runtime uses, in VpiNotifyFreq
//   kDivide       divides an integer by zero in VpiNotify
//   kEnable       writes through a null pointer in VpiEnable
//   kDisable      writes through a null pointer in VpiDisable
//   kSpin         loops for ever in its own code in VpiNotifyFreq from call FAULT_FROM on
//   kSubclass     replaces the clock's window procedure at its first tick and puts back the
//                 one it found at VpiDisable
//   kForget       the same, but forgets to put it back
// and, from call FAULT_FROM of VpiNotifyFreq on, outside its own six calls or leaving the
// clock's thread in a bad state:
//   kSubclassWrite    its subclass of the clock (made in VpiEnable) writes through null
//   kSubclassSpin     its subclass of the clock loops for ever
//   kTimerSpin        its timer procedure (SetTimer in VpiEnable) loops for ever
//   kThreadWrite      a thread of its own writes through null
//   kHeapSpin         loops for ever holding the process heap's lock
//   kDetachSpin       loops for ever holding a lock its DllMain takes at thread attach/detach
//   kDialogSpin       opens a modal dialog owned by the clock whose procedure loops for ever
//   kOverrun          overruns a local buffer by 160 bytes, smashing its own return address
//   kUnmask           returns with every x87 and SSE exception unmasked and the direction
//                     flag set
//   kExitThread       ends the clock's thread
//   kTimerThenWrite   writes through null in VpiNotifyFreq; its timer procedure (SetTimer in
//                     VpiEnable) notes "timer" at each call, which must end with the fault
//   kPaintWrite       its subclass of the clock writes through null on WM_PAINT (it makes one)
//   kRaiseWrite       ... on WM_WINDOWPOSCHANGING, as the clock raises itself over a cover
//   kRaiseSpin        ... loops for ever on WM_WINDOWPOSCHANGING
//   kMenuWrite        ... writes through null on WM_INITMENUPOPUP of the clock's menu
//   kHookWrite        its WH_CALLWNDPROC hook on the clock's thread writes through null, set
//                     after 10,000 were set and removed (noting "pages count=<executable
//                     pages of no module's>"); kHookWriteWide sets it with SetWindowsHookExW
//   kWinEventWrite    its hook of every event of the process writes through null
//   kTimerWrite       its timer procedure writes through null at every call
//   kAboutSpin        its timer procedure loops for ever while the clock is disabled (a
//                     modal box of the clock's is open)
//   kClassWrite       a hidden window of a class of its own ("voFaultClass<FAULT_TAG>",
//                     made in VpiEnable) writes through null on WM_APP, sent from any process;
//                     the class registered with RegisterClassA (kClassWriteWide: -W,
//                     kClassWriteEx: -ExA, kClassWriteExWide: -ExW; kClassLongWrite: its
//                     procedure set with SetClassLongPtrA)
// and
//   kForgetWide   kForget with a wide procedure (SetWindowLongPtrW): the clock's window turns
//                 Unicode. Its procedure asks the hints to notify in Unicode (NFR_UNICODE)
//                 and notes "late" for each message reaching it after VpiDisable
//   kBlock        waits for ever inside the system (Sleep) in VpiNotifyFreq from call
//                 FAULT_FROM on: no guard may cut that short, only the user's end of vo
//   kLoadBlock    the same in its DllMain, as it is loaded
//   kGlobalHook   sets a WH_GETMESSAGE hook on every thread of the desktop in VpiEnable, its
//                 procedure in this module: it runs in other programs too, where it notes
//                 "held" for each WM_APP + 0x57 they take from their queue
//   kResubclass   makes a window of a class of its own in VpiEnable, noting "readback
//                 call=<name> ok=<0|1>" for each call that reads back its procedures; at
//                 every tick subclasses it unless GetWindowLongPtrA finds its subclass
//                 procedure in place, which notes "arrived" for each WM_APP + 0x56
//   kThrow        throws a C++ exception out of VpiNotifyFreq from call FAULT_FROM on, as
//                 a module built with g++ and its runtime linked in does
//   kAbort        calls the C runtime's abort() in VpiNotifyFreq from call FAULT_FROM on: the
//                 way g++'s 32-bit runtime ends a C++ exception nothing catches
//   kCallbackSpin its window, of a class registered in its DllMain (before vo can hand the
//                 system a trampoline for the procedure), loops for ever on the
//                 WM_WINDOWPOSCHANGING the system sends from inside SetWindowPos, called in
//                 VpiNotifyFreq at call FAULT_FROM: the system's callback lies between the
//                 loop and the guard of VpiNotifyFreq
//   kExitProcess  ends its own process (ExitProcess(7)) in VpiNotifyFreq from call FAULT_FROM on
//   kBusyThread   a thread of its own (started in VpiEnable) runs its code for ever, giving
//                 up the processor at every turn, through the clock's close; its DllMain notes
//                 "detach", with ending=1 at the process's end and 0 when it is freed
//   kSystemFault  a thread of its own (started at call FAULT_FROM) faults inside the system's
//                 code: it hands the heap and a lock a bad address
// Each hang notes "hang" just before it starts.
#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "RecordLog.h"
#include "vo_plugin.h"

#ifndef FAULT_TAG
#define FAULT_TAG "F"
#endif
#ifndef FAULT_FROM
#define FAULT_FROM 1
#endif

namespace {

enum class Mode {
  kNullWrite,
  kOverflow,
  kForeignCode,
  kDivide,
  kEnable,
  kDisable,
  kSpin,
  kSubclass,
  kForget,
  kSubclassWrite,
  kSubclassSpin,
  kTimerSpin,
  kThreadWrite,
  kHeapSpin,
  kDetachSpin,
  kDialogSpin,
  kOverrun,
  kUnmask,
  kExitThread,
  kForgetWide,
  kBlock,
  kLoadBlock,
  kTimerThenWrite,
  kPaintWrite,
  kRaiseWrite,
  kRaiseSpin,
  kMenuWrite,
  kHookWrite,
  kTimerWrite,
  kAboutSpin,
  kClassWrite,
  kClassWriteWide,
  kClassWriteEx,
  kClassWriteExWide,
  kClassLongWrite,
  kHookWriteWide,
  kWinEventWrite,
  kGlobalHook,
  kResubclass,
  kThrow,
  kAbort,
  kCallbackSpin,
  kBusyThread,
  kSystemFault,
  kExitProcess
};
constexpr Mode kMode = Mode::FAULT_MODE;

void Note(const char* event) { vo::test::RecordLine(FAULT_TAG, event); }

void WriteThroughNull() {
  volatile int* volatile target = nullptr;  // volatile: the compiler must really store
  *target = 1;
}

volatile bool deeper = true;  // always true; keeps the compiler from calling this endless

__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (!deeper) return 0;
  return Recurse(depth + 1) + frame[0];  // not a tail call
}

int DivideByZero() {
  // All volatile: a real idiv, neither folded nor turned into a compare, nor dropped.
  volatile int one = 1;
  volatile int zero = 0;
  volatile int quotient = one / zero;
  return quotient;
}

void SpinQuietly() {
  volatile unsigned counter = 0;
  for (;;) counter = counter + 1;
}

void Spin() {
  Note("hang");
  SpinQuietly();
}

HWND subclassed = nullptr;
WNDPROC previous = nullptr;
volatile bool due = false;  // call FAULT_FROM of VpiNotifyFreq has come

// The message the subclass of the clock misbehaves on, and how.
constexpr UINT kBadMessage = kMode == Mode::kPaintWrite ? WM_PAINT
                             : kMode == Mode::kRaiseWrite || kMode == Mode::kRaiseSpin
                                 ? WM_WINDOWPOSCHANGING
                             : kMode == Mode::kMenuWrite ? WM_INITMENUPOPUP
                                                         : WM_TIMER;
constexpr bool kSpins = kMode == Mode::kSubclassSpin || kMode == Mode::kRaiseSpin;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (due && message == kBadMessage) {
    if (kSpins) Spin();
    if (kMode != Mode::kSubclass && kMode != Mode::kForget) WriteThroughNull();
  }
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

HWND clockWindow = nullptr;

void CALLBACK TimerProcedure(HWND, UINT, UINT_PTR, DWORD) {
  if (!due) return;
  if (kMode == Mode::kTimerSpin) Spin();
  if (kMode == Mode::kTimerWrite) WriteThroughNull();
  if (kMode == Mode::kAboutSpin && clockWindow && !IsWindowEnabled(clockWindow)) Spin();
}

LRESULT CALLBACK HookProcedure(int code, WPARAM wParam, LPARAM lParam) {
  if (due) WriteThroughNull();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) WriteThroughNull();
  return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE self = nullptr;  // this module
HWND own = nullptr;        // kResubclass: a window of its own class
constexpr char kClassName[] = "voFaultClass" FAULT_TAG;
constexpr wchar_t kWideClassName[] = L"voFaultClass" FAULT_TAG;

// Registers the class in the way the mode names, with the given procedure.
template <class Extended, class Plain, class Char>
bool Register(WNDPROC procedure, const Char* name, ATOM(WINAPI* registerExtended)(const Extended*),
              ATOM(WINAPI* registerPlain)(const Plain*)) {
  Extended form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = procedure;
  form.hInstance = self;
  form.lpszClassName = name;
  if (kMode == Mode::kClassWriteEx || kMode == Mode::kClassWriteExWide) {
    return registerExtended(&form);
  }
  const Plain plain{0, procedure, 0, 0, self, nullptr, nullptr, nullptr, nullptr, name};
  return registerPlain(&plain);
}

bool RegisterOwnClass(WNDPROC procedure) {
  if (kMode == Mode::kClassWriteWide || kMode == Mode::kClassWriteExWide) {
    return Register(procedure, kWideClassName, RegisterClassExW, RegisterClassW);
  }
  return Register(procedure, kClassName, RegisterClassExA, RegisterClassA);
}

HWND MakeOwnWindow() {
  return CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, self, nullptr);
}

void MakeWindowOfOwnClass() {
  if (kMode != Mode::kClassLongWrite) {
    if (RegisterOwnClass(ClassProcedure)) MakeOwnWindow();
    return;
  }
  // A class procedure replaced: windows made afterwards run the new one.
  if (!RegisterOwnClass(DefWindowProcA)) return;
  const HWND first = MakeOwnWindow();
  SetClassLongPtrA(first, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClassProcedure));
  MakeOwnWindow();
  DestroyWindow(first);
}

constexpr UINT kHeldMessage = WM_APP + 0x57;  // posted by the tests to another program only

LRESULT CALLBACK GlobalProcedure(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && reinterpret_cast<const MSG*>(lParam)->message == kHeldMessage) {
    Note("held");
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WinEventProcedure(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
  if (due) WriteThroughNull();
}

// Executable pages outside every module: where generated code (thunks) lives.
int LooseCodePages() {
  int pages = 0;
  MEMORY_BASIC_INFORMATION memory;
  for (auto* at = static_cast<char*>(nullptr);
       VirtualQuery(at, &memory, sizeof memory) == sizeof memory;
       at = static_cast<char*>(memory.BaseAddress) + memory.RegionSize) {
    if (memory.State == MEM_COMMIT && memory.Type == MEM_PRIVATE &&
        (memory.Protect & (PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE))) {
      pages += static_cast<int>(memory.RegionSize / 4096);
    }
  }
  return pages;
}

void SetFaultingHook() {
  for (int i = 0; i < 10000; ++i) {
    UnhookWindowsHookEx(
        SetWindowsHookExA(WH_CALLWNDPROC, HookProcedure, nullptr, GetCurrentThreadId()));
  }
  vo::test::RecordLine(FAULT_TAG, "pages", "count=%d", LooseCodePages());
  if (kMode == Mode::kHookWriteWide) {
    SetWindowsHookExW(WH_CALLWNDPROC, HookProcedure, nullptr, GetCurrentThreadId());
  } else {
    SetWindowsHookExA(WH_CALLWNDPROC, HookProcedure, nullptr, GetCurrentThreadId());
  }
}

LRESULT CALLBACK OwnClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Each call that reads back the procedure of a class of this module's must find its own.
void CheckReadBack() {
  if (!RegisterOwnClass(OwnClassProcedure)) return Note("unregistered");
  own = MakeOwnWindow();
  const auto procedure = reinterpret_cast<LONG_PTR>(&OwnClassProcedure);
  auto check = [](const char* call, bool ok) {
    vo::test::RecordLine(FAULT_TAG, "readback", "call=%s ok=%d", call, ok ? 1 : 0);
  };
  WNDCLASSA plain{};
  WNDCLASSEXA extended{};
  extended.cbSize = sizeof extended;
  check("GetClassInfoA", GetClassInfoA(self, kClassName, &plain) &&
                             reinterpret_cast<LONG_PTR>(plain.lpfnWndProc) == procedure);
  check("GetClassInfoExA", GetClassInfoExA(self, kClassName, &extended) &&
                               reinterpret_cast<LONG_PTR>(extended.lpfnWndProc) == procedure);
  check("GetClassLongPtrA",
        static_cast<LONG_PTR>(GetClassLongPtrA(own, GCLP_WNDPROC)) == procedure);
  check("GetWindowLongPtrA", GetWindowLongPtrA(own, GWLP_WNDPROC) == procedure);
}

LRESULT CALLBACK SpinningProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WINDOWPOSCHANGING) Spin();
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterEarlyClass(HINSTANCE instance) {
  WNDCLASSA form{};
  form.lpfnWndProc = SpinningProcedure;
  form.hInstance = instance;
  form.lpszClassName = "voFaultEarly";
  RegisterClassA(&form);
}

void SpinInCallback() {
  const HWND window =
      CreateWindowExA(0, "voFaultEarly", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, self, nullptr);
  SetWindowPos(window, nullptr, 1, 1, 2, 2, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CALLBACK NotingTimerProcedure(HWND, UINT, UINT_PTR, DWORD) { Note("timer"); }

DWORD WINAPI ThreadMain(void*) {
  WriteThroughNull();
  return 0;
}

DWORD WINAPI SystemFaultMain(void*) {
  void* const bad = reinterpret_cast<void*>(0x10);
  // A heap that checks the pointer refuses it; the lock's code faults in any case.
  HeapFree(GetProcessHeap(), 0, bad);
  EnterCriticalSection(static_cast<CRITICAL_SECTION*>(bad));
  return 0;
}

DWORD WINAPI BusyMain(void*) {
  for (;;) SwitchToThread();
}

CRITICAL_SECTION detachLock;

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) SetTimer(dialog, 1, 100, nullptr);
  if (message == WM_TIMER) Spin();
  return message == WM_INITDIALOG;
}

void OpenSpinningDialog(HWND owner) {
  // An empty dialog titled "spin": no menu, the standard class.
  struct {
    DLGTEMPLATE header;
    WORD menu, windowClass;
    WCHAR title[5];
  } form{{WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 10, 10, 120, 40}, 0, 0, L"spin"};
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &form.header, owner, DialogProcedure, 0);
}

__attribute__((noinline)) void Overrun() {
  volatile char buffer[16];
  buffer[0] = 0;
  // In assembly: the compiler would drop stores past the end of the buffer.
  void* at = const_cast<char*>(buffer);
  unsigned long count = sizeof buffer + 160;
  asm volatile("rep stosb" : "+D"(at), "+c"(count) : "a"(0x41) : "memory");
}

void LeaveStateUnmasked() {
  unsigned short control = 0x0340;  // precision 53 bits, every exception unmasked
  asm volatile("fldcw %0" : : "m"(control));
  unsigned int csr = 0;  // every SSE exception unmasked
  asm volatile("ldmxcsr %0; std" : : "m"(csr));
}

bool disabled = false;

LRESULT CALLBACK WideProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (disabled) Note("late");
  if (message == WM_NOTIFYFORMAT && lParam == NF_QUERY) return NFR_UNICODE;
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

void Subclass(HWND clock) {
  if (subclassed) return;
  subclassed = clock;
  previous = reinterpret_cast<WNDPROC>(
      kMode == Mode::kForgetWide
          ? SetWindowLongPtrW(clock, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WideProcedure))
          : SetWindowLongPtrA(clock, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
  Note("subclass");
}

constexpr UINT kIdiomMessage = WM_APP + 0x56;

LRESULT CALLBACK IdiomProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kIdiomMessage) Note("arrived");
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

// The common idiom: subclass unless the procedure is already in place.
void KeepSubclassed(HWND window) {
  if (!window ||
      GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&IdiomProcedure)) {
    return;
  }
  previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IdiomProcedure)));
}

int freqCalls = 0;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  if (kMode == Mode::kBusyThread && reason == DLL_PROCESS_DETACH) {
    vo::test::RecordLine(FAULT_TAG, "detach", "ending=%d", reserved ? 1 : 0);
  }
  if (kMode == Mode::kLoadBlock && reason == DLL_PROCESS_ATTACH) Sleep(INFINITE);
  if (kMode == Mode::kCallbackSpin && reason == DLL_PROCESS_ATTACH) RegisterEarlyClass(instance);
  if (kMode != Mode::kDetachSpin) return TRUE;
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&detachLock);
  if (reason == DLL_THREAD_ATTACH || reason == DLL_THREAD_DETACH) {
    EnterCriticalSection(&detachLock);
    LeaveCriticalSection(&detachLock);
  }
  return TRUE;
}

void WINAPI VpiEnable(void) {
  Note("enable");
  if (kMode == Mode::kEnable) WriteThroughNull();
  if (kMode == Mode::kTimerSpin || kMode == Mode::kTimerWrite || kMode == Mode::kAboutSpin) {
    SetTimer(nullptr, 0, 100, TimerProcedure);
  }
  if (kMode == Mode::kHookWrite || kMode == Mode::kHookWriteWide) SetFaultingHook();
  if (kMode == Mode::kWinEventWrite) {
    SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, WinEventProcedure, GetCurrentProcessId(), 0,
                    WINEVENT_OUTOFCONTEXT);
  }
  if (kMode == Mode::kClassWrite || kMode == Mode::kClassWriteWide ||
      kMode == Mode::kClassWriteEx || kMode == Mode::kClassWriteExWide ||
      kMode == Mode::kClassLongWrite) {
    MakeWindowOfOwnClass();
  }
  if (kMode == Mode::kGlobalHook) SetWindowsHookExA(WH_GETMESSAGE, GlobalProcedure, self, 0);
  if (kMode == Mode::kResubclass) CheckReadBack();
  if (kMode == Mode::kTimerThenWrite) SetTimer(nullptr, 0, 100, NotingTimerProcedure);
  if (kMode == Mode::kBusyThread) {
    CloseHandle(CreateThread(nullptr, 0, BusyMain, nullptr, 0, nullptr));
  }
}

void WINAPI VpiDisable(void) {
  Note("disable");
  if (kMode == Mode::kDisable) WriteThroughNull();
  if (kMode == Mode::kSubclass && subclassed) {
    SetWindowLongPtrA(subclassed, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
  disabled = true;
}

void WINAPI VpiNotify(HWND, double) {
  Note("notify");
  if (kMode == Mode::kDivide) DivideByZero();
}

void WINAPI VpiNotifyFreq(HWND clock, double) {
  Note("notifyfreq");
  const bool first = !due;
  due = ++freqCalls >= FAULT_FROM;
  clockWindow = clock;
  switch (kMode) {
    case Mode::kPaintWrite:
      Subclass(clock);
      if (due && first) InvalidateRect(clock, nullptr, FALSE);
      break;
    case Mode::kRaiseWrite:
    case Mode::kRaiseSpin:
    case Mode::kMenuWrite:
      Subclass(clock);
      break;
    case Mode::kNullWrite:
    case Mode::kTimerThenWrite:
      if (due) WriteThroughNull();
      break;
    case Mode::kSubclassWrite:
    case Mode::kSubclassSpin:
      Subclass(clock);
      break;
    case Mode::kThreadWrite:
      if (due && first) CloseHandle(CreateThread(nullptr, 0, ThreadMain, nullptr, 0, nullptr));
      break;
    case Mode::kHeapSpin:
      if (due) {
        Note("hang");  // not while holding the heap's lock
        if (HeapLock(GetProcessHeap())) SpinQuietly();
      }
      break;
    case Mode::kDetachSpin:
      if (due) {
        Note("hang");
        EnterCriticalSection(&detachLock);
        SpinQuietly();
      }
      break;
    case Mode::kDialogSpin:
      if (due) OpenSpinningDialog(clock);
      break;
    case Mode::kOverrun:
      if (due) Overrun();
      break;
    case Mode::kUnmask:
      if (due) LeaveStateUnmasked();
      break;
    case Mode::kExitThread:
      if (due) ExitThread(0);
      break;
    case Mode::kBlock:
      if (due) Sleep(INFINITE);
      break;
    case Mode::kThrow:
      if (due) throw std::runtime_error("thrown out of VpiNotifyFreq");
      break;
    case Mode::kAbort:
      if (due) abort();
      break;
    case Mode::kExitProcess:
      if (due) ExitProcess(7);
      break;
    case Mode::kCallbackSpin:
      if (due && first) SpinInCallback();
      break;
    case Mode::kSystemFault:
      if (due && first) {
        CloseHandle(CreateThread(nullptr, 0, SystemFaultMain, nullptr, 0, nullptr));
      }
      break;
    case Mode::kOverflow:
      Recurse(0);
      break;
    case Mode::kForeignCode:
      RaiseException(0xE0564F46, 0, 0, nullptr);
      break;
    case Mode::kSpin:
      if (due) Spin();
      break;
    case Mode::kSubclass:
    case Mode::kForget:
    case Mode::kForgetWide:
      Subclass(clock);
      break;
    case Mode::kResubclass:
      KeepSubclassed(own);
      break;
    default:
      break;
  }
}

const char* WINAPI VpiDiscription(void) { return "fault test plug-in " FAULT_TAG; }

void WINAPI VpiSetProps(void) {}

}  // extern "C"

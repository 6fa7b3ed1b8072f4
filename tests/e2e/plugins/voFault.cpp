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
//   kForgetWide   kForget with a wide procedure (SetWindowLongPtrW): the clock's window turns
//                 Unicode. Notes "late" for each message reaching it after VpiDisable
#include <windows.h>

#include <cstdio>

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
  kForgetWide
};
constexpr Mode kMode = Mode::FAULT_MODE;

void Note(const char* event) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("VO_RECORD_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char line[128];
  const int size = std::snprintf(line, sizeof line, "%s %s tick=%llu\n", event, FAULT_TAG,
                                 static_cast<unsigned long long>(GetTickCount64()));
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

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

void Spin() {
  volatile unsigned counter = 0;
  for (;;) counter = counter + 1;
}

HWND subclassed = nullptr;
WNDPROC previous = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(previous, window, message, wParam, lParam);
}

bool disabled = false;

LRESULT CALLBACK WideProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (disabled) Note("late");
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

int freqCalls = 0;

}  // namespace

extern "C" {

void WINAPI VpiEnable(void) {
  Note("enable");
  if (kMode == Mode::kEnable) WriteThroughNull();
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
  const bool due = ++freqCalls >= FAULT_FROM;
  switch (kMode) {
    case Mode::kNullWrite:
      if (due) WriteThroughNull();
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
    default:
      break;
  }
}

const char* WINAPI VpiDiscription(void) { return "fault test plug-in " FAULT_TAG; }

void WINAPI VpiSetProps(void) {}

}  // extern "C"

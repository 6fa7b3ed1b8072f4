// A test-only plug-in that writes down everything the clock does to it, one line per event,
// to the file named by VO_RECORD_LOG:
//
//   <event> <tag> tid=.. tick=.. key=value ...   (RecordLog.h)
//
// Built with different RECORDER_TAG values so that slot order shows in a shared log.
// Each call notes the x87 control word, MXCSR and direction flag it was made with, and the
// process's end notes "detach" from DllMain.
// It also subclasses the clock window on the first handle it is given and records every clock
// control message and mouse button press and release that reaches the window, before the
// clock handles it; on kDisplayStateRequest (sent by a test, wParam the state: 0 off, 1 on)
// it tells the clock the display's new power state as the system does, by a pointer valid only
// in this process; and the first copy loaded turns the system's sndPlaySoundA into a
// stand-in that records each wave played and plays it. VpiEnable of the tag named by
// VO_RECORD_SLOW_ENABLE takes half a second.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "HexText.h"
#include "Panel/ClockMessages.h"
#include "RecordLog.h"
#include "vo_plugin.h"

#ifndef RECORDER_TAG
#define RECORDER_TAG "?"
#endif

namespace {

constexpr UINT_PTR kSubclassId = 0x766F;  // any value unique to this module
constexpr size_t kMaxRecordedText = 1024;
constexpr UINT kDisplayStateRequest = WM_APP + 0x766;

HWND g_subclassed = nullptr;

using PlayFunction = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);  // PlaySoundA
PlayFunction g_realPlay = nullptr;

template <typename... Details>
void Record(const char* event, const char* format = "", Details... details) {
  vo::test::RecordLine(RECORDER_TAG, event, format, details...);
}

// Reads a zero-terminated string at an address that may be anything (a posted message from
// another program carries pointers into that program). Never faults: reads go through
// ReadProcessMemory a page at a time. "null", "bad" (first byte unreadable) or hex bytes;
// a trailing "+" means the text went on or became unreadable.
std::string DescribeForeignText(const void* address) {
  if (!address) return "null";
  std::string hex;
  auto cursor = reinterpret_cast<uintptr_t>(address);
  size_t taken = 0;
  while (taken < kMaxRecordedText) {
    const uintptr_t pageEnd = (cursor | 0xFFF) + 1;
    const size_t chunk = std::min<size_t>(pageEnd - cursor, kMaxRecordedText - taken);
    unsigned char buffer[4096];
    SIZE_T read = 0;
    if (!ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(cursor), buffer,
                           chunk, &read) ||
        read != chunk) {
      return taken == 0 ? "bad" : hex + "+";
    }
    const unsigned char* end = std::find(buffer, buffer + chunk, 0);
    vo::test::AppendHex(hex, buffer, static_cast<size_t>(end - buffer));
    if (end != buffer + chunk) return hex;
    taken += chunk;
    cursor += chunk;
  }
  return hex + "+";
}

BOOL WINAPI RecordingPlay(LPCSTR sound, UINT flags) {
  Record("play", "path=%s flags=0x%x", DescribeForeignText(sound).c_str(), flags);
  return g_realPlay ? g_realPlay(sound, nullptr, flags) : FALSE;
}

// vo.exe binds the wave player before it loads any plug-in: the player's first instructions
// become a jump to the recording one, which plays through PlaySoundA. Only the first recorder
// takes it (the second finds the jump there); the module is pinned, as the jump keeps pointing
// into it after the clock has released its plug-ins.
void HookWavePlayback() {
  const HMODULE winmm = GetModuleHandleA("winmm.dll");
  if (!winmm) return;
  auto* code = reinterpret_cast<unsigned char*>(GetProcAddress(winmm, "sndPlaySoundA"));
  g_realPlay = reinterpret_cast<PlayFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(winmm, "PlaySoundA")));
  if (!code || !g_realPlay) return;
  unsigned char jump[12];
  const auto target = reinterpret_cast<std::uintptr_t>(&RecordingPlay);
#if defined(__x86_64__)
  const std::size_t size = 12;
  jump[0] = 0x48;  // mov rax, target; jmp rax
  jump[1] = 0xB8;
  std::memcpy(jump + 2, &target, 8);
  jump[10] = 0xFF;
  jump[11] = 0xE0;
#else
  const std::size_t size = 5;
  const auto relative =
      static_cast<std::uint32_t>(target - (reinterpret_cast<std::uintptr_t>(code) + 5));
  jump[0] = 0xE9;  // jmp rel32
  std::memcpy(jump + 1, &relative, 4);
#endif
  // Another recorder's jump is there already: its opcode (and, on x86-64, the mov's REX prefix
  // and opcode, the prefix alone being how many functions start).
  if (std::memcmp(code, jump, size == 12 ? 2 : 1) == 0) return;
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&RecordingPlay), &self);
  DWORD protection = 0;
  if (!VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &protection)) return;
  std::memcpy(code, jump, size);
  VirtualProtect(code, size, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), code, size);
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                               UINT_PTR /*id*/, DWORD_PTR /*data*/) {
  if (const std::string name(vo::ClockMessageName(message)); !name.empty()) {
    const auto w = static_cast<unsigned long long>(wparam);
    const auto l = static_cast<unsigned long long>(lparam);
    if (message == CLK_TELOP) {
      Record("message", "name=%s number=0x%x wparam=0x%llx lparam=0x%llx text=%s wave=%s",
             name.c_str(), message, w, l,
             DescribeForeignText(reinterpret_cast<const void*>(wparam)).c_str(),
             DescribeForeignText(reinterpret_cast<const void*>(lparam)).c_str());
    } else {
      Record("message", "name=%s number=0x%x wparam=0x%llx lparam=0x%llx", name.c_str(), message, w,
             l);
    }
  } else if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
    Record("buttondown", "button=%s", message == WM_LBUTTONDOWN ? "left" : "right");
  } else if (message == WM_LBUTTONUP || message == WM_RBUTTONUP) {
    // A sign that the mouse input before it has been handled.
    Record("buttonup", "button=%s", message == WM_LBUTTONUP ? "left" : "right");
  } else if (message == kDisplayStateRequest) {
    // The session's display: {2b84c20e-ad23-4ddf-93db-05ffbd7efca5}.
    struct {
      GUID setting{0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};
      DWORD length = sizeof(DWORD);
      DWORD state = 0;
    } notice;
    notice.state = static_cast<DWORD>(wparam);
    const LRESULT answer = SendMessageA(window, WM_POWERBROADCAST, 0x8013 /* setting changed */,
                                        reinterpret_cast<LPARAM>(&notice));
    Record("display", "state=%lu answer=%ld", notice.state, static_cast<long>(answer));
    return answer;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, RecordingProc, kSubclassId);
    g_subclassed = nullptr;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// The comctl32 subclass chain lets each recorder leave in any order; a raw GWLP_WNDPROC swap
// would leave the window calling into an unloaded module when an earlier one leaves first.
// The module is pinned as well: the clock unloads plug-ins while it handles WM_CLOSE or
// WM_QUERYENDSESSION, which came in through RecordingProc, so that frame is still on the
// stack and must have code to return to.
void SubclassOnce(HWND clock) {
  if (g_subclassed || !clock) return;
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&RecordingProc), &self);
  const BOOL ok = SetWindowSubclass(clock, RecordingProc, kSubclassId, 0);
  if (ok) g_subclassed = clock;
  Record("subclass", "hwnd=0x%llx ok=%d",
         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(clock)), ok ? 1 : 0);
}

// The floating-point state and direction flag the clock calls with: the clock's own, whatever
// an earlier plug-in left behind.
struct MachineState {
  unsigned short x87 = 0;
  unsigned int mxcsr = 0;
  uintptr_t flags = 0;
};

MachineState ReadMachineState() {
  MachineState state;
  asm volatile("fnstcw %0; stmxcsr %1" : "=m"(state.x87), "=m"(state.mxcsr));
  asm volatile("pushf; pop %0" : "=r"(state.flags));
  return state;
}

void RecordNotify(const char* event, HWND clock, double now) {
  const MachineState state = ReadMachineState();  // first, before any code of its own
  SubclassOnce(clock);
  Record(event, "value=%.9f hwnd=0x%llx x87=0x%x mxcsr=0x%x df=%d", now,
         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(clock)), state.x87,
         state.mxcsr, static_cast<int>(state.flags >> 10 & 1));
}

}  // namespace

extern "C" {

// The end of the process as the module sees it: a program that ended at once (after plug-in
// code was cut short) runs no DllMain. The module is pinned, so only the process's end
// detaches it.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_DETACH) Record("detach", "ending=%d", reserved ? 1 : 0);
  return TRUE;
}

void WINAPI VpiEnable(void) {
  const MachineState state = ReadMachineState();
  // A slow start of the tag VO_RECORD_SLOW_ENABLE names: its host must wait for it.
  char slow[8] = "";
  GetEnvironmentVariableA("VO_RECORD_SLOW_ENABLE", slow, sizeof slow);
  if (std::strcmp(slow, RECORDER_TAG) == 0) Sleep(500);
  Record("enable", "x87=0x%x mxcsr=0x%x", state.x87, state.mxcsr);
  HookWavePlayback();
}

void WINAPI VpiDisable(void) {
  if (g_subclassed) {
    const BOOL ok = RemoveWindowSubclass(g_subclassed, RecordingProc, kSubclassId);
    Record("unsubclass", "ok=%d", ok ? 1 : 0);
    g_subclassed = nullptr;
  }
  Record("disable");
}

void WINAPI VpiNotify(HWND clock, double now) { RecordNotify("notify", clock, now); }

void WINAPI VpiNotifyFreq(HWND clock, double now) { RecordNotify("notifyfreq", clock, now); }

const char* WINAPI VpiDiscription(void) {
  Record("description");
  return "テスト用の記録プラグイン " RECORDER_TAG;
}

void WINAPI VpiSetProps(void) { Record("setprops"); }

}  // extern "C"

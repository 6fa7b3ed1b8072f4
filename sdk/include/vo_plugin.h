/* vo plug-in interface.
 *
 * A plug-in is a 32-bit DLL whose name matches vo*.DLL (any case), placed beside vo.exe.
 * vo loads every such file once at start, in the case-insensitive order of the names, keeps
 * at most 32 of them and unloads them when the clock closes. VpiDiscription is required (a
 * DLL without it is skipped); the other five are optional and simply not called when absent.
 *
 * All six are stdcall and must be exported under their plain names: link with
 * vo_plugin.def (and -Wl,--kill-at with mingw). See GUIDE.md.
 *
 * Everything runs on vo's one GUI thread. The plug-in acts on the clock only by sending or
 * posting the CLK_* messages below to the window handle given to VpiNotify and
 * VpiNotifyFreq.
 *
 *     // Make the clock white on navy, and read the colours back.
 *     SendMessageA(clock, CLK_SETCOLOR, RGB(255, 255, 255), RGB(0, 0, 128));
 *     COLORREF fore = (COLORREF)SendMessageA(clock, CLK_GETFORECOLOR, 0, 0);
 *
 *     // A posted telop: the buffer must stay unchanged until the clock has shown it.
 *     static char telop[64];
 *     lstrcpyA(telop, "...");
 *     PostMessageA(clock, CLK_TELOP, (WPARAM)telop, 0);
 */
#ifndef VO_PLUGIN_H
#define VO_PLUGIN_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Time signal. WParam: const char* telop text, or NULL; LParam: const char* path of a wave
 * file, or NULL. NULL and "" both mean "none". Result 0.
 * The strings stay yours: after a SendMessage you may free them at once; after a
 * PostMessage keep them alive and unchanged until the clock has handled the message (for
 * example in a static buffer that you refill only at your next post). */
#define CLK_TELOP (WM_USER + 100)
/* WParam: text colour; LParam: back colour (0x00BBGGRR; top bit set = system colour).
 * Stored as given, unchecked. Result 0. */
#define CLK_SETCOLOR (WM_USER + 101)
/* Result: the current text colour. Useful only with SendMessage. */
#define CLK_GETFORECOLOR (WM_USER + 102)
/* Result: the current back colour. Useful only with SendMessage. */
#define CLK_GETBACKCOLOR (WM_USER + 103)
/* WParam: new left edge in screen pixels (signed); applied unclamped. Result 0. */
#define CLK_SETLEFT (WM_USER + 104)
/* Result: the current left edge in screen pixels (signed). Useful only with SendMessage. */
#define CLK_GETLEFT (WM_USER + 105)

/* The window class of the clock, for FindWindowA from outside the clock's process. */
#define CLK_CLASSNAME "TClockPanel"

/* Once, right after the module took its slot at start-up. */
void WINAPI VpiEnable(void);
/* Once, when the clock closes, just before the module is unloaded. */
void WINAPI VpiDisable(void);
/* Each time the shown minute changes. now: days since 1899-12-30, the fraction being the
 * time of day (the same count as an OLE DATE). */
void WINAPI VpiNotify(HWND clock, double now);
/* On every 50 ms tick, last in the tick, with the same value VpiNotify got in that tick.
 * Return quickly: the clock waits for you. */
void WINAPI VpiNotifyFreq(HWND clock, double now);
/* Required. Shown when the user selects the module in the settings dialog; vo copies the
 * text at once and never frees it, so a static string is the usual answer. */
const char* WINAPI VpiDiscription(void);
/* The user pressed the module's settings button; vo's settings dialog is hidden meanwhile. */
void WINAPI VpiSetProps(void);

/* Entry point types, as the host resolves them with GetProcAddress. */
typedef void(WINAPI* VpiEnableProc)(void);
typedef void(WINAPI* VpiDisableProc)(void);
typedef void(WINAPI* VpiNotifyProc)(HWND clock, double now);
typedef void(WINAPI* VpiNotifyFreqProc)(HWND clock, double now);
typedef const char*(WINAPI* VpiDiscriptionProc)(void);
typedef void(WINAPI* VpiSetPropsProc)(void);

#ifdef __cplusplus
}
#endif

#endif

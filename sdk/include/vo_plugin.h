/* vo plug-in interface.
 *
 * A plug-in is a 32-bit DLL named vo*.DLL placed beside vo.exe. vo loads it at start,
 * requires the export VpiDiscription and calls the other five when present. All six
 * are stdcall and must be exported under their plain names (link with vo_plugin.def,
 * or -Wl,--kill-at with mingw).
 *
 * The plug-in acts on the clock by sending or posting the CLK_* messages below to the
 * window handle it receives in VpiNotify and VpiNotifyFreq.
 */
#ifndef VO_PLUGIN_H
#define VO_PLUGIN_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* WParam: const char* telop text or NULL; LParam: const char* wave path or NULL.
 * A posted message's strings must stay valid until the clock has handled it. */
#define CLK_TELOP (WM_USER + 100)
/* WParam: text colour; LParam: back colour (0x00BBGGRR, top bit set = system colour). */
#define CLK_SETCOLOR (WM_USER + 101)
/* Result: the current text colour. */
#define CLK_GETFORECOLOR (WM_USER + 102)
/* Result: the current back colour. */
#define CLK_GETBACKCOLOR (WM_USER + 103)
/* WParam: new left edge in screen pixels (signed); applied unclamped. */
#define CLK_SETLEFT (WM_USER + 104)
/* Result: the current left edge in screen pixels (signed). */
#define CLK_GETLEFT (WM_USER + 105)

#ifdef VO_PLUGIN_EXPORTS
#define VO_PLUGIN_API __declspec(dllexport)
#else
#define VO_PLUGIN_API
#endif

/* Once, right after the module took a slot at start-up. */
VO_PLUGIN_API void WINAPI VpiEnable(void);
/* Once, when the clock closes, before the module is unloaded. */
VO_PLUGIN_API void WINAPI VpiDisable(void);
/* At every change of the shown minute; now = days since 1899-12-30. */
VO_PLUGIN_API void WINAPI VpiNotify(HWND clock, double now);
/* On every 50 ms tick, with the same value VpiNotify got in that tick. Return quickly. */
VO_PLUGIN_API void WINAPI VpiNotifyFreq(HWND clock, double now);
/* Required. The text is copied at once; it must stay valid until the call returns. */
VO_PLUGIN_API const char* WINAPI VpiDiscription(void);
/* The user asked for the module's settings; the settings dialog is hidden meanwhile. */
VO_PLUGIN_API void WINAPI VpiSetProps(void);

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

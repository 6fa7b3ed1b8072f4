/* voSample: a small vo plug-in that gives a telop at half past every hour.
 *
 * It shows the whole contract: the required VpiDiscription, a time signal posted with
 * CLK_TELOP from a buffer that outlives the post, a settings box in VpiSetProps, and the
 * calls it has no use for left as empty, quick functions.
 *
 * The Japanese texts are written as Shift_JIS bytes so that the file builds the same with
 * any compiler and any source or execution character set.
 */
#include <windows.h>

#include "vo_plugin.h"

/* "サンプル・プラグイン: 毎時30分にテロップでお知らせします。" */
static const char kDescription[] =
    "\x83T\x83\x93\x83v\x83\x8B\x81"
    "E\x83v\x83\x89\x83O\x83"
    "C\x83\x93: \x96\x88\x8E\x9E"
    "30\x95\xAA\x82\xC9\x83"
    "e\x83\x8D\x83"
    "b\x83v\x82\xC5\x82\xA8\x92m\x82\xE7\x82\xB9\x82"
    "\xB5\x82\xDC\x82\xB7\x81"
    "B";

/* "%d時30分です。ひと息いれませんか。" (%d: the hour) */
static const char kTelopFormat[] =
    "%d\x8E\x9E"
    "30\x95\xAA\x82\xC5\x82\xB7\x81"
    "B\x82\xD0\x82\xC6\x91\xA7\x82\xA2\x82\xEA"
    "\x82\xDC\x82\xB9\x82\xF1\x82\xA9\x81"
    "B";

/* "毎時30分のお知らせを表示しますか？" */
static const char kAskAnnounce[] =
    "\x96\x88\x8E\x9E"
    "30\x95\xAA\x82\xCC\x82\xA8\x92m\x82\xE7\x82\xB9\x82\xF0\x95\\\x8E\xA6"
    "\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H";

static const char kCaption[] = "voSample";

static BOOL g_announce = TRUE;

/* A posted CLK_TELOP only carries the pointer: the text must stay valid until the clock has
 * handled the message. This buffer is rewritten only at the next announcement, an hour
 * later. */
static char g_telop[128];

/* Minutes since midnight of a date-time value (days since 1899-12-30), to the nearest
 * millisecond so that 14:59:59.9996 does not count as 14:59. */
static int MinuteOfDay(double now) {
  double day = (double)(LONGLONG)now;
  LONGLONG ms;
  if (day > now) day -= 1.0;
  ms = (LONGLONG)((now - day) * 86400000.0 + 0.5);
  return (int)((ms / 60000) % 1440);
}

void WINAPI VpiEnable(void) { /* Nothing to set up: all state is static. */
}

void WINAPI VpiDisable(void) { /* Nothing to release. */
}

void WINAPI VpiNotify(HWND clock, double now) {
  const int minute = MinuteOfDay(now);
  if (!g_announce || minute % 60 != 30) return;
  wsprintfA(g_telop, kTelopFormat, minute / 60);
  PostMessageA(clock, CLK_TELOP, (WPARAM)g_telop, 0);
}

void WINAPI VpiNotifyFreq(HWND clock, double now) {
  /* Called twenty times a second; a plug-in with work to do here must return quickly. */
  (void)clock;
  (void)now;
}

const char* WINAPI VpiDiscription(void) { return kDescription; }

void WINAPI VpiSetProps(void) {
  const UINT defaultButton = g_announce ? MB_DEFBUTTON1 : MB_DEFBUTTON2;
  const int answer =
      MessageBoxA(NULL, kAskAnnounce, kCaption,
                  MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND | defaultButton);
  g_announce = answer == IDYES;
}

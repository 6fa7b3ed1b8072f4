// A test-only plug-in with all six entry points, each of which only writes a line to
// VO_RECORD_LOG (recorder format, tag STUB_TAG). Which of them the module really exports is
// up to the .def file it is linked with; the tests use it for modules the clock must reject.
#include <windows.h>

#include "RecordLog.h"
#include "vo_plugin.h"

#ifndef STUB_TAG
#define STUB_TAG "?"
#endif

namespace {

void Record(const char* event) { vo::test::RecordLine(STUB_TAG, event); }

}  // namespace

extern "C" {

void WINAPI VpiEnable(void) { Record("enable"); }
void WINAPI VpiDisable(void) { Record("disable"); }
void WINAPI VpiNotify(HWND, double) { Record("notify"); }
void WINAPI VpiNotifyFreq(HWND, double) { Record("notifyfreq"); }
const char* WINAPI VpiDiscription(void) {
  Record("description");
  return "stub " STUB_TAG;
}
void WINAPI VpiSetProps(void) { Record("setprops"); }

}  // extern "C"

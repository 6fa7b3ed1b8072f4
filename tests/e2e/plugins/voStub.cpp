// A test-only plug-in with all six entry points, each of which only writes a line to
// VO_RECORD_LOG (recorder format, tag STUB_TAG). Which of them the module really exports is
// up to the .def file it is linked with; the tests use it for modules the clock must reject.
#include <windows.h>

#include <cstdio>

#include "vo_plugin.h"

#ifndef STUB_TAG
#define STUB_TAG "?"
#endif

namespace {

void Record(const char* event) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("VO_RECORD_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char line[128];
  const int size = std::snprintf(line, sizeof line, "%s %s tid=%lu\n", event, STUB_TAG,
                                 GetCurrentThreadId());
  if (size <= 0 || size >= static_cast<int>(sizeof line)) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

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

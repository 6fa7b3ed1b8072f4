// A test-only plug-in that gives the clock time signals on demand. On every tick it looks for
// the file named by VO_TELOP_TRIGGER; when the file is there it reads it, deletes it and acts
// on its lines:
//
//   how=send|post|close   send or post CLK_TELOP; "close" posts WM_CLOSE first and then the
//                         CLK_TELOPs, so that they are still queued when the close runs
//   text=...              telop text (ANSI bytes as written; absent = null pointer)
//   wave=...              wave path (absent = null pointer)
//   count=N               how many CLK_TELOPs to post (default 1)
//
// It writes what it did to VO_RECORD_LOG in the recorder's line format, tag "T".
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vo_plugin.h"

namespace {

HWND g_clock = nullptr;
// A posted CLK_TELOP carries pointers into these: they stay unchanged until the next trigger.
std::string g_text;
std::string g_wave;

void Record(const char* event, const char* format = "", ...) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("VO_RECORD_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char details[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(details, sizeof details, format, args);
  va_end(args);
  char line[1200];
  const int size = std::snprintf(line, sizeof line, "%s T tid=%lu tick=%llu%s%s\n", event,
                                 GetCurrentThreadId(), GetTickCount64(), details[0] ? " " : "",
                                 details);
  if (size <= 0) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::min<size_t>(size, sizeof line - 1)), &written,
            nullptr);
  CloseHandle(file);
}

std::string Hex(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

struct Trigger {
  std::string how = "send";
  bool hasText = false;
  bool hasWave = false;
  std::string text;
  std::string wave;
  int count = 1;
};

bool ReadTrigger(Trigger& trigger) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("VO_TELOP_TRIGGER", path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string content(4096, '\0');
  DWORD read = 0;
  const BOOL ok = ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read,
                           nullptr);
  CloseHandle(file);
  // The test writes the file under another name and renames it, so a read is never partial.
  DeleteFileA(path);
  if (!ok) return false;
  content.resize(read);

  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "how") {
      trigger.how = value;
    } else if (key == "text") {
      trigger.hasText = true;
      trigger.text = value;
    } else if (key == "wave") {
      trigger.hasWave = true;
      trigger.wave = value;
    } else if (key == "count") {
      trigger.count = std::max(1, std::atoi(value.c_str()));
    }
  }
  return true;
}

void Act(HWND clock, const Trigger& trigger) {
  g_text = trigger.text;
  g_wave = trigger.wave;
  const auto wparam = reinterpret_cast<WPARAM>(trigger.hasText ? g_text.c_str() : nullptr);
  const auto lparam = reinterpret_cast<LPARAM>(trigger.hasWave ? g_wave.c_str() : nullptr);
  if (trigger.how == "send") {
    const LRESULT result = SendMessageA(clock, CLK_TELOP, wparam, lparam);
    Record("telop", "how=send text=%s result=%lld", Hex(g_text).c_str(),
           static_cast<long long>(result));
    return;
  }
  if (trigger.how == "close") PostMessageA(clock, WM_CLOSE, 0, 0);
  int posted = 0;
  for (int i = 0; i < trigger.count; ++i) {
    if (PostMessageA(clock, CLK_TELOP, wparam, lparam)) ++posted;
  }
  Record("telop", "how=%s text=%s posted=%d", trigger.how.c_str(), Hex(g_text).c_str(), posted);
}

}  // namespace

extern "C" {

void WINAPI VpiEnable(void) { Record("enable"); }

void WINAPI VpiDisable(void) {
  // Runs in the close: tells whether time signals are still waiting in the clock's queue.
  MSG pending;
  const bool queued = g_clock && PeekMessageA(&pending, g_clock, CLK_TELOP, CLK_TELOP,
                                              PM_NOREMOVE | PM_NOYIELD);
  Record("disable", "queued=%d", queued ? 1 : 0);
}

void WINAPI VpiNotify(HWND, double) {}

void WINAPI VpiNotifyFreq(HWND clock, double) {
  g_clock = clock;
  Trigger trigger;
  if (ReadTrigger(trigger)) Act(clock, trigger);
}

const char* WINAPI VpiDiscription(void) { return "telop trigger (test)"; }

void WINAPI VpiSetProps(void) {}

}  // extern "C"

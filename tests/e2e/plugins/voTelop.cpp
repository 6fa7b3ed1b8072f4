// A test-only plug-in that gives the clock time signals on demand. On every tick it looks for
// the file named by VO_TELOP_TRIGGER; when the file is there it reads it, deletes it and acts
// on its lines:
//
//   how=send|post|close|none  send or post CLK_TELOP; "close" posts WM_CLOSE first and then
//                         the CLK_TELOPs, so that they are still queued when the close runs;
//                         "none" gives no signal (e.g. only measure=1)
//   text=...              telop text (ANSI bytes as written; absent = null pointer)
//   wave=...              wave path (absent = null pointer)
//   count=N               how many CLK_TELOPs to post (default 1)
//   hold=1,5              after the N-th following tick(s): paint the clock at once and keep
//                         the tick from ending for holdms (default 1500) ms, pumping
//                         messages, so that a screenshot catches exactly that frame
//   measure=1             render the text in the telop font and record its pixels, so that
//                         the test can tell at which x a frame on the screen was drawn
//   font=date|time        measure in a label's font instead, centred in the label's box as
//                         the clock draws its captions
//
// It writes what it did to VO_RECORD_LOG in the recorder's line format, tag "T".
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HexText.h"
#include "PixelCanvas.h"
#include "RecordLog.h"
#include "vo_plugin.h"

namespace {

using vo::test::Hex;

HWND g_clock = nullptr;
// A posted CLK_TELOP carries pointers into these: they stay unchanged until the next trigger.
std::string g_text;
std::string g_wave;
std::string g_holds;  // ",1,5," : tick numbers after the last trigger to hold at
DWORD g_holdMs = 1500;
int g_ticksSinceTrigger = 0;

template <typename... Details>
void Record(const char* event, const char* format = "", Details... details) {
  vo::test::RecordLine("T", event, format, details...);
}

struct Trigger {
  std::string how = "send";
  bool hasText = false;
  bool hasWave = false;
  std::string text;
  std::string wave;
  int count = 1;
  std::string holds;
  DWORD holdMs = 1500;
  bool measure = false;
  std::string font = "telop";
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
  const BOOL ok =
      ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
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
    } else if (key == "hold") {
      trigger.holds = "," + value + ",";
    } else if (key == "holdms") {
      trigger.holdMs = static_cast<DWORD>(std::atoi(value.c_str()));
    } else if (key == "measure") {
      trigger.measure = value == "1";
    } else if (key == "font") {
      trigger.font = value;
    }
  }
  return true;
}

// The clock's fonts, all without smoothing: the telop's Arial 13 regular (Shift_JIS); the
// date's Arial 12 bold and the time's Arial 16 bold italic, each centred in its label's box.
struct Lettering {
  int height;
  int weight;
  BOOL italic;
  BYTE charset;
  int boxWidth;  // 0: as wide as the text, drawn at 0, 0
  int boxHeight;
};

Lettering LetteringOf(const std::string& font) {
  if (font == "date") return {12, FW_BOLD, FALSE, ANSI_CHARSET, 53, 13};
  if (font == "time") return {16, FW_BOLD, TRUE, ANSI_CHARSET, 50, 15};
  return {13, FW_NORMAL, FALSE, SHIFTJIS_CHARSET, 0, 17};
}

int TextWidth(const std::string& text, HFONT font) {
  const vo::win::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  const vo::win::SelectedObject chosen(dc.get(), font);
  RECT extent{0, 0, 0, 0};
  DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return std::max<int>(1, extent.right);
}

// Records the text as drawn: width, height and one 0/1 string per pixel row.
void RecordGlyphs(const std::string& text, const std::string& font) {
  const Lettering lettering = LetteringOf(font);
  const vo::win::UniqueFont handle(
      CreateFontA(-lettering.height, 0, 0, 0, lettering.weight, lettering.italic, FALSE, FALSE,
                  lettering.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
  const int width = lettering.boxWidth ? lettering.boxWidth : TextWidth(text, handle.get());
  const int height = lettering.boxHeight;
  const vo::test::PixelCanvas canvas(width, height);
  std::string rows;
  if (canvas.valid()) {
    HDC dc = canvas.dc.get();
    const vo::win::SelectedObject bitmap(dc, canvas.bitmap.get());
    const vo::win::SelectedObject chosen(dc, handle.get());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (lettering.boxWidth) {
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &all,
                DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
      TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    }
    GdiFlush();
    for (int y = 0; y < height; ++y) {
      if (y) rows += '.';
      for (int x = 0; x < width; ++x) rows += (canvas.pixels[y * width + x] & 0xFFFFFF) ? '1' : '0';
    }
  }
  Record("glyphs", "font=%s width=%d height=%d rows=%s", font.c_str(), width, height, rows.c_str());
}

void HoldIfAsked(HWND clock, double now) {
  ++g_ticksSinceTrigger;
  const std::string number = "," + std::to_string(g_ticksSinceTrigger) + ",";
  if (g_holds.find(number) == std::string::npos) return;
  // This runs last in the tick, after the frame went into the telop image: show it now.
  RedrawWindow(clock, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  GdiFlush();
  Record("hold", "n=%d value=%.9f", g_ticksSinceTrigger, now);
  // Keep the thread's messages flowing, so that the platform puts the frame on the screen;
  // the timer messages that arrive meanwhile find the tick still running and do nothing.
  const ULONGLONG until = GetTickCount64() + g_holdMs;
  while (GetTickCount64() < until) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  Record("resume", "n=%d", g_ticksSinceTrigger);
}

void Act(HWND clock, const Trigger& trigger) {
  g_holds = trigger.holds;
  g_holdMs = trigger.holdMs;
  g_ticksSinceTrigger = 0;
  if (trigger.measure) RecordGlyphs(trigger.text, trigger.font);
  if (trigger.how == "none") return;
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
  const bool queued =
      g_clock && PeekMessageA(&pending, g_clock, CLK_TELOP, CLK_TELOP, PM_NOREMOVE | PM_NOYIELD);
  Record("disable", "queued=%d", queued ? 1 : 0);
}

void WINAPI VpiNotify(HWND, double) {}

void WINAPI VpiNotifyFreq(HWND clock, double now) {
  g_clock = clock;
  Trigger trigger;
  if (ReadTrigger(trigger)) {
    Act(clock, trigger);
  } else {
    HoldIfAsked(clock, now);
  }
}

const char* WINAPI VpiDiscription(void) { return "telop trigger (test)"; }

void WINAPI VpiSetProps(void) {}

}  // extern "C"

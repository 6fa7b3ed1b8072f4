// The clock's hints: a tooltip window over the date and time labels, made while the mouse is
// over the strip.
// The common controls and dialogs headers need the system header before them.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <iterator>
#include <utility>

#include "Panel/win/ClockPanel.h"
#include "forms/ClockForm.h"
#include "support/win/Application.h"
#include "support/win/Drawing.h"
#include "support/win/Hints.h"

namespace vo::win {

namespace form = vo::forms::clock;

namespace {

enum HintId : UINT { kDateHintId = 1, kTimeHintId };

}  // namespace

// The hint window exists only while the mouse is over the strip. It always lies directly
// above the strip, its owner; when absent it costs the topmost check nothing, and a start-up
// without it paints the strip sooner.
void TClockPanel::CreateHints() {
  FHints = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0,
                           0, 0, Handle(), nullptr, Application::Instance().Module(), nullptr);
  if (!FHints) return;
  // The texts come from HintText, asked each time a hint is about to show.
  auto addTool = [&](UINT id, const Box& box) {
    // No TTF_SUBCLASS: a subclassed window pays three property look-ups for every message,
    // ticks included. HandleMessage relays the mouse instead.
    TOOLINFOA tool = HintTool(Handle(), id, 0, LPSTR_TEXTCALLBACKA, RectOf(box));
    SendMessageA(FHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  };
  addTool(kDateHintId, FLayout.lblDate);
  // The date label lies above the time label where they overlap.
  addTool(kTimeHintId,
          Box{FLayout.lblDate.right(), FLayout.lblTime.top,
              FLayout.lblTime.right() - FLayout.lblDate.right(), FLayout.lblTime.height});
  TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, Handle(), 0};
  TrackMouseEvent(&leave);
}

void TClockPanel::DestroyHints() {
  if (FHints) DestroyWindow(std::exchange(FHints, nullptr));
}

const char* TClockPanel::HintText(UINT_PTR id) const {
  // Only the labels have hints: over a telop covering them the mouse is on the telop.
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(Handle(), &at);
  if (OnTelop(at)) return "";
  return id == kDateHintId ? form::kDateHint : form::kTimeHint;
}

bool TClockPanel::AnswerHint(NMHDR& header) const {
  if (header.hwndFrom != FHints) return false;
  if (header.code == TTN_GETDISPINFOA) {
    reinterpret_cast<NMTTDISPINFOA&>(header).lpszText = const_cast<char*>(HintText(header.idFrom));
    return true;
  }
  // Asked when a plug-in's wide procedure answered the format question itself.
  if (header.code == TTN_GETDISPINFOW) {
    auto& notice = reinterpret_cast<NMTTDISPINFOW&>(header);
    const int length = MultiByteToWideChar(CP_ACP, 0, HintText(header.idFrom), -1, notice.szText,
                                           static_cast<int>(std::size(notice.szText)));
    if (length <= 0) notice.szText[0] = L'\0';
    notice.lpszText = notice.szText;
    return true;
  }
  return false;
}

void TClockPanel::RelayToHints(UINT message, WPARAM wParam, LPARAM lParam) {
  // Not while dragging: the mouse may be outside the strip, and the hint would come and go.
  if (!FHints && !FDragging && message == WM_MOUSEMOVE && !FFade.Look().clickThrough) {
    CreateHints();
  }
  if (!FHints) return;
  MSG mouse{Handle(), message, wParam, lParam, 0, {}};
  SendMessageA(FHints, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&mouse));
}

}  // namespace vo::win

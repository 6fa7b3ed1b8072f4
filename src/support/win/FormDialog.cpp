#include "support/win/FormDialog.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "support/Failure.h"
#include "support/win/Drawing.h"
#include "support/win/MessagePump.h"

namespace vo::win {
namespace {

// A dialog template without controls: the header, then empty menu, class and title.
struct BlankTemplate {
  DLGTEMPLATE header;
  WORD menu;
  WORD windowClass;
  WORD title;
};
static_assert(offsetof(BlankTemplate, menu) == sizeof(DLGTEMPLATE));

constexpr char kModalProperty[] = "vo.ModalState";

struct ModalState {
  bool ended = false;
  INT_PTR result = IDCANCEL;
};

struct DisableContext {
  HWND dialog;
  HWND owner;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindowToDisable(HWND window, LPARAM param) {
  auto& context = *reinterpret_cast<DisableContext*>(param);
  if (window == context.dialog || !IsWindowEnabled(window)) return TRUE;
  // Hidden windows (the IME's among them) are left alone, except the owner.
  if (!IsWindowVisible(window) && window != context.owner) return TRUE;
  // Nothing thrown may cross the system's callback; out of memory, the list ends here.
  return IgnoringFailure(FALSE, [&] {
    context.windows.push_back(window);
    return TRUE;
  });
}

std::vector<HWND> DisableOtherWindows(HWND dialog, HWND owner) {
  DisableContext context{dialog, owner, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectWindowToDisable,
                    reinterpret_cast<LPARAM>(&context));
  if (owner && owner != dialog && IsWindowEnabled(owner) &&
      GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
    context.windows.push_back(owner);
  }
  for (HWND window : context.windows) EnableWindow(window, FALSE);
  return std::move(context.windows);
}

void EnableAgain(const std::vector<HWND>& windows) {
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  }
}

// Where a control of the design lies at `scale`.
RECT ScaledPlace(const ControlSpec& design, const DpiScale& scale) {
  return RectOf({design.x, design.y, design.width, design.height}, scale);
}

}  // namespace

HWND CreateFormDialog(HINSTANCE instance, HWND owner, const char* caption, int clientWidth,
                      int clientHeight, DWORD style, DLGPROC proc, LPARAM param) {
  // Without DS_SETFONT the template needs no font block; controls get fonts of their own.
  // The size is set in pixels afterwards, so the template's dialog units stay zero.
  BlankTemplate blank{};
  blank.header.style = style & ~(WS_VISIBLE | DS_SETFONT);
  HWND dialog = CreateDialogIndirectParamA(instance, &blank.header, owner, proc, param);
  if (!dialog) return nullptr;
  if (caption) SetWindowTextA(dialog, caption);
  SetClientSize(dialog, clientWidth, clientHeight);
  return dialog;
}

void SetClientSize(HWND window, int width, int height) {
  RECT frame{0, 0, width, height};
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
  AdjustWindowRectEx(&frame, style, GetMenu(window) != nullptr, exStyle);
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, kFlags);

  // A theme's frame may differ from what AdjustWindowRectEx assumes: correct by the
  // client area actually obtained.
  RECT client{};
  GetClientRect(window, &client);
  const int missingWidth = width - client.right;
  const int missingHeight = height - client.bottom;
  if (missingWidth == 0 && missingHeight == 0) return;
  RECT outer{};
  GetWindowRect(window, &outer);
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + missingWidth,
               outer.bottom - outer.top + missingHeight, kFlags);
}

void CreateControls(HWND parent, std::span<const ControlSpec> controls, HFONT font,
                    const DpiScale& scale) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  for (const ControlSpec& design : controls) {
    const RECT place = ScaledPlace(design, scale);
    HWND control = CreateWindowExA(
        design.exStyle, design.windowClass, design.text ? design.text : "", design.style | WS_CHILD,
        place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    if (control && font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

void LayOutControls(HWND parent, std::span<const ControlSpec> controls, HFONT font,
                    const DpiScale& scale) {
  for (const ControlSpec& design : controls) {
    const HWND control = GetDlgItem(parent, design.id);
    if (!control) continue;
    if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const RECT place = ScaledPlace(design, scale);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void FitToText(HWND control, bool keepRightEdge) {
  char text[256] = {};
  const int length = GetWindowTextA(control, text, static_cast<int>(sizeof text));
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
  RECT extent{};
  {
    WindowDC dc(control);
    if (!dc.get()) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    SelectedObject selected(dc.get(),
                            font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    DrawTextA(dc.get(), text, length, &extent, DT_CALCRECT | DT_SINGLELINE | prefix);
  }
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  const int left = keepRightEdge ? place.right - extent.right : place.left;
  SetWindowPos(control, nullptr, left, place.top, extent.right, extent.bottom,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreIn(HWND window, const RECT& area) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int left = area.left + (area.right - area.left - (frame.right - frame.left)) / 2;
  const int top = area.top + (area.bottom - area.top - (frame.bottom - frame.top)) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreOnScreen(HWND window) {
  CentreIn(window, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

INT_PTR RunModal(HWND dialog, HWND owner) {
  if (!IsWindow(dialog) || GetPropA(dialog, kModalProperty)) return IDCANCEL;
  ModalState state;
  SetPropA(dialog, kModalProperty, &state);
  HWND previousActive = GetActiveWindow();
  const std::vector<HWND> disabled = DisableOtherWindows(dialog, owner);
  ShowWindow(dialog, SW_SHOW);

  bool quit = false;
  WPARAM quitCode = 0;
  const Claim dialogKeys = [](MSG& message, void* modal) {
    return IsDialogMessageA(static_cast<HWND>(modal), &message) != FALSE;
  };
  while (!state.ended && IsWindow(dialog) && IsWindowVisible(dialog)) {
    MSG message{};
    const TurnEnd end = RunTurn(message, dialogKeys, dialog);
    if (end == TurnEnd::kFailed) break;
    if (end == TurnEnd::kQuit) {
      quit = true;
      quitCode = message.wParam;
      break;
    }
  }

  if (IsWindow(dialog)) RemovePropA(dialog, kModalProperty);
  // Enable first, then hide: otherwise the system activates another program's window.
  EnableAgain(disabled);
  if (IsWindow(dialog)) ShowWindow(dialog, SW_HIDE);
  if (previousActive && previousActive != dialog && IsWindow(previousActive) &&
      IsWindowVisible(previousActive)) {
    SetActiveWindow(previousActive);
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return state.ended ? state.result : IDCANCEL;
}

void EndModal(HWND dialog, INT_PTR result) {
  if (auto* state = static_cast<ModalState*>(GetPropA(dialog, kModalProperty))) {
    state->ended = true;
    state->result = result;
    PostMessageA(dialog, WM_NULL, 0, 0);  // wakes the loop if it waits in GetMessage
    return;
  }
  ShowWindow(dialog, SW_HIDE);
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool SetChecked(HWND button, bool checked) {
  if (IsChecked(button) == checked) return false;
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return true;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

std::string ListBoxText(HWND list, WPARAM index) {
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT copied =
      SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

}  // namespace vo::win

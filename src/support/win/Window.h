// Binding window and dialog procedures to objects. One object per window: it is bound to its
// HWND on the first message that carries it (WM_NCCREATE, or WM_INITDIALOG for a dialog) and
// unbound on WM_NCDESTROY; one static procedure forwards every message to the member
// HandleMessage. A window registers its class, as its type describes it, the first time one
// is made. Every procedure has the same policy for errors: nothing thrown by a handler leaves
// it, it is shown in the application's error box.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

#include "support/Failure.h"
#include "support/Texts.h"
#include "support/win/FormDialog.h"

namespace vo::win {

// The error text with "." appended unless it ends in one, captioned "vo", error icon, OK.
// Defined with the application object, whose window owns the box.
void ShowApplicationError(std::string_view text);

// The program's icon in both sizes for a window class of `windowClass.hInstance`. Given only
// the large one, the system scales it down for the small one at each registration (a
// noticeable delay under Wine, before the strip can show); the icon file holds both.
void SetProgramIcons(WNDCLASSEXA& windowClass);

// "`what` (エラー n)", n the calling thread's last error: the text of a refusal by the system.
inline std::string SystemErrorText(std::string_view what) {
  return std::string(what) + " (エラー " + std::to_string(GetLastError()) + ")";
}

// Runs `handler` for a procedure: its result, or `failed` once an error has been shown.
template <class Result, class Handler>
Result ShowingErrors(Result failed, Handler&& handler) noexcept {
  try {
    return handler();
  } catch (const std::exception& error) {
    ShowApplicationError(error.what());
  } catch (...) {
    ShowApplicationError(texts::kUnexpectedErrorText);
  }
  return failed;
}

template <class Handler>
void ShowingErrors(Handler&& handler) noexcept {
  ShowingErrors(0, [&] {
    handler();
    return 0;
  });
}

// What a window type registers its class with, given by its static Class().
struct WindowClass {
  const char* name = nullptr;
  UINT style = 0;
  LPCSTR cursor = nullptr;      // a system cursor (IDC_*); null: the window sets its own
  HBRUSH background = nullptr;  // null: the window paints every pixel
  bool programIcons = false;
};

template <class Derived>
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return window_; }

 protected:
  ~Window() = default;

  // Makes the window, bound to this object; Derived::Class() is registered the first time.
  // Throws Failure with `failure` when the system refuses either.
  void CreateBound(HINSTANCE instance, DWORD exStyle, const char* title, DWORD style, int left,
                   int top, int width, int height, HWND parent, HMENU menu, const char* failure) {
    RegisterOnce(instance, failure);
    CreateWindowExA(exStyle, Derived::Class().name, title, style, left, top, width, height, parent,
                    menu, instance, static_cast<Derived*>(this));
    if (!window_) throw Failure(SystemErrorText(failure));
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      self->window_ = window;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      self->window_ = nullptr;
      return DefWindowProcA(window, message, wParam, lParam);
    }
    return ShowingErrors(LRESULT{0}, [&] { return self->HandleMessage(message, wParam, lParam); });
  }

  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, message, wParam, lParam);
  }

  HWND window_ = nullptr;

 private:
  static void RegisterOnce(HINSTANCE instance, const char* failure) {
    static bool registered = false;
    if (registered) return;
    const WindowClass traits = Derived::Class();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = traits.style;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    if (traits.programIcons) SetProgramIcons(windowClass);
    windowClass.hCursor = traits.cursor ? LoadCursorA(nullptr, traits.cursor) : nullptr;
    windowClass.hbrBackground = traits.background;
    windowClass.lpszClassName = traits.name;
    if (!RegisterClassExA(&windowClass)) throw Failure(SystemErrorText(failure));
    registered = true;
  }
};

// The same for a dialog made by CreateFormDialog, whose class is the system's: HandleMessage
// answers as a dialog procedure does (FALSE: not handled); it sees WM_INITDIALOG but not
// WM_NCDESTROY.
template <class Derived>
class DialogWindow {
 public:
  DialogWindow() = default;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  HWND Handle() const { return dialog_; }

 protected:
  ~DialogWindow() = default;

  // Makes the hidden dialog (see CreateFormDialog), bound to this object. Throws Failure with
  // `failure` when the system refuses.
  void CreateBound(HINSTANCE instance, HWND owner, const char* caption, int clientWidth,
                   int clientHeight, DWORD style, const char* failure) {
    dialog_ = CreateFormDialog(instance, owner, caption, clientWidth, clientHeight, style,
                               Procedure, reinterpret_cast<LPARAM>(static_cast<Derived*>(this)));
    if (!dialog_) throw Failure(SystemErrorText(failure));
  }

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<Derived*>(lParam)->dialog_ = dialog;
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      self->dialog_ = nullptr;
      return FALSE;
    }
    return ShowingErrors(INT_PTR{FALSE},
                         [&] { return self->HandleMessage(message, wParam, lParam); });
  }

  HWND dialog_ = nullptr;
};

}  // namespace vo::win

// Binding window and dialog procedures to objects. One object per window: it is bound to its
// HWND on the first message that carries it (WM_NCCREATE, or WM_INITDIALOG for a dialog) and
// unbound on WM_NCDESTROY; one static procedure forwards every message to the member
// HandleMessage. Every procedure has the same policy for errors: nothing thrown by a handler
// leaves it, it is shown in the application's error box.
#pragma once

#include <windows.h>

#include <exception>

#include "support/win/Application.h"

namespace vo::win {

// Runs `handler` for a procedure: its result, or `failed` once an error has been shown.
template <class Result, class Handler>
Result ShowingErrors(Result failed, Handler&& handler) noexcept {
  try {
    return handler();
  } catch (const std::exception& error) {
    ShowApplicationError(error.what());
  } catch (...) {
    ShowApplicationError("Unexpected error");
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

template <class Derived>
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return window_; }

 protected:
  ~Window() = default;

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
};

// The same for a dialog: `Procedure` is its DLGPROC and `BindingParam()` the parameter that
// reaches it with WM_INITDIALOG. HandleMessage answers as a dialog procedure does (FALSE:
// not handled); it sees WM_INITDIALOG but not WM_NCDESTROY.
template <class Derived>
class DialogWindow {
 public:
  DialogWindow() = default;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  HWND Handle() const { return dialog_; }

 protected:
  ~DialogWindow() = default;

  LPARAM BindingParam() { return reinterpret_cast<LPARAM>(static_cast<Derived*>(this)); }

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

// One object per window: the object is bound to its HWND on WM_NCCREATE and one static
// procedure forwards every message to the member HandleMessage. Nothing thrown by a
// handler leaves the procedure: it is shown in the application's error box.
#pragma once

#include <windows.h>

#include <exception>

#include "support/win/Application.h"

namespace vo::win {

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
    try {
      return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
      ShowApplicationError(error.what());
    } catch (...) {
      ShowApplicationError("Unexpected error");
    }
    return 0;
  }

  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

}  // namespace vo::win

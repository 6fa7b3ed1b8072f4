// Owning wrappers for the Win32 handles the program holds: one small type per kind,
// move-only, so that every handle is released exactly once on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace vo::win {

template <typename Handle, auto Close, Handle Null = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Null; }

  Handle release() { return std::exchange(handle_, Null); }
  void reset(Handle handle = Null) {
    if (handle_ != Null) {
      // Cleanup must not disturb an error the caller is about to report.
      const DWORD error = GetLastError();
      Close(handle_);
      SetLastError(error);
    }
    handle_ = handle;
  }
  // For APIs that return a handle through a pointer: frees the old one first.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Null;
};

namespace detail {
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void UnloadModule(HMODULE module) { FreeLibrary(module); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDC(HDC dc) { DeleteDC(dc); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void UnhookEvents(HWINEVENTHOOK hook) { UnhookWinEvent(hook); }
template <typename T>
inline void DeleteTypedGdiObject(T object) {
  DeleteObject(object);
}
}  // namespace detail

using UniqueKey = UniqueHandle<HKEY, detail::CloseKey>;
using UniqueModule = UniqueHandle<HMODULE, detail::UnloadModule>;
// Threads, events: closed with CloseHandle.
using UniqueKernelHandle = UniqueHandle<HANDLE, detail::CloseKernelHandle>;
using UniqueBrush = UniqueHandle<HBRUSH, detail::DeleteTypedGdiObject<HBRUSH>>;
using UniqueFont = UniqueHandle<HFONT, detail::DeleteTypedGdiObject<HFONT>>;
using UniqueBitmap = UniqueHandle<HBITMAP, detail::DeleteTypedGdiObject<HBITMAP>>;
using UniquePen = UniqueHandle<HPEN, detail::DeleteTypedGdiObject<HPEN>>;
using UniqueMemoryDC = UniqueHandle<HDC, detail::DeleteMemoryDC>;
using UniqueIcon = UniqueHandle<HICON, detail::DestroyIconHandle>;
using UniqueMenu = UniqueHandle<HMENU, detail::DestroyMenuHandle>;
using UniqueEventHook = UniqueHandle<HWINEVENTHOOK, detail::UnhookEvents>;

// A DC from GetDC, given back to its window.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintDC {
 public:
  explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  ~PaintDC() { EndPaint(window_, &paint_); }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace vo::win

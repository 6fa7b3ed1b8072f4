// A small toolkit for the program's dialogs: a blank dialog sized in pixels, controls
// created from a layout table, placing, and a modal loop that keeps the clock's timer running.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "support/DpiScale.h"
#include "support/win/Handles.h"

namespace vo::win {

// One child window of a form, placed in client pixels of its parent.
struct ControlSpec {
  int id;
  const char* windowClass;
  const char* text;
  int x, y, width, height;
  DWORD style;  // WS_CHILD is added on creation; add WS_VISIBLE where wanted
  DWORD exStyle;
};

// Creates a hidden, modeless dialog without controls whose client area is exactly
// clientWidth x clientHeight pixels. `param` reaches `proc` with WM_INITDIALOG. WS_VISIBLE
// and DS_SETFONT are ignored in `style`. Returns null on failure (GetLastError tells why).
HWND CreateFormDialog(HINSTANCE instance, HWND owner, const char* caption, int clientWidth,
                      int clientHeight, DWORD style, DLGPROC proc, LPARAM param);

// Resizes `window` so that its client area is width x height pixels.
void SetClientSize(HWND window, int width, int height);

// Creates each control as a child of `parent`, placed at `scale`, and gives it `font` (if
// any). A control that cannot be created is skipped; GetDlgItem then finds nothing for its id.
void CreateControls(HWND parent, std::span<const ControlSpec> controls, HFONT font,
                    const DpiScale& scale = {});

// Moves and sizes each control of `controls` that `parent` has to its place at `scale`, and
// gives it `font` (if any): the layout CreateControls makes, again, for controls that keep
// their state. For a change of DPI.
void LayOutControls(HWND parent, std::span<const ControlSpec> controls, HFONT font,
                    const DpiScale& scale);

// Sizes a label to its text in its own font, as a self-sizing label does; a right-aligned
// label keeps its right edge, others their left edge.
void FitToText(HWND control, bool keepRightEdge);

// Whether a check box or radio button is checked.
bool IsChecked(HWND button);
// Checks or clears a check box or radio button; true when the state changed.
bool SetChecked(HWND button, bool checked);
// A control's whole text; "" when it has none.
std::string WindowText(HWND window);
// The text of a list box's item `index`; "" when there is no such item.
std::string ListBoxText(HWND list, WPARAM index);

// Moves `window`, keeping its size, so that its middle is the middle of `area` (screen
// coordinates).
void CentreIn(HWND window, const RECT& area);
// CentreIn the primary screen.
void CentreOnScreen(HWND window);

// Shows the hidden `dialog` modally: every enabled top-level window of this thread that is
// visible (and `owner`) is disabled until the dialog ends; messages for all windows keep
// being dispatched, so timers go on firing. Returns the result given to EndModal, or
// IDCANCEL if the dialog was hidden or destroyed otherwise, or if the message loop ended
// (WM_QUIT is posted again for the outer loop). A dialog already running modally returns
// IDCANCEL at once.
INT_PTR RunModal(HWND dialog, HWND owner);

// Ends RunModal for `dialog` with `result`; the dialog is hidden after its owner is
// enabled again, so activation returns to our own windows. Outside RunModal it just hides.
void EndModal(HWND dialog, INT_PTR result);

}  // namespace vo::win

// The About box: names the product and its version; shown modally from the clock's menu.
#pragma once

#include <windows.h>

#include "support/DpiScale.h"
#include "support/win/Handles.h"
#include "support/win/Window.h"

namespace vo::win {

class TAboutPanel final : public DialogWindow<TAboutPanel> {
 public:
  TAboutPanel() = default;
  ~TAboutPanel();

  // Creates the dialog hidden, owned by `owner`. Throws Failure on failure.
  void Create(HINSTANCE instance, HWND owner);
  // Centres the dialog on the screen and returns when it is closed (OK, Enter or Esc).
  void ShowModal();

 private:
  friend DialogWindow<TAboutPanel>;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void FormCreate();
  void MakeScaledParts();
  void SetLabelFonts();
  void ApplyDpi(int dpi);
  void btnOkClick();
  HBRUSH OnCtlColorStatic(HDC dc, HWND control);
  bool OnDrawItem(const DRAWITEMSTRUCT& item);
  void DrawPanel(HDC dc, RECT bounds);
  void DrawIcon(HDC dc, RECT bounds);
  void DrawLogo(HDC dc, RECT bounds);
  void DrawOkButton(const DRAWITEMSTRUCT& item);

  HINSTANCE FInstance = nullptr;
  HWND FOwner = nullptr;
  // The designed layout, fonts and artwork at the DPI of the box's monitor: taken at creation
  // and on WM_DPICHANGED.
  DpiScale FScale;
  UniqueFont FDialogFont;
  UniqueFont FNoticeFont;
  UniqueFont FNameFont;
  UniqueFont FVersionFont;
  UniqueBrush FPanelBrush;
  UniqueBitmap FLogo;
  UniqueIcon FIcon;
};

}  // namespace vo::win

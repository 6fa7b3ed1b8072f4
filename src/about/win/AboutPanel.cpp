#include "about/win/AboutPanel.h"

#include <cstddef>
#include <iterator>
#include <utility>

#include "forms/Resources.h"
#include "forms/win/AboutForm.h"
#include "support/win/Dpi.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"

namespace vo::win {
namespace {

namespace form = about_form;

// The logo's palette entry 0 is its background: make it the dialog's face colour.
UniqueBitmap LoadLogo(HINSTANCE instance) {
  UniqueBitmap logo(static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!logo) return logo;
  UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!dc) return logo;
  SelectedObject selected(dc.get(), logo.get());
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const RGBQUAD background{GetBValue(face), GetGValue(face), GetRValue(face), 0};
  SetDIBColorTable(dc.get(), 0, 1, &background);
  return logo;
}

constexpr int kGlyphSize = 16;
constexpr int kGlyphGap = 4;
constexpr int kIconSize = 32;

// A green check mark in a kGlyphSize square (at `scale`) whose top left corner is (left, top).
void DrawCheckGlyph(HDC dc, int left, int top, const DpiScale& scale) {
  static constexpr POINT kShape[] = {{1, 8}, {3, 6}, {6, 9}, {12, 2}, {14, 4}, {6, 13}};
  POINT points[std::size(kShape)];
  for (std::size_t i = 0; i < std::size(kShape); ++i) {
    points[i] = {left + scale(kShape[i].x), top + scale(kShape[i].y)};
  }
  UniqueBrush fill(CreateSolidBrush(RGB(0, 160, 0)));
  UniquePen outline(CreatePen(PS_SOLID, scale.Line(1), RGB(0, 96, 0)));
  SelectedObject brush(dc, fill.get());
  SelectedObject pen(dc, outline.get());
  Polygon(dc, points, static_cast<int>(std::size(points)));
}

}  // namespace

TAboutPanel::~TAboutPanel() {
  if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
}

void TAboutPanel::Create(HINSTANCE instance, HWND owner) {
  if (dialog_) return;
  FInstance = instance;
  FOwner = owner;
  FScale = ScaleOf(owner);
  CreateBound(instance, owner, form::kCaption, FScale(form::kClientWidth),
              FScale(form::kClientHeight), form::kStyle, "バージョン情報の画面を作れません");
  FormCreate();
}

void TAboutPanel::FormCreate() {
  FPanelBrush = UniqueBrush(CreateSolidBrush(form::kPanelColor));
  FLogo = LoadLogo(FInstance);
  MakeScaledParts();
  CreateControls(dialog_, form::kControls, FDialogFont.get(), FScale);
  SetLabelFonts();
  // Beneath the controls that sit on it.
  SetWindowPos(GetDlgItem(dialog_, form::kPanel1), HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The fonts and the icon at FScale.
void TAboutPanel::MakeScaledParts() {
  FDialogFont = MakeFont(form::kDialogFont, FScale);
  SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(FDialogFont.get()), FALSE);
  FNoticeFont = MakeFont(form::kNoticeFont, FScale);
  FNameFont = MakeFont(form::kNameFont, FScale);
  FVersionFont = MakeFont(form::kVersionFont, FScale);
  FIcon = UniqueIcon(
      static_cast<HICON>(LoadImageA(FInstance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                    FScale(kIconSize), FScale(kIconSize), LR_DEFAULTCOLOR)));
}

// The labels' own fonts; the notices then fit their text, keeping the right edge.
void TAboutPanel::SetLabelFonts() {
  const auto setFont = [this](int id, const UniqueFont& font) {
    SendDlgItemMessageA(dialog_, id, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  };
  setFont(form::kLabel1, FNoticeFont);
  setFont(form::kLabel2, FNoticeFont);
  setFont(form::kLblName, FNameFont);
  setFont(form::kLblVersion, FVersionFont);
  FitToText(GetDlgItem(dialog_, form::kLabel1), true);
  FitToText(GetDlgItem(dialog_, form::kLabel2), true);
}

// On a monitor of another DPI: the designed layout at its scale.
void TAboutPanel::ApplyDpi(int dpi) {
  const DpiScale scale(dpi);
  if (scale == FScale) return;
  FScale = scale;
  // The controls hold these until they are given the new ones.
  const UniqueFont held[] = {std::move(FDialogFont), std::move(FNoticeFont), std::move(FNameFont),
                             std::move(FVersionFont)};
  MakeScaledParts();
  SetClientSize(dialog_, FScale(form::kClientWidth), FScale(form::kClientHeight));
  LayOutControls(dialog_, form::kControls, FDialogFont.get(), FScale);
  SetLabelFonts();
  InvalidateRect(dialog_, nullptr, TRUE);
}

void TAboutPanel::ShowModal() {
  if (!dialog_) return;
  CentreOnScreen(dialog_);
  RunModal(dialog_, FOwner);
}

void TAboutPanel::btnOkClick() { EndModal(dialog_, IDOK); }

INT_PTR TAboutPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;  // focus is set once shown
    case WM_SHOWWINDOW:
      if (wParam) {
        PostMessageA(dialog_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(dialog_, form::kBtnOk)), TRUE);
      }
      return FALSE;
    case WM_COMMAND:
      // OK and Enter arrive as IDOK, Esc as IDCANCEL: all of them close the box.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        btnOkClick();
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      btnOkClick();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DRAWITEM:
      return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DPICHANGED:
      // The size follows from the new DPI; the suggested rectangle is not needed.
      ApplyDpi(HIWORD(wParam));
      return TRUE;
    case WM_SYSCOLORCHANGE:
      FLogo = LoadLogo(FInstance);
      InvalidateRect(dialog_, nullptr, TRUE);
      return FALSE;
    default:
      return FALSE;
  }
}

HBRUSH TAboutPanel::OnCtlColorStatic(HDC dc, HWND control) {
  SetBkMode(dc, TRANSPARENT);
  switch (GetDlgCtrlID(control)) {
    case form::kLblName:
    case form::kLblVersion:
      SetTextColor(dc, form::kPanelTextColor);
      return FPanelBrush.get();
    default:
      SetTextColor(dc, form::kNoticeColor);
      return GetSysColorBrush(COLOR_BTNFACE);
  }
}

bool TAboutPanel::OnDrawItem(const DRAWITEMSTRUCT& item) {
  switch (item.CtlID) {
    case form::kImage1:
      DrawLogo(item.hDC, item.rcItem);
      return true;
    case form::kPanel1:
      DrawPanel(item.hDC, item.rcItem);
      return true;
    case form::kImage2:
      DrawIcon(item.hDC, item.rcItem);
      return true;
    case form::kBtnOk:
      DrawOkButton(item);
      return true;
    default:
      return false;
  }
}

void TAboutPanel::DrawPanel(HDC dc, RECT bounds) {
  FillRect(dc, &bounds, FPanelBrush.get());
  DrawBevel(dc, bounds, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT),
            FScale.Line(form::kPanelBevelWidth));
}

void TAboutPanel::DrawIcon(HDC dc, RECT bounds) {
  FillRect(dc, &bounds, FPanelBrush.get());
  // Drawn at the icon size of this scale; the box crops what does not fit.
  const int size = FScale(kIconSize);
  if (FIcon)
    DrawIconEx(dc, bounds.left, bounds.top, FIcon.get(), size, size, 0, nullptr, DI_NORMAL);
}

void TAboutPanel::DrawLogo(HDC dc, RECT bounds) {
  FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
  if (!FLogo) return;
  UniqueMemoryDC source(CreateCompatibleDC(dc));
  if (!source) return;
  BITMAP size{};
  GetObjectA(FLogo.get(), sizeof size, &size);
  SelectedObject selected(source.get(), FLogo.get());
  // Whole source pixels, no blending: the 16-colour artwork stays crisp when enlarged.
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, bounds.left, bounds.top, FScale(size.bmWidth), FScale(size.bmHeight), source.get(),
             0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
}

void TAboutPanel::DrawOkButton(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;

  // The default button's dark outer frame, then a raised face or, while pressed, a flat one.
  FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
  InflateRect(&face, -1, -1);
  if (pushed) {
    FrameRect(dc, &face, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT inner = face;
    InflateRect(&inner, -1, -1);
    FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
  } else {
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH);
  }

  char text[32] = {};
  const int length = GetWindowTextA(item.hwndItem, text, static_cast<int>(sizeof text));
  SelectedObject font(dc, FDialogFont.get());
  SIZE extent{};
  GetTextExtentPoint32A(dc, text, length, &extent);
  const int shift = pushed ? 1 : 0;
  const int glyph = FScale(kGlyphSize);
  const int gap = FScale(kGlyphGap);
  const int left = (face.left + face.right - (glyph + gap + extent.cx)) / 2 + shift;
  const int middle = (face.top + face.bottom) / 2 + shift;
  DrawCheckGlyph(dc, left, middle - glyph / 2, FScale);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  TextOutA(dc, left + glyph + gap, middle - extent.cy / 2, text, length);

  if (item.itemState & ODS_FOCUS) {
    RECT focus = face;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace vo::win

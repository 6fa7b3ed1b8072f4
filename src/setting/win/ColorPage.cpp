// The colour page: the four anchors of the day's colours, the example label and the colour
// dialog.
// The common controls and dialogs headers need the system header before them.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>

#include "forms/win/SettingForm.h"
#include "setting/win/SettingPanel.h"
#include "support/win/Drawing.h"
#include "support/win/FormDialog.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {

namespace form = setting_form;

void ColoredControl::SetColors(Color fontColor, Color backColor) {
  font = fontColor;
  color = backColor;
  brush.reset(CreateSolidBrush(ToColorRef(color)));
  if (handle) InvalidateRect(handle, nullptr, TRUE);
}

void ColoredControl::Set(Color ColoredControl::*part, Color value) {
  this->*part = value;
  SetColors(font, color);
}

HBRUSH ColoredControl::Paint(HDC dc) {
  if (!brush) brush.reset(CreateSolidBrush(ToColorRef(color)));
  SetTextColor(dc, ToColorRef(font));
  SetBkColor(dc, ToColorRef(color));
  return brush.get();
}

void TSettingPanel::CreateColorPage() {
  const HWND page = tabColor.Handle();
  CreateControls(page, form::kColorPage, FDialogFont.get(), FScale);
  chkAutoChange = GetDlgItem(page, form::kChkAutoChange);
  rbt0000.handle = GetDlgItem(page, form::kRbt0000);
  rbt0600.handle = GetDlgItem(page, form::kRbt0600);
  rbt1200.handle = GetDlgItem(page, form::kRbt1200);
  rbt1800.handle = GetDlgItem(page, form::kRbt1800);
  lblExample.handle = GetDlgItem(page, form::kLblExample);
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    AnchorControls()[anchor]->SetColors(kDefaultAnchors.at[anchor].fore,
                                        kDefaultAnchors.at[anchor].back);
  }
  lblExample.SetColors(form::kExampleFontColor, form::kButtonFaceColor);
  SetAnchorFont(FAnchorFont.get());
  SetChecked(chkAutoChange, true);
  SetChecked(rbt1200.handle, true);
}

void TSettingPanel::SetAnchorFont(HFONT font) {
  for (HWND control :
       {rbt0000.handle, rbt0600.handle, rbt1200.handle, rbt1800.handle, lblExample.handle}) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

bool TSettingPanel::RunColorDialog() {
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = dialog_;
  choose.rgbResult = ToColorRef(ColorDialog1.color);
  choose.lpCustColors = ColorDialog1.customColors.data();
  choose.Flags = CC_RGBINIT;
  const auto chooseColor = LateBound<decltype(ChooseColorA)>("comdlg32.dll", "ChooseColorA");
  if (!chooseColor || !chooseColor(&choose)) return false;
  ColorDialog1.color = static_cast<Color>(choose.rgbResult & 0x00FFFFFF);
  return true;
}

void TSettingPanel::btnColorClick(Color ColoredControl::*part) {
  if (!RunColorDialog()) return;
  const Color chosen = ColorDialog1.color;
  lblExample.Set(part, chosen);
  if (!Active()) return;
  for (ColoredControl* anchor : AnchorControls()) {
    if (IsChecked(anchor->handle)) anchor->Set(part, chosen);
  }
}

Anchors TSettingPanel::CurrentAnchors() const {
  Anchors anchors;
  for (int anchor = 0; anchor < kAnchorCount; ++anchor) {
    anchors.at[anchor] = ColorPair{Anchor(anchor).font, Anchor(anchor).color};
  }
  return anchors;
}

const ColoredControl& TSettingPanel::Anchor(int anchor) const {
  return *AnchorsOf(*this)[static_cast<std::size_t>(std::clamp(anchor, 0, kAnchorCount - 1))];
}

bool TSettingPanel::Active() const { return IsChecked(chkAutoChange); }

void TSettingPanel::SetActive(bool active) { SetChecked(chkAutoChange, active); }

Color TSettingPanel::AnchorForeColor(int anchor) const { return Anchor(anchor).font; }

void TSettingPanel::SetAnchorForeColor(int anchor, Color color) {
  AnchorControls()[static_cast<std::size_t>(anchor)]->Set(&ColoredControl::font, color);
}

Color TSettingPanel::AnchorBackColor(int anchor) const { return Anchor(anchor).color; }

void TSettingPanel::SetAnchorBackColor(int anchor, Color color) {
  AnchorControls()[static_cast<std::size_t>(anchor)]->Set(&ColoredControl::color, color);
}

void TSettingPanel::PaintColorPage(HDC dc) const {
  {
    UniquePen dotted(CreatePen(PS_DOT, 1, GetSysColor(COLOR_WINDOWTEXT)));
    SelectedObject pen(dc, dotted.get());
    SelectedObject brush(dc, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    const RECT dial = RectOf(form::kShape1, FScale);
    Ellipse(dc, dial.left, dial.top, dial.right, dial.bottom);
  }
  RECT frame = RectOf(form::kBevel1, FScale);
  DrawEdge(dc, &frame, EDGE_BUMP, BF_RECT);
  for (const Box& box : {form::kBevel6, form::kBevel7, form::kBevel8, form::kBevel9}) {
    frame = RectOf(box, FScale);
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
  }
}

HBRUSH TSettingPanel::OnCtlColor(HDC dc, HWND control) {
  for (ColoredControl* colored : AnchorControls()) {
    if (colored->handle == control) return colored->Paint(dc);
  }
  if (control == lblExample.handle) return lblExample.Paint(dc);
  return nullptr;
}

}  // namespace vo::win

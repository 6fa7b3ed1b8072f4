// The telop: a time signal's caption scrolling over the strip, and its wave.
// The common controls and multimedia headers need the system header before them.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
// clang-format on

#include <string>

#include "Panel/win/ClockPanel.h"
#include "support/win/Drawing.h"
#include "support/win/SystemLibrary.h"

namespace vo::win {

namespace {

constexpr UINT kWaveFlags = SND_ASYNC | SND_NODEFAULT | SND_NOSTOP;  // 0x13

}  // namespace

void TClockPanel::MeasureTelop() {
  WindowDC screen(nullptr);
  SelectedObject font(screen.get(), FWindowFont.get());
  RECT extent{0, 0, 0, 0};
  DrawTextA(screen.get(), FTelopCaption.c_str(), static_cast<int>(FTelopCaption.size()), &extent,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  FTelopWidth = extent.right - extent.left;
}

void TClockPanel::AdvanceTelop() {
  FTelop.Step(FTelopWidth, FLayout.pnlClock.width, FLayout.scale);
  if (Seen()) DrawTelop();
}

void TClockPanel::DrawTelop() {
  imgTelop.Fill(0, 0, imgTelop.Width() + 1, imgTelop.Height() + 1, ToColorRef(FBackColor));
  const HDC dc = imgTelop.DC();
  SelectedObject font(dc, FWindowFont.get());
  SetTextColor(dc, ToColorRef(FForeColor));
  SetBkColor(dc, ToColorRef(FBackColor));
  SetBkMode(dc, OPAQUE);
  TextOutA(dc, FTelop.X(), 0, FTelopCaption.c_str(), static_cast<int>(FTelopCaption.size()));
  InvalidateBox(FLayout.pnlTelop);
}

void TClockPanel::HideTelop() {
  FTelopVisible = false;
  InvalidateBox(FLayout.pnlTelop);
}

void TClockPanel::imgTelopClick() { HideTelop(); }

void TClockPanel::ShowTelop(const std::string& telop, const std::string& wave) {
  const auto playSound = LateBound<decltype(sndPlaySoundA)>("winmm.dll", "sndPlaySoundA");
  if (!wave.empty() && playSound) playSound(wave.c_str(), kWaveFlags);
  if (telop.empty()) return;
  FTelopCaption = telop;
  MeasureTelop();
  // Nothing is drawn until the next tick; the offset carries on from the last caption.
  // Begun while asleep, it owes the steps from now on only.
  if (FAsleep && !FTelopVisible) FLastTickAt = GetTickCount64();
  FTelopVisible = true;
  // A hint over a label would stay over the telop; HintText keeps it away from now on.
  if (FHints) SendMessageA(FHints, TTM_POP, 0, 0);
}

}  // namespace vo::win

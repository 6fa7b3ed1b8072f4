// Designed layout of the clock window (pixels at 96 dpi). After creation only the clock
// panel is visible: the window is fitted to it and the controls outside it never show.
#pragma once

#include "support/Design.h"

namespace vo::forms::clock {

inline constexpr const char* kClassName = "TClockPanel";
inline constexpr const char* kCaption = "Kiroの時計";
inline constexpr Box kDesignedWindow{293, 108, 194, 63};

inline constexpr Box pnlClock{0, 0, 102, 21};
inline constexpr Box lblTime{52, 1, 50, 15};  // in pnlClock
inline constexpr Box lblDate{3, 1, 53, 13};   // in pnlClock, above lblTime
inline constexpr Box imgSec{4, 15, 48, 2};    // in pnlClock
inline constexpr Box edtFocusReciever{98, 37, 44, 21};
// pnlTelop after creation covers the inside of the clock panel's bevels; imgTelop fills it.
inline constexpr Box pnlTelop{2, 2, pnlClock.width - 4, pnlClock.height - 4};

inline constexpr const char* kDesignedDate = "98/01/01";
inline constexpr const char* kDesignedTime = "00:00";
inline constexpr const char* kDesignedTelop = "lblTelop";

// Arial, or a sans-serif face where it is missing.
constexpr FontSpec Arial(int pixelHeight, bool bold, bool italic, FontCharset charset) {
  return FontSpec{"Arial", pixelHeight, bold, italic, charset, FontFamily::kSwiss};
}
inline constexpr FontSpec kDateFont = Arial(12, true, false, FontCharset::kLatin);
inline constexpr FontSpec kTimeFont = Arial(16, true, true, FontCharset::kLatin);
inline constexpr FontSpec kWindowFont = Arial(13, false, false, FontCharset::kShiftJis);  // telop

// The strip at a display's scale (the fonts are scaled as they are made). Edges scale, so
// boxes that meet as designed still meet; the panel's two bevels stay at least a pixel each
// and the telop covers what they enclose. At 96 dpi this is exactly the design above.
struct ClockLayout {
  DpiScale scale;
  Box pnlClock, lblTime, lblDate, imgSec, edtFocusReciever, pnlTelop;
  int bevel;  // width of each of the panel's two bevels
};

constexpr ClockLayout LayoutAt(const DpiScale& scale) {
  ClockLayout layout{scale,
                     ScaleBox(pnlClock, scale),
                     ScaleBox(lblTime, scale),
                     ScaleBox(lblDate, scale),
                     ScaleBox(imgSec, scale),
                     ScaleBox(edtFocusReciever, scale),
                     {},
                     scale.Line(1)};
  const int inset = 2 * layout.bevel;
  layout.pnlTelop =
      Box{inset, inset, layout.pnlClock.width - 2 * inset, layout.pnlClock.height - 2 * inset};
  return layout;
}
static_assert(LayoutAt(DpiScale()).pnlTelop == pnlTelop && LayoutAt(DpiScale()).lblDate == lblDate,
              "at 96 dpi the layout is the design");

inline constexpr const char* kDateHint = "ドラッグする";
inline constexpr const char* kTimeHint = "ポップアップメニュー";

inline constexpr unsigned kTimerInterval = 50;  // ms

// Popup menu on the time label.
inline constexpr const char* kMenuBlank = "   ";
inline constexpr const char* kMenuSetting = "設定(&S)...";
inline constexpr const char* kMenuAbout = "バージョン情報(&A)...";
inline constexpr const char* kMenuExit = "終了(&X)";

inline constexpr const char* kExitQuestion = "Kiroの時計 を終了します。";
inline constexpr const char* kExitCaption = "確認";
inline constexpr const char* kCancelButton = "ｷｬﾝｾﾙ";

inline constexpr const char* kAlreadyRunning = "Kiroの時計 は既に起動されています。";

}  // namespace vo::forms::clock

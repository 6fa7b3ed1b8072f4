// The settings dialog as designed: client pixels, texts, fonts and the controls of its four
// pages. Page controls are placed in their page's own coordinates.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <array>
#include <cstddef>

#include "support/Design.h"
#include "support/ShiftJis.h"
#include "support/win/FormDialog.h"

namespace vo::win::setting_form {

inline constexpr char kCaption[] = "Kiroの時計 - 設定";
inline constexpr int kClientWidth = 347;
inline constexpr int kClientHeight = 206;
inline constexpr int kDesignedLeft = 178;
inline constexpr int kDesignedTop = 128;
// A fixed dialog frame with the close box only.
inline constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;

inline constexpr FontSpec kDialogFont{"ＭＳ Ｐゴシック", 15};
// The example label and the anchors; a Latin face is asked for with the Latin character set.
inline constexpr FontSpec kAnchorFont{"Arial", 17, true, true, FontCharset::kLatin};

inline constexpr char kTabColor[] = "配色";
inline constexpr char kTabTelop[] = "時報";
inline constexpr char kTabPlugIns[] = "拡張";
inline constexpr char kTabGeneral[] = "全般";

inline constexpr char kWaveHint[] = "時報として鳴らす、音声ﾌｧｲﾙを指定します。";
inline constexpr char kTelopHint[] = "時報として表示するテロップを指定します。";

inline constexpr char kWaveDefaultExtension[] = "wav";
inline constexpr char kWaveFilterDesign[] = "wavﾌｧｲﾙ (*.wav)|*.wav|全てのﾌｧｲﾙ (*.*)|*.*";

// The open dialog's filter: the designed "name|pattern|..." with every '|' turned into a NUL
// and a second NUL at the end. Double-byte characters are stepped over whole, so a trail
// byte that happens to be '|' stays as it is.
template <std::size_t N>
constexpr std::array<char, N + 1> MakeOpenFilter(const char (&design)[N]) {
  std::array<char, N + 1> filter{};
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (IsShiftJisLeadByte(design[i]) && i + 2 < N) {
      filter[i] = design[i];
      filter[i + 1] = design[i + 1];
      ++i;
      continue;
    }
    filter[i] = design[i] == '|' ? '\0' : design[i];
  }
  return filter;  // the last two bytes stay NUL
}
inline constexpr auto kWaveFilter = MakeOpenFilter(kWaveFilterDesign);
static_assert(MakeOpenFilter("a|b") == std::array<char, 5>{'a', '\0', 'b', '\0', '\0'});
// "\x95\x7C" is one double-byte character whose second byte reads as '|'.
static_assert(MakeOpenFilter("\x95|a|b") ==
              std::array<char, 7>{'\x95', '|', 'a', '\0', 'b', '\0', '\0'});
inline constexpr DWORD kWaveFilterIndex = 1;

// Colours a control holds at design time: a set top bit names a system colour.
inline constexpr int kButtonFaceColor = static_cast<int>(0x80000000u | COLOR_BTNFACE);
inline constexpr int kExampleFontColor = 0x00000000;

enum ControlId : int {
  kBtnOK = IDOK,
  kBtnCancel = IDCANCEL,
  kPageControl1 = 200,
  kTabColorPage,
  kTabTelopPage,
  kTabPlugInsPage,
  kTabGeneralPage,

  kBtnForeColor = 300,
  kBtnBackColor,
  kChkAutoChange,
  kRbt0000,
  kRbt0600,
  kRbt1200,
  kRbt1800,
  kLblExample,

  kChkWave = 400,
  kEdtWave,
  kBtnBrowse,
  kChkTelop,
  kEdtTelop,
  kSel15m,
  kSel30m,
  kSel01h,

  kLabel1 = 500,
  kLstPlugIns,
  kMemDiscription,
  kBtnPlugInProp,
  kChkRunApart,
  kLblRunApartNote,

  kChkStepAside = 600,
  kChkStartAtSignIn = 601,
  kChkFade = 602,
  kLblOpacity = 603,
  kTrkOpacity = 604,
  kChkReserveBand = 605,
};

// Pages in tab order, each drawn by a child window over the tab control's display area.
inline constexpr std::array<const char*, 4> kTabCaptions{kTabColor, kTabTelop, kTabPlugIns,
                                                         kTabGeneral};

inline constexpr DWORD kShown = WS_VISIBLE;
inline constexpr DWORD kButton = kShown | WS_TABSTOP | BS_PUSHBUTTON;
inline constexpr DWORD kCheckBox = kShown | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
// The first button of a radio group carries WS_GROUP; the checked one gets the tab stop.
inline constexpr DWORD kRadio = kShown | WS_TABSTOP | BS_AUTORADIOBUTTON;
inline constexpr DWORD kEdit = kShown | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;

inline constexpr std::array kDialogControls{
    ControlSpec{kBtnOK, "BUTTON", "OK", 4, 176, 165, 25, kButton | WS_GROUP | BS_DEFPUSHBUTTON, 0},
    ControlSpec{kBtnCancel, "BUTTON", "ｷｬﾝｾﾙ", 180, 176, 165, 25, kButton, 0},
    // Beneath the pages, which it must not paint over.
    ControlSpec{kPageControl1, "SysTabControl32", nullptr, 0, 0, 347, 173,
                kShown | WS_TABSTOP | WS_GROUP | WS_CLIPSIBLINGS, 0},
};

inline constexpr std::array kColorPage{
    ControlSpec{kBtnForeColor, "BUTTON", "文字の色(&F)", 10, 4, 96, 31, kButton | WS_GROUP, 0},
    ControlSpec{kBtnBackColor, "BUTTON", "背景の色(&B)", 114, 4, 96, 31, kButton, 0},
    ControlSpec{kChkAutoChange, "BUTTON", "色の変化(&A)", 12, 48, 109, 25, kCheckBox, 0},
    // Clockwise round the dial from the top, as on a 24-hour face.
    ControlSpec{kRbt0000, "BUTTON", "00:00", 172, 52, 65, 17, kRadio | WS_GROUP, 0},
    ControlSpec{kRbt0600, "BUTTON", "06:00", 268, 84, 65, 17, kRadio, 0},
    ControlSpec{kRbt1200, "BUTTON", "12:00", 172, 114, 65, 17, kRadio, 0},
    ControlSpec{kRbt1800, "BUTTON", "18:00", 76, 84, 65, 17, kRadio, 0},
    ControlSpec{kLblExample, "STATIC", "00:00", 231, 12, 56, 21,
                kShown | WS_GROUP | SS_CENTER | SS_NOPREFIX, 0},
};

inline constexpr std::array kTelopPage{
    ControlSpec{kChkWave, "BUTTON", "音声(&W)", 12, 28, 77, 21, kCheckBox, 0},
    ControlSpec{kEdtWave, "EDIT", "sample.wav", 92, 28, 165, 23, kEdit | WS_DISABLED,
                WS_EX_CLIENTEDGE},
    ControlSpec{kBtnBrowse, "BUTTON", "参照(&B)", 260, 28, 65, 25, kButton | WS_GROUP | WS_DISABLED,
                0},
    ControlSpec{kChkTelop, "BUTTON", "ﾃﾛｯﾌﾟ(&T)", 12, 56, 77, 21, kCheckBox, 0},
    ControlSpec{kEdtTelop, "EDIT", "%h時%m分です。", 92, 56, 233, 23, kEdit | WS_DISABLED,
                WS_EX_CLIENTEDGE},
    ControlSpec{kSel15m, "BUTTON", "1&5分毎", 12, 88, 73, 21, kRadio | WS_GROUP, 0},
    ControlSpec{kSel30m, "BUTTON", "&30分毎", 136, 88, 73, 21, kRadio, 0},
    ControlSpec{kSel01h, "BUTTON", "&１時間毎", 248, 88, 81, 21, kRadio, 0},
};

inline constexpr int kPlugInItemHeight = 16;

inline constexpr std::array kPlugInsPage{
    // Its mnemonic moves the focus on to the list, the next control.
    ControlSpec{kLabel1, "STATIC", "プラグ・イン・モジュール(&M)", 8, 8, 200, 16, kShown | WS_GROUP,
                0},
    ControlSpec{kLstPlugIns, "LISTBOX", nullptr, 8, 28, 161, 85,
                kShown | WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                    LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                WS_EX_CLIENTEDGE},
    ControlSpec{
        kMemDiscription, "EDIT", nullptr, 176, 28, 157, 53,
        kShown | WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
        WS_EX_CLIENTEDGE},
    ControlSpec{kBtnPlugInProp, "BUTTON", "拡張設定(&X)", 180, 88, 149, 25, kButton | WS_GROUP, 0},
    // Where the selected module runs from the next start on; greyed until one is selected.
    ControlSpec{kChkRunApart, "BUTTON", "別のプロセスで実行する(&R)", 8, 118, 236, 21,
                kCheckBox | WS_DISABLED, 0},
    // "From the next start": shown while the box differs from where the module runs now.
    ControlSpec{kLblRunApartNote, "STATIC", "次回から", 248, 120, 85, 17, WS_GROUP | SS_NOPREFIX,
                0},
};

inline constexpr std::array kGeneralPage{
    ControlSpec{kChkStepAside, "BUTTON", "全画面のアプリの間は隠れる(&H)", 12, 12, 320, 21,
                kCheckBox, 0},
    ControlSpec{kChkStartAtSignIn, "BUTTON", "サインイン時に起動する(&S)", 12, 40, 320, 21,
                kCheckBox, 0},
    // The text names the way back: Ctrl makes the faded strip take the mouse again.
    ControlSpec{kChkFade, "BUTTON", "マウスが重なったら薄くする (Ctrl キーで操作)(&F)", 12, 66, 320,
                21, kCheckBox, 0},
    ControlSpec{kLblOpacity, "STATIC", "不透明度(&O)", 12, 96, 72, 17, kShown, 0},
    ControlSpec{kTrkOpacity, "msctls_trackbar32", nullptr, 88, 92, 180, 24,
                kShown | WS_TABSTOP | WS_GROUP | TBS_AUTOTICKS, 0},
    ControlSpec{kChkReserveBand, "BUTTON", "最大化したウィンドウと重ならないようにする(&M)", 12,
                120, 320, 21, kCheckBox, 0},
};

// Drawn on the colour page beneath its controls. The dial the anchors sit on: a dotted ellipse
// filled with the button face.
inline constexpr Box kShape1{104, 60, 205, 65};
// Raised frame round the example label.
inline constexpr Box kBevel1{231, 10, 56, 21};
// Lowered boxes round the anchors 00:00, 18:00, 12:00, 06:00.
inline constexpr Box kBevel6{169, 50, 70, 21};
inline constexpr Box kBevel7{73, 82, 70, 21};
inline constexpr Box kBevel8{169, 112, 70, 21};
inline constexpr Box kBevel9{265, 82, 70, 21};

}  // namespace vo::win::setting_form

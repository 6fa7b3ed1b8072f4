// The About box as designed: client pixels, texts, fonts and colours.
#pragma once

#include <windows.h>

#include <array>

#include "forms/Version.h"
#include "support/Design.h"
#include "support/win/FormDialog.h"

namespace vo::win::about_form {

inline constexpr char kCaption[] = "About Kiroの時計";
inline constexpr int kClientWidth = 335;
inline constexpr int kClientHeight = 220;
// A fixed frame whose caption bar has no buttons.
inline constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;

inline constexpr char kNoticeLine1[] = "Copyright (C) the vo authors.";
inline constexpr char kNoticeLine2[] = "This program is free to use.";
inline constexpr char kNameText[] = "Kiroの時計";
inline constexpr char kVersionText[] = "Ver." VO_SHORT_VERSION;

inline constexpr FontSpec kDialogFont{"ＭＳ Ｐゴシック", 15};
// Latin faces are asked for with the Latin character set, or the font mapper prefers a
// Japanese face that has the requested one.
inline constexpr FontSpec kNoticeFont{"Times New Roman", 13, true, false, FontCharset::kLatin};
inline constexpr FontSpec kNameFont{"ＭＳ Ｐ明朝", 20, true};
inline constexpr FontSpec kVersionFont{"Times New Roman", 15, true, false, FontCharset::kLatin};

inline constexpr COLORREF kNoticeColor = 0x00000000;
inline constexpr COLORREF kPanelColor = 0x00FF8000;  // azure: blue 0xFF, green 0x80
inline constexpr COLORREF kPanelTextColor = 0x00FFFFFF;
inline constexpr int kPanelBevelWidth = 2;

enum ControlId : int {
  kImage1 = 101,
  kLabel1,
  kLabel2,
  kPanel1,
  kImage2,
  kLblName,
  kLblVersion,
  kBtnOk = IDOK,
};

inline constexpr int kPanelLeft = 20;
inline constexpr int kPanelTop = 84;
inline constexpr int kNoticeRight = 319;
// The notice labels fit themselves to their text on creation, keeping the right edge.
inline constexpr int kNoticeWidth = 200;

// Panel1 is drawn on the dialog: the controls it holds are the dialog's own children,
// placed by their offset inside the panel.
constexpr ControlSpec InPanel(ControlSpec control) {
  control.x += kPanelLeft;
  control.y += kPanelTop;
  return control;
}

inline constexpr DWORD kShown = WS_VISIBLE;
inline constexpr DWORD kPicture = kShown | SS_OWNERDRAW;
inline constexpr DWORD kLabel = kShown | SS_NOPREFIX;

inline constexpr std::array kControls{
    ControlSpec{kImage1, "STATIC", nullptr, 228, 4, 90, 40, kPicture, 0},
    ControlSpec{kLabel1, "STATIC", kNoticeLine1, kNoticeRight - kNoticeWidth, 48, kNoticeWidth, 16,
                kLabel | SS_RIGHT, 0},
    ControlSpec{kLabel2, "STATIC", kNoticeLine2, kNoticeRight - kNoticeWidth, 64, kNoticeWidth, 16,
                kLabel | SS_RIGHT, 0},
    // Clips the labels on it out of its own painting; it lies beneath them.
    ControlSpec{kPanel1, "STATIC", nullptr, kPanelLeft, kPanelTop, 297, 57,
                kPicture | WS_CLIPSIBLINGS, 0},
    InPanel({kImage2, "STATIC", nullptr, 12, 12, 33, 29, kPicture, 0}),
    InPanel({kLblName, "STATIC", kNameText, 52, 8, 201, 21, kLabel | SS_CENTER, 0}),
    InPanel({kLblVersion, "STATIC", kVersionText, 52, 32, 201, 17, kLabel | SS_CENTER, 0}),
    ControlSpec{kBtnOk, "BUTTON", "OK", 112, 184, 113, 29, kShown | WS_TABSTOP | BS_OWNERDRAW, 0},
};

}  // namespace vo::win::about_form

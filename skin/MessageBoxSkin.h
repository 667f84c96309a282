#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <array>

#include "resources/MainStringIds.h"

// Buttons of a skinned message box: flags, combined with | into a button set.
enum MessageBoxButton : int { BTN_YES = 1, BTN_NO = 2, BTN_OK = 4, BTN_CANCEL = 8 };

// Result of a skinned message box, the button pressed. The values are the
// ones the share and updater code has always compared against.
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The look of every message box of the process, set once at start-up with
// SetMessageBoxSkin and only read afterwards. The images are shared values.
// labelIds are the string ids of the Yes, No, OK and Cancel labels (the main
// program's by default; the updater sets its language block's ids).
struct MessageBoxSkin {
    QImage background;
    QRect backgroundSource;
    QImage buttons;  // strip of four button states side by side
    QRect buttonsSource;
    QRgb captionColor = 0xFF000000;
    QRgb buttonColor1 = 0xFF000000;  // normal label
    QRgb buttonColor2 = 0xFF000000;  // hovered label
    QRgb buttonColor3 = 0xFF000000;  // pressed label
    QRgb buttonColor4 = 0xFF000000;  // disabled label
    QRgb messageColor = 0xFF000000;
    int fontSize = 16;  // kept with the record; the box draws at 12
    std::array<int, 4> labelIds = {MainString::kYes, MainString::kNo, MainString::kOk,
                                   MainString::kCancel};
};

// Copies *skin into the process-wide record; null changes nothing.
void SetMessageBoxSkin(const MessageBoxSkin* skin);
// The process-wide record.
MessageBoxSkin GetMessageBoxSkin();

// Placement of the four buttons, in the order Yes, No, OK, Cancel.
struct MessageBoxButtonPlan {
    std::array<bool, 4> shown{};
    std::array<QRect, 4> rects{};
};

// Where the buttons of buttonSet go for a strip of stripSize: each button a
// quarter of the strip wide; slots from left 452 (top 178) leftwards, 30
// pixels apart, in the order Cancel, OK, No, Yes; a single button centred on
// x 300. An empty set shows OK alone at 452.
MessageBoxButtonPlan PlanMessageBoxButtons(int buttonSet, const QSize& stripSize);

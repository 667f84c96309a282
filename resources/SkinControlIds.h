#pragma once

// Control ids inside the skin's own windows, the same in both programs: the
// message box (MainControl::kMessageBox and UpdaterControl::kMessageBox, one
// layout) and the drop-down list of a combo box.
namespace SkinControl {

enum Id : int {
    kMessageBoxOk = 1028,
    kMessageBoxCancel = 1029,
    kMessageBoxCaption = 1030,
    kMessageBoxText = 1031,
    kMessageBoxYes = 1034,
    kMessageBoxNo = 1035,
    kDropDownList = 1125,  // the list box inside a combo box's drop-down window
};

}  // namespace SkinControl

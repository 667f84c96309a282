#pragma once

#include "resources/SkinControlIds.h"

// Control ids of the main program's windows: a control's id names it to its
// window (CLuDiscoverDlg::Button(id)) and comes with its pointer-entered
// notice. A window or panel carries its dialog template's id as its own.
// The message box's controls are the skin's (SkinControlIds.h).
namespace MainControl {

enum Id : int {
    // Windows and panels.
    kMainWindow = 102,
    kAboutPanel = 140,
    kShareFolderPanel = 143,
    kMessageBox = 148,
    kDriveMapPanel = 152,
    kDriveMapQuestion = 153,

    // The main window.
    kInfo = 1001,
    kHelp = 1002,
    kMinimise = 1003,
    kClose = 1004,
    kThingsToDo = 1005,   // heading static of the action column
    kDrivesFound = 1006,  // heading static of the device list
    kConfigure = 1007,    // the action column, top to bottom: kConfigure .. kIdentifyLed
    kMapDrive = 1008,
    kBrowseShares = 1009,
    kShortcut = 1010,
    kIdentifyLed = 1011,
    kUnusedButton1 = 1012,  // plain buttons that stay hidden
    kUnusedButton2 = 1013,
    kUnusedButton3 = 1014,
    kDeviceList = 1015,
    kScrollUp = 1016,
    kScrollDown = 1017,
    kUnusedStatic = 1018,  // hidden

    // Every panel's "Back" button.
    kBack = 1019,

    // The share-folder panel.
    kShareFolderPageUp = 1020,
    kShareFolderPageDown = 1021,
    kShareFolderList = 1023,

    // The drive-mapping panel (its page buttons carry the main window's ids).
    kDriveMapPageUp = kScrollUp,
    kDriveMapPageDown = kScrollDown,
    kDriveMapList = 1040,

    // The drive-letter question (its Yes and No carry the message box's ids).
    kQuestionYes = SkinControl::kMessageBoxYes,
    kQuestionNo = SkinControl::kMessageBoxNo,
    kMappedAs = 1043,
    kContinueQuestion = 1044,
    kDriveLetters = 1045,  // the combo box of free letters
};

}  // namespace MainControl

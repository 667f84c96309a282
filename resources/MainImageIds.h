#pragma once

// The main program's images: resources/main/png/<id>.png, loaded with
// LoadPngResource(id). The numbers are the program's resource ids; a new
// image gets its file and its name here (and in kAll). Strips hold four
// cells side by side (normal, hover, pressed, disabled; list rows: normal,
// highlighted, selected, fourth state). Sizes and roles: resources/ART.md.
namespace MainImage {

enum Id : int {
    kProgramIcon = 128,           // window icon; shortcut icon of unknown models
    kWindowBackground = 130,      // the main window, 800 x 600
    kDialogButtons = 131,         // strip: message-box buttons and "Back"
    kCloseButton = 132,           // strip
    kPlainButtons = 134,          // strip, never drawn
    kDeviceRows = 135,            // strip of the device list's rows
    kPageDown = 136,              // strip
    kHeading = 137,               // plate under "Things To Do" and "Network Drives Found"
    kPageUp = 138,                // strip
    kMinimiseButton = 139,        // strip
    kPanelBackground = 141,       // About, share-folder and drive-mapping panels
    kLogo = 142,                  // the emblem in the panels' corner
    kShareRows = 145,             // strip of the share lists' rows
    kMessageBoxBackground = 146,  // message boxes and the drive-letter question
    kActionButtons = 149,         // strip of the action column
    kComboFace = 154,             // strip of a drop-down's face
    kScrollBars = 155,            // 9 x 3 cells of the drop-down list's scroll bars
    kLedMark = 157,               // drawn in rows whose identify LED is on
    kTextButtons = 160,           // strip of "info" and "help"
    kClass1Icon = 161,            // desktop shortcut icons by model class
    kClass2Icon = 163,
    kClass3Icon = 164,
    kClass4Icon = 188,
};

// Every id above, for the check that each has its picture.
inline constexpr Id kAll[] = {kProgramIcon,     kWindowBackground,
                              kDialogButtons,   kCloseButton,
                              kPlainButtons,    kDeviceRows,
                              kPageDown,        kHeading,
                              kPageUp,          kMinimiseButton,
                              kPanelBackground, kLogo,
                              kShareRows,       kMessageBoxBackground,
                              kActionButtons,   kComboFace,
                              kScrollBars,      kLedMark,
                              kTextButtons,     kClass1Icon,
                              kClass2Icon,      kClass3Icon,
                              kClass4Icon};

}  // namespace MainImage

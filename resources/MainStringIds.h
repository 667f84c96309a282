#pragma once

// The main program's texts: resources/main/strings/main.txt (English) and
// lang/<Language>/strings/main.txt, looked up with LoadSkinString(id). The
// numbers are the program's string ids; a new text gets its line in every
// table and its name here (and in kAll).
namespace MainString {

enum Id : int {
    kProductName = 1,      // "Norvale Discovery": window title, message-box caption
    kThingsToDo = 2,       // heading of the action column
    kDrivesFound = 3,      // "Network Drives Found": heading of the device list
    kConfigure = 4,        // the action buttons, top to bottom
    kMapNetworkDrive = 5,  // also the drive-letter question's caption
    kBrowseShares = 6,
    kCreateShortcut = 7,
    kBack = 12,
    kVersion = 13,  // "Version", first word of the About panel's version line
    kAbout = 16,
    kHelpTitle = 37,  // "Norvale Discovery Help": the help window's title
    kOk = 38,         // message-box buttons
    kCancel = 39,
    kShortcutCreated = 44,
    kMapQuestion = 46,  // map automatically? ("No" maps by hand)
    kYes = 47,
    kNo = 48,
    kMappedAs = 49,          // "\"%s\" will be mapped as drive:"
    kContinueQuestion = 50,  // "Do you want to continue?"
    kLedOn = 51,             // "Turn On Identify LED"
    kLedOff = 52,            // "Turn Off Identify LED"
    kInfo = 53,
    kHelp = 54,
    kNoDevice = 55,      // no device found after start-up
    kNoShare = 56,       // "No network share available."
    kPathNotFound = 57,  // "\"%s\"\n\nThe network path was not found."
    kMinimise = 58,      // names of the image-only buttons, for screen readers
    kClose = 59,
    kPreviousPage = 60,
    kNextPage = 61,
    kNeedsGvfs = 62,  // no GVfs SMB support on this desktop
};

// Every id above, for the check that each language has each text.
inline constexpr Id kAll[] = {kProductName,
                              kThingsToDo,
                              kDrivesFound,
                              kConfigure,
                              kMapNetworkDrive,
                              kBrowseShares,
                              kCreateShortcut,
                              kBack,
                              kVersion,
                              kAbout,
                              kHelpTitle,
                              kOk,
                              kCancel,
                              kShortcutCreated,
                              kMapQuestion,
                              kYes,
                              kNo,
                              kMappedAs,
                              kContinueQuestion,
                              kLedOn,
                              kLedOff,
                              kInfo,
                              kHelp,
                              kNoDevice,
                              kNoShare,
                              kPathNotFound,
                              kMinimise,
                              kClose,
                              kPreviousPage,
                              kNextPage,
                              kNeedsGvfs};

}  // namespace MainString

#pragma once

// NorvaleAutoUpdate's images: resources/updater/png/<id>.png, loaded with
// LoadPngResource(id) (the animation is resources/updater/gif/DOWNLOAD.gif,
// by name). The numbers are the program's resource ids; a new image gets
// its file and its name here (and in kAll). Sizes and roles:
// resources/ART.md.
namespace UpdaterImage {

enum Id : int {
    kProgramIcon = 1128,       // the window icon
    kCloseButton = 1134,       // strip
    kDialogButtons = 1136,     // strip: Cancel, OK and the message-box buttons
    kDialogBackground = 1137,  // progress dialog, proxy login and message boxes
    kMinimiseButton = 1138,    // strip
};

// Every id above, for the check that each has its picture.
inline constexpr Id kAll[] = {kProgramIcon, kCloseButton, kDialogButtons, kDialogBackground,
                              kMinimiseButton};

}  // namespace UpdaterImage

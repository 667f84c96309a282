#pragma once

namespace norvale::updater {

// The look of the updater's message boxes: background
// UpdaterImage::kDialogBackground and button strip kDialogButtons at their
// own sizes, white caption, labels and text, grey disabled labels, font size
// 13, and the labels of the chosen language block (UpdaterString::kYes, kNo,
// kOk, kCancel). Set at start-up and again when the progress dialog opens.
void ApplyUpdaterMessageBoxSkin();

}  // namespace norvale::updater

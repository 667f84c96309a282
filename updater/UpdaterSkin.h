#pragma once

namespace norvale::updater {

// The look of the updater's message boxes: background 1137 and button strip
// 1136 at their own sizes, white caption, labels and text, grey disabled
// labels, font size 13, and the labels of the chosen language block
// (Yes 106, No 107, OK 108, Cancel 105). Set at start-up and again when the
// progress dialog opens.
void ApplyUpdaterMessageBoxSkin();

}  // namespace norvale::updater

#pragma once

// Makes the skinned controls readable by assistive technology (Orca over
// AT-SPI, or anything else that asks QAccessible). Installs once, for the
// process, the factory of their accessible interfaces:
//  - CLuListCtrl: a table of every item (ListAccessible);
//  - CLuStatic: static text named by its text;
//  - CLuComboBox: a combo box whose value is its caption, opened by the
//    press action;
//  - CLuMessageBox: an alert, so that its text is read when it opens.
// CLuButton is a QAbstractButton and keeps Qt's push-button interface, named
// by its accessible name or else its caption. Panels and windows are dialogs
// named by their accessible name or window title. Owners name what has no
// text of its own (image-only buttons, lists, combo boxes) with
// setAccessibleName. Skinned controls call this when they are made.
void EnsureSkinAccessibility();

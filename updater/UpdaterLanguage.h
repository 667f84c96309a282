#pragma once

#include <QString>

namespace norvale::updater {

// The updater's texts live in one table in blocks of a hundred: the text n
// of the chosen language is the string LanguageBase() + n (102 the title,
// 113 the first question, ...). English is block 0. The block of the
// user's language is common::ChooseTranslation().updaterTextBlock.

// The process-wide block, set once at start-up and read from any thread.
int LanguageBase();
void SetLanguageBase(int base);

// The text id of the chosen language: LanguageBase() + id.
QString UpdaterText(int id);

// Text ids within a block.
constexpr int kTitleText = 102;
constexpr int kFirstLineText = 103;
constexpr int kSecondLineText = 104;
constexpr int kCancelText = 105;
constexpr int kYesText = 106;
constexpr int kNoText = 107;
constexpr int kOkText = 108;
constexpr int kLaunchQuestionText = 110;
constexpr int kNetworkErrorText = 111;
constexpr int kCopyFailedText = 112;
constexpr int kNewerVersionText = 113;
constexpr int kProxyPromptText = 114;
constexpr int kProxyUserText = 115;
constexpr int kProxyPasswordText = 116;
// Names of the progress dialog's image-only buttons, for assistive technology.
constexpr int kMinimiseName = 117;
constexpr int kCloseName = 118;
constexpr int kNotVerifiedText = 119;
// The progress line under the dialog's two lines: "%1 MB of %2 MB" while an
// archive of known size arrives, "%1 MB received" when its size is unknown,
// then "Installing…".
constexpr int kReceivedOfText = 120;
constexpr int kReceivedText = 121;
constexpr int kInstallingText = 122;

}  // namespace norvale::updater

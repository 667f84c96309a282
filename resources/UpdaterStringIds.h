#pragma once

// NorvaleAutoUpdate's texts: resources/updater/strings/updater.txt, one
// block of a hundred ids per language. The text n of a language is the
// string block + n: its English id plus the block of the language chosen at
// start-up (UpdaterText adds it). A new text gets its line in every block
// and its name here (and in kAll).
namespace UpdaterString {

// The language blocks (plain numbers, so that block + id is an id).
inline constexpr int kEnglishBlock = 0;
inline constexpr int kSimplifiedChineseBlock = 100;
inline constexpr int kTraditionalChineseBlock = 200;
inline constexpr int kFrenchBlock = 300;
inline constexpr int kGermanBlock = 400;
inline constexpr int kItalianBlock = 500;
inline constexpr int kSpanishBlock = 600;
inline constexpr int kKoreanBlock = 700;
inline constexpr int kJapaneseBlock = 800;

inline constexpr int kAllBlocks[] = {kEnglishBlock,
                                     kSimplifiedChineseBlock,
                                     kTraditionalChineseBlock,
                                     kFrenchBlock,
                                     kGermanBlock,
                                     kItalianBlock,
                                     kSpanishBlock,
                                     kKoreanBlock,
                                     kJapaneseBlock};

// The texts, as English ids (block 0).
enum Id : int {
    kTitle = 102,      // "Norvale Discovery Auto-Update Progress"
    kFirstLine = 103,  // the progress dialog's two lines
    kSecondLine = 104,
    kCancel = 105,  // button labels
    kYes = 106,
    kNo = 107,
    kOk = 108,
    kLaunchQuestion = 110,  // update done: start Norvale Discovery?
    kNetworkError = 111,
    kCopyFailed = 112,
    kNewerVersion = 113,  // the first question: download the newer version?
    kProxyPrompt = 114,   // the proxy login
    kProxyUser = 115,
    kProxyPassword = 116,
    kMinimise = 117,  // names of the image-only buttons, for screen readers
    kClose = 118,
    kNotVerified = 119,  // the download's signature did not hold
    kReceivedOf = 120,   // "%1 MB of %2 MB": the progress line, size known
    kReceived = 121,     // "%1 MB received": size unknown
    kInstalling = 122,   // "Installing…"
};

// Every id above, for the check that each block has each text.
inline constexpr Id kAll[] = {
    kTitle,        kFirstLine,   kSecondLine,     kCancel,        kYes,
    kNo,           kOk,          kLaunchQuestion, kNetworkError,  kCopyFailed,
    kNewerVersion, kProxyPrompt, kProxyUser,      kProxyPassword, kMinimise,
    kClose,        kNotVerified, kReceivedOf,     kReceived,      kInstalling};

}  // namespace UpdaterString

#include "updater/UpdateProgressView.h"

#include <algorithm>

#include "common/LanguageChoice.h"
#include "skin/StringTable.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {
namespace {

using Phase = UpdateProgress::Phase;

constexpr std::uint64_t kTenthOfMegabyte = 100000;
constexpr int kFull = 1000;

std::uint64_t RoundedTenths(std::uint64_t bytes) {
    return bytes / kTenthOfMegabyte + (bytes % kTenthOfMegabyte >= kTenthOfMegabyte / 2 ? 1 : 0);
}

QString Tenths(std::uint64_t tenths, const QLocale& locale) {
    return locale.toString(static_cast<double>(tenths) / 10.0, 'f', 1);
}

}  // namespace

ProgressSnapshot ProgressSnapshot::Read(const UpdateProgress& progress) {
    // The worker counts the bytes after it announced their total: reading
    // the count first never pairs a count with a total not yet known.
    ProgressSnapshot snapshot;
    snapshot.phase = progress.phase;
    snapshot.bytesReceived = progress.bytesReceived;
    snapshot.bytesExpected = progress.bytesExpected;
    snapshot.filesInstalled = progress.filesInstalled;
    snapshot.filesToInstall = progress.filesToInstall;
    return snapshot;
}

UpdateProgressView::UpdateProgressView(int languageBase)
    : base_(languageBase), locale_(common::TranslationOfBlock(languageBase).NumberLocale()) {}

ProgressDisplay UpdateProgressView::Next(const ProgressSnapshot& snapshot) {
    switch (snapshot.phase) {
        case Phase::Idle:
        case Phase::Checking:
            return last_ = {};
        case Phase::Downloading:
        case Phase::Verifying:
            return Downloading(snapshot);
        case Phase::Unpacking:
        case Phase::Installing:
        case Phase::Done:
            // The download ended since the last reading: its end first.
            if (figureShown_ && !completeShown_) {
                completeShown_ = true;
                return Downloading(snapshot);
            }
            if (snapshot.phase == Phase::Done) return last_;
            return last_ = Installing(snapshot);
    }
    return last_;
}

ProgressDisplay UpdateProgressView::Downloading(const ProgressSnapshot& snapshot) {
    const std::uint64_t received = snapshot.bytesReceived;
    const std::uint64_t expected = snapshot.bytesExpected;
    ProgressDisplay display;
    figureShown_ = true;
    if (expected == 0) {
        display.text = LoadSkinString(base_ + UpdaterString::kReceived)
                           .arg(Tenths(received / kTenthOfMegabyte, locale_));
        return last_ = display;
    }
    const bool complete = received >= expected;
    completeShown_ = completeShown_ || complete;
    const std::uint64_t totalTenths = RoundedTenths(expected);
    // Below the total the figure never reads as the total.
    const std::uint64_t receivedTenths =
        complete ? totalTenths
                 : std::min(received / kTenthOfMegabyte, totalTenths > 0 ? totalTenths - 1 : 0);
    display.text = LoadSkinString(base_ + UpdaterString::kReceivedOf)
                       .arg(Tenths(receivedTenths, locale_), Tenths(totalTenths, locale_));
    display.permille =
        complete ? kFull
                 : std::min(kFull - 1, static_cast<int>(static_cast<double>(received) * kFull /
                                                        static_cast<double>(expected)));
    return last_ = display;
}

ProgressDisplay UpdateProgressView::Installing(const ProgressSnapshot& snapshot) const {
    ProgressDisplay display;
    display.text = LoadSkinString(base_ + UpdaterString::kInstalling);
    if (snapshot.phase == Phase::Installing && snapshot.filesToInstall > 0) {
        display.permille = static_cast<int>(
            std::min<std::uint64_t>(snapshot.filesInstalled, snapshot.filesToInstall) * kFull /
            snapshot.filesToInstall);
    }
    return display;
}

}  // namespace norvale::updater

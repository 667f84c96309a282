#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

#include "updater/UpdateProgress.h"

namespace norvale::updater {

// The worker's counters read at one moment, phase first.
struct ProgressSnapshot {
    UpdateProgress::Phase phase = UpdateProgress::Phase::Idle;
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesExpected = 0;  // 0: the server did not say
    std::uint32_t filesInstalled = 0;
    std::uint32_t filesToInstall = 0;

    static ProgressSnapshot Read(const UpdateProgress& progress);
};

// What the progress line shows: a text (empty: nothing) and the bar's
// position in thousandths (-1: no bar).
struct ProgressDisplay {
    QString text;
    int permille = -1;

    bool operator==(const ProgressDisplay&) const = default;
};

// Turns readings of the counters, taken a few times a second, into what the
// progress line shows, in the texts of a language block and the number
// format of its language:
//  - downloading, size known: "12.3 MB of 50.0 MB" and the bar;
//  - downloading, size unknown: "12.3 MB received", no bar;
//  - unpacking and installing: "Installing…", the bar following the files
//    once they are being copied;
//  - the signature check: nothing; the end: what was shown last.
// A figure below the total is rounded down, so only a complete download
// reads as complete; the complete figure is shown for one reading before
// "Installing…" (or at the end) even when the download ended between two
// readings.
class UpdateProgressView {
  public:
    // `languageBase`: the block of the texts (see UpdaterLanguage.h).
    explicit UpdateProgressView(int languageBase);

    ProgressDisplay Next(const ProgressSnapshot& snapshot);

  private:
    ProgressDisplay Downloading(const ProgressSnapshot& snapshot);
    ProgressDisplay Installing(const ProgressSnapshot& snapshot) const;

    int base_;
    QLocale locale_;
    ProgressDisplay last_;
    bool figureShown_ = false;    // a download figure was shown
    bool completeShown_ = false;  // the complete one among them
};

}  // namespace norvale::updater

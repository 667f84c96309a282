// The progress line under the progress dialog's two lines: what a reading
// of the worker's counters shows in each language, and a real download
// watched through the dialog.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QRegularExpression>
#include <QThread>

#include "ServedRelease.h"
#include "skin/CLuProgressBar.h"
#include "skin/CLuStatic.h"
#include "updater/CAutoUpdateDlg.h"
#include "updater/UpdateProgressView.h"
#include "updater/UpdateState.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {
namespace {

using Phase = UpdateProgress::Phase;

ProgressSnapshot Reading(Phase phase, std::uint64_t received, std::uint64_t expected,
                         std::uint32_t filesInstalled = 0, std::uint32_t filesToInstall = 0) {
    return {phase, received, expected, filesInstalled, filesToInstall};
}

TEST(UpdateProgressView, FiguresInTheWordsAndNumbersOfEachLanguage) {
    const struct {
        int base;
        std::uint64_t received, expected;
        const char* shown;
    } cases[] = {
        {0, 12'345'678, 50'016'391, "12.3 MB of 50.0 MB"},
        {0, 512'000'000, 1'073'741'824, "512.0 MB of 1,073.7 MB"},
        {400, 12'345'678, 50'016'391, "12,3 MB von 50,0 MB"},
        {400, 512'000'000, 1'073'741'824, "512,0 MB von 1.073,7 MB"},
        {300, 12'345'678, 50'016'391, "12,3 Mo sur 50,0 Mo"},
        {500, 12'345'678, 50'016'391, "12,3 MB di 50,0 MB"},
        {800, 12'345'678, 50'016'391, "50.0 MB 中 12.3 MB"},
        {0, 12'345'678, 0, "12.3 MB received"},
        {400, 12'345'678, 0, "12,3 MB empfangen"},
    };
    for (const auto& c : cases) {
        UpdateProgressView view(c.base);
        EXPECT_EQ(view.Next(Reading(Phase::Downloading, c.received, c.expected)).text,
                  QString::fromUtf8(c.shown))
            << c.base << " " << c.received;
    }
    EXPECT_EQ(UpdateProgressView(0).Next(Reading(Phase::Downloading, 1, 0)).permille, -1)
        << "no bar without a size";
}

// Only a complete download reads as complete, and it does read so even when
// it ended between two readings; then the install follows the files.
TEST(UpdateProgressView, CompleteOnlyWhenCompleteThenInstalling) {
    UpdateProgressView view(0);
    EXPECT_EQ(view.Next(Reading(Phase::Checking, 300, 300)), ProgressDisplay{});
    EXPECT_EQ(view.Next(Reading(Phase::Downloading, 0, 50'016'391)),
              (ProgressDisplay{"0.0 MB of 50.0 MB", 0}));
    EXPECT_EQ(view.Next(Reading(Phase::Downloading, 50'000'000, 50'016'391)),
              (ProgressDisplay{"49.9 MB of 50.0 MB", 999}));
    EXPECT_EQ(view.Next(Reading(Phase::Unpacking, 50'016'391, 50'016'391)),
              (ProgressDisplay{"50.0 MB of 50.0 MB", 1000}));
    const QString installing = QString::fromUtf8("Installing…");
    EXPECT_EQ(view.Next(Reading(Phase::Unpacking, 50'016'391, 50'016'391)),
              (ProgressDisplay{installing, -1}));
    EXPECT_EQ(view.Next(Reading(Phase::Installing, 50'016'391, 50'016'391, 1, 4)),
              (ProgressDisplay{installing, 250}));
    EXPECT_EQ(view.Next(Reading(Phase::Done, 0, 0)), (ProgressDisplay{installing, 250}));

    UpdateProgressView quick(0);
    quick.Next(Reading(Phase::Downloading, 1'000'000, 5'000'000));
    EXPECT_EQ(quick.Next(Reading(Phase::Done, 5'000'000, 5'000'000)),
              (ProgressDisplay{"5.0 MB of 5.0 MB", 1000}))
        << "installed between two readings";
}

// A signed 5 MB archive served at 1.5 MB/s through the real worker: the
// figure under the two lines moves on while it arrives, ends at the full
// size and then says that the files are installed.
TEST(UpdateProgressLine, SlowDownloadMovesTheFigureToTheFullSize) {
    test::ServedRelease release(5, 1'000'000, 1'500'000);
    ASSERT_TRUE(release.Serving());
    UpdaterOptions options = release.Options();
    // Each file takes a while, so that the install is seen.
    options.installHook = [](InstallStep step) {
        if (step == InstallStep::FileDone) QThread::msleep(60);
        return true;
    };
    CAutoUpdateDlg dialog(release.Link(), release.InstallFolder(),
                          QStringLiteral("VER:1.20.2026.341"), std::move(options));
    QStringList shown;
    QObject::connect(dialog.ProgressText(), &CLuStatic::textChanged,
                     [&](const QString& text) { shown.push_back(text); });
    int barAtEnd = -1;
    QObject::connect(dialog.ProgressBar(), &QProgressBar::valueChanged,
                     [&](int value) { barAtEnd = std::max(barAtEnd, value); });
    dialog.exec();
    ASSERT_EQ(GetUpdateState(), UpdateState::Succeeded) << shown.join(" | ").toStdString();

    const QString full =
        QStringLiteral("%1 MB").arg(static_cast<double>(release.ArchiveSize()) / 1e6, 0, 'f', 1);
    const QRegularExpression figure(QStringLiteral("^(\\d+\\.\\d) MB of ") + full + "$");
    QStringList figures;
    for (const QString& text : shown) {
        if (figure.match(text).hasMatch()) figures.push_back(text);
    }
    EXPECT_GE(figures.size(), 4) << shown.join(" | ").toStdString();
    for (qsizetype i = 1; i < figures.size(); ++i) {
        EXPECT_LT(figure.match(figures[i - 1]).captured(1).toDouble(),
                  figure.match(figures[i]).captured(1).toDouble())
            << figures[i].toStdString();
    }
    ASSERT_FALSE(figures.isEmpty());
    EXPECT_EQ(figures.back(), full + " of " + full);
    EXPECT_EQ(shown.indexOf(figures.back()) + 1, shown.indexOf(QString::fromUtf8("Installing…")))
        << shown.join(" | ").toStdString();
    EXPECT_EQ(barAtEnd, 1000);
    // Read aloud: the line by its text, the bar as a progress bar.
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(dialog.ProgressText());
    EXPECT_EQ(line->text(QAccessible::Name), QString::fromUtf8("Installing…"));
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(dialog.ProgressBar());
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), dialog.ProgressBar()->value());
}

}  // namespace
}  // namespace norvale::updater

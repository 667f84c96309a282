// A drive letter whose mount no longer answers (its server gone, its FUSE
// daemon hung) must not freeze the window: a FUSE file system that never
// answers stands for it, and the window's event loop is timed while the
// letters are looked at, listed and opened. Needs root (to mount FUSE).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "drives/DriveWatcher.h"
#include "drives/LinuxSharePlatform.h"
#include "drives/ResponsiveSharePlatform.h"
#include "tests/drives/FakeMountList.h"
#include "tests/drives/SharePanelTestSupport.h"
#include "tests/support/OpenedUrls.h"

namespace norvale::test {
namespace {

using namespace std::chrono_literals;

// The silent file system mounted at a folder while this lives. It is killed
// after kLimit at the latest, so that code blocking on it ends the test with
// a failure instead of hanging it.
class SilentFuse {
  public:
    static constexpr auto kLimit = 5s;

    explicit SilentFuse(QString mountPoint) : mountPoint_(std::move(mountPoint)) {
        QString bin = qEnvironmentVariable("NORVALE_BIN_DIR");
        if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
        process_.start(bin + QStringLiteral("/silent-fuse"), {mountPoint_});
        ready_ = process_.waitForReadyRead(10000) && process_.readLine().trimmed() == "ready";
        const qint64 pid = process_.processId();
        watchdog_ = std::thread([this, pid] {
            std::unique_lock<std::mutex> hold(lock_);
            if (!ended_.wait_for(hold, kLimit, [this] { return done_; })) kill(pid, SIGKILL);
        });
    }
    ~SilentFuse() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        ended_.notify_all();
        watchdog_.join();
        process_.kill();
        process_.waitForFinished();
        umount2(QFile::encodeName(mountPoint_).constData(), MNT_DETACH);
    }
    bool Ready() const { return ready_; }

  private:
    QString mountPoint_;
    QProcess process_;
    bool ready_ = false;
    std::mutex lock_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread watchdog_;
};

// How long events posted to the interface thread wait before they run: a
// thread posts one every few milliseconds, the interface thread notes how
// long each waited. The longest wait is how long the window did not answer.
class RoundTrips {
  public:
    RoundTrips() : state_(std::make_shared<State>()) {
        poster_ = std::thread([state = state_] {
            while (!state->stop) {
                const auto posted = std::chrono::steady_clock::now();
                QMetaObject::invokeMethod(
                    qApp,
                    [state, posted] {
                        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - posted);
                        state->longest = std::max<long>(state->longest, waited.count());
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(5ms);
            }
        });
    }
    ~RoundTrips() {
        state_->stop = true;
        poster_.join();
    }
    // The longest wait so far, once the events posted until now have run.
    long Longest() {
        QTest::qWait(30);
        return state_->longest;
    }

  private:
    struct State {
        std::atomic<bool> stop{false};
        std::atomic<long> longest{0};
    };
    std::shared_ptr<State> state_;
    std::thread poster_;
};

// The Linux platform with a canned share listing for the device.
class ListingPlatform : public drives::LinuxSharePlatform {
  public:
    using LinuxSharePlatform::LinuxSharePlatform;
    int EnumShares(const QString&, std::vector<drives::ShareEntry>* shares) override {
        *shares = {{QStringLiteral("data"), drives::kShareDisk},
                   {QStringLiteral("media"), drives::kShareDisk}};
        return drives::kNoError;
    }
};

// A call that entered the silent mount on the window's thread would hold the
// window until the watchdog kills the file system (SilentFuse::kLimit), so
// a second is far from both that and a busy machine's scheduling delays
// (above 100 ms with two sanitizer suites running at once).
constexpr long kFrozenMs = 1000;

TEST(DeadMount, TheWindowAnswersWhileALettersMountDoesNot) {
    if (geteuid() != 0 || !QFileInfo::exists(QStringLiteral("/dev/fuse"))) {
        GTEST_SKIP() << "mounting the test FUSE file system needs root";
    }
    QTemporaryDir scratch;
    const QString gvfs = scratch.path() + QStringLiteral("/run/gvfs");
    ASSERT_TRUE(QDir().mkpath(gvfs));
    SilentFuse fuse(gvfs);
    ASSERT_TRUE(fuse.Ready());
    const QString share = gvfs + QStringLiteral("/smb-share:server=127.0.0.5,share=data");
    const drives::DriveFolder folder(scratch.path() + QStringLiteral("/drives"));
    ASSERT_TRUE(QDir().mkpath(folder.Path()));
    ASSERT_TRUE(QFile::link(share, folder.EntryPath(u'Z')));
    drives::FakeMountList mounts;
    mounts.mounted.insert(share);  // mounted, as far as GVfs knows
    ListingPlatform linuxShares(folder, nullptr, &mounts);
    linuxShares.SetProbeTimeout(300);
    app::DiscoverDlgOptions options;
    options.sharePlatform = std::make_shared<drives::ResponsiveSharePlatform>(linuxShares);
    options.driveFolder = [&folder](const QString& drive) {
        return folder.EntryPath(drives::DriveFolder::LetterOf(drive));
    };
    ShareWindowFixture f(options);
    OpenedUrls opened;
    RoundTrips trips;

    drives::DriveWatcher watcher(folder, &mounts);
    watcher.Rescan();
    f.window->OnBrowseNetworkShares();
    EXPECT_EQ(f.RowTexts(), QStringList({"data (Z:)", "media"}));
    EXPECT_LT(trips.Longest(), kFrozenMs) << "listing the letters";
    f.ClickRow(0);  // its folder does not answer: said so, nothing opened
    EXPECT_LT(trips.Longest(), kFrozenMs) << "opening the letter";
    f.window->OnDriveEvent(true, QLatin1Char('Z'));
    mounts.mounted.clear();
    watcher.Rescan();
    EXPECT_LT(trips.Longest(), kFrozenMs) << "looking at the letters again";
    EXPECT_TRUE(opened.urls.empty());
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_TRUE(f.messages[0].text.contains(QStringLiteral("timed out")))
        << f.messages[0].text.toStdString();
    RecordProperty("longest_wait_ms", static_cast<int>(trips.Longest()));
}

}  // namespace
}  // namespace norvale::test

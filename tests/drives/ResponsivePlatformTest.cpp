// Slow servers must not freeze the window: the talking calls run on a worker
// while the interface thread keeps turning, and credential questions come
// back to the interface thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "drives/Credentials.h"
#include "drives/FakeSharePlatform.h"
#include "drives/ResponsiveSharePlatform.h"

namespace norvale::test {
namespace {

// Answers every talking call after a delay; a connection asks the prompt.
class SlowPlatform : public drives::FakeSharePlatform {
  public:
    int EnumShares(const QString& server, std::vector<drives::ShareEntry>* shares) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return FakeSharePlatform::EnumShares(server, shares);
    }
    int AddConnection(const QString& drive, const QString& remote, bool interactive,
                      QWidget* owner) override {
        drives::Credentials answer;
        if (interactive && !prompt->Ask(owner, remote, QString(), false, &answer)) {
            return drives::kErrorCancelled;
        }
        return FakeSharePlatform::AddConnection(drive, remote, interactive, owner);
    }
    drives::CredentialPrompt* prompt = nullptr;
};

class RecordingPrompt : public drives::CredentialPrompt {
  public:
    bool Ask(QWidget*, const QString&, const QString&, bool, drives::Credentials*) override {
        onInterfaceThread = QThread::currentThread() == qApp->thread();
        ++asked;
        return answer;
    }
    bool onInterfaceThread = false;
    int asked = 0;
    bool answer = true;
};

// The server \\nas with its one share "data".
void ServeOneShare(drives::FakeSharePlatform& platform) {
    platform.SetShares(QStringLiteral("\\\\nas"), {{QStringLiteral("data"), drives::kShareDisk}});
}

TEST(ResponsivePlatform, TheInterfaceThreadKeepsTurningDuringASlowListing) {
    SlowPlatform slow;
    ServeOneShare(slow);
    drives::ResponsiveSharePlatform platform(slow);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        EXPECT_TRUE(platform.Busy());
    });
    timer.start(20);
    std::vector<drives::ShareEntry> shares;
    EXPECT_EQ(platform.EnumShares(QStringLiteral("\\\\nas"), &shares), 0);
    timer.stop();
    ASSERT_EQ(shares.size(), 1u);
    EXPECT_EQ(shares[0].name, QStringLiteral("data"));
    EXPECT_GE(ticks, 5) << "timers and painting ran while the server was slow";
    EXPECT_FALSE(platform.Busy());
}

TEST(ResponsivePlatform, CredentialQuestionsAreAskedOnTheInterfaceThread) {
    RecordingPrompt recording;
    drives::UiThreadCourier courier;
    drives::UiThreadPrompt prompt(recording, courier);
    SlowPlatform slow;
    slow.prompt = prompt.Prompt();
    drives::ResponsiveSharePlatform platform(slow, &courier);
    EXPECT_EQ(platform.AddConnection(QStringLiteral("Z:"), QStringLiteral("\\\\nas\\data"), true,
                                     nullptr),
              0);
    EXPECT_EQ(recording.asked, 1);
    EXPECT_TRUE(recording.onInterfaceThread);
    QString remote;
    EXPECT_EQ(platform.GetConnection(QStringLiteral("Z:"), &remote), 0);
    EXPECT_EQ(remote, QStringLiteral("\\\\nas\\data"));

    recording.answer = false;
    EXPECT_EQ(platform.AddConnection(QStringLiteral("Y:"), QStringLiteral("\\\\nas\\data"), true,
                                     nullptr),
              drives::kErrorCancelled);
    EXPECT_EQ(platform.CancelConnection(QStringLiteral("Z:")), 0);
    EXPECT_EQ(platform.GetConnection(QStringLiteral("Z:"), &remote), drives::kErrorNotConnected);
}

// Counts the calls that run at once; each takes a little while.
class CountingPlatform : public drives::FakeSharePlatform {
  public:
    int EnumShares(const QString& server, std::vector<drives::ShareEntry>* shares) override {
        return Counted([&] { return FakeSharePlatform::EnumShares(server, shares); });
    }
    int GetConnection(const QString& drive, QString* remote) override {
        return Counted([&] { return FakeSharePlatform::GetConnection(drive, remote); });
    }
    int AddConnection(const QString& drive, const QString& remote, bool interactive,
                      QWidget* owner) override {
        return Counted(
            [&] { return FakeSharePlatform::AddConnection(drive, remote, interactive, owner); });
    }
    void ReadDrives(drives::DriveStates* states) override {
        Counted([&] {
            for (drives::DriveState& state : *states) {
                state.connection =
                    FakeSharePlatform::GetConnection(QStringLiteral("Q:"), &state.remote);
            }
            return 0;
        });
    }
    std::atomic<int> most{0};
    std::atomic<int> onInterfaceThread{0};

  private:
    template <typename Call>
    int Counted(const Call& call) {
        const int now = ++running_;
        most.store(std::max(most.load(), now));
        if (QThread::currentThread() == qApp->thread()) ++onInterfaceThread;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int result = call();
        --running_;
        return result;
    }
    std::atomic<int> running_{0};
};

TEST(ResponsivePlatform, TwoCallsNeverRunAtOnce) {
    CountingPlatform counting;
    ServeOneShare(counting);
    drives::ResponsiveSharePlatform platform(counting);
    // Calls made while another one runs: from a timer of the waiting
    // interface thread, and from a thread of their own.
    int nested = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (nested == 3) return;
        ++nested;
        QString remote;
        platform.GetConnection(QStringLiteral("Z:"), &remote);
        platform.AddConnection(QStringLiteral("Y:"), QStringLiteral("\\\\nas\\data"), false,
                               nullptr);
    });
    timer.start(1);
    std::thread other([&] {
        for (int i = 0; i < 5; ++i) {
            drives::DriveStates states;
            platform.ReadDrives(&states);
        }
    });
    std::vector<drives::ShareEntry> shares;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(platform.EnumShares(QStringLiteral("\\\\nas"), &shares), 0);
    }
    other.join();
    timer.stop();
    EXPECT_GT(nested, 0);
    EXPECT_EQ(counting.most.load(), 1);
    EXPECT_EQ(counting.onInterfaceThread.load(), 0);
    EXPECT_FALSE(platform.Busy());
}

// A call's loop told to quit (the application ending) does not end the call
// before its work: the caller gets the worker's answer, never a half one.
TEST(ResponsivePlatform, ACallEndsWithItsWorkEvenWhenItsLoopIsToldToQuit) {
    SlowPlatform slow;
    ServeOneShare(slow);
    drives::ResponsiveSharePlatform platform(slow);
    QTimer::singleShot(20, [] { QThread::currentThread()->exit(0); });
    std::vector<drives::ShareEntry> shares;
    EXPECT_EQ(platform.EnumShares(QStringLiteral("\\\\nas"), &shares), 0);
    EXPECT_EQ(shares.size(), 1u);
    // The interface thread's loops may run again.
    QTimer::singleShot(0, [] { QThread::currentThread()->exit(0); });
    QApplication::exec();
}

}  // namespace
}  // namespace norvale::test

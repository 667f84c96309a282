#include "drives/ResponsiveSharePlatform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QWidget>
#include <mutex>
#include <thread>

#include "drives/Credentials.h"

namespace drives {

ResponsiveSharePlatform::ResponsiveSharePlatform(SharePlatform& inner) : inner_(inner) {}

// The worker reports back by a queued quit of the local loop; the loop lives
// on this stack frame until the worker has been joined. A call made while
// another runs (only timers and queued calls get through meanwhile) runs
// directly.
template <typename Call>
int ResponsiveSharePlatform::RunOnWorker(Call call) {
    if (busy_.load() || QThread::currentThread() != qApp->thread()) return call();
    busy_.store(true);
    int result = 0;
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = call();
        done.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    while (!done.load()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    busy_.store(false);
    return result;
}

int ResponsiveSharePlatform::EnumShares(const QString& serverPath,
                                        std::vector<ShareEntry>* shares) {
    return RunOnWorker([&] { return inner_.EnumShares(serverPath, shares); });
}

int ResponsiveSharePlatform::GetConnection(const QString& driveName, QString* remoteName) {
    return inner_.GetConnection(driveName, remoteName);
}

int ResponsiveSharePlatform::AddConnection(const QString& driveName, const QString& remotePath,
                                           bool interactive, QWidget* owner) {
    return RunOnWorker(
        [&] { return inner_.AddConnection(driveName, remotePath, interactive, owner); });
}

int ResponsiveSharePlatform::CancelConnection(const QString& driveName) {
    return RunOnWorker([&] { return inner_.CancelConnection(driveName); });
}

int ResponsiveSharePlatform::GetDriveType(const QString& driveName) {
    return inner_.GetDriveType(driveName);
}

QString ResponsiveSharePlatform::ErrorText(int code) {
    return inner_.ErrorText(code);
}

class UiThreadPrompt::Adapter : public CredentialPrompt {
  public:
    explicit Adapter(UiThreadPrompt& owner) : owner_(owner) {}
    bool Ask(QWidget* owner, const QString& server, const QString& share, bool retry,
             Credentials* credentials) override {
        if (QThread::currentThread() == owner_.thread()) {
            return owner_.inner_.Ask(owner, server, share, retry, credentials);
        }
        // The answer crosses threads under a lock of its own, so the
        // hand-over does not rest on the event queue's locking alone.
        std::mutex lock;
        Credentials answer;
        bool given = false;
        {
            std::lock_guard<std::mutex> hold(lock);
            answer = *credentials;
        }
        QMetaObject::invokeMethod(
            &owner_,
            [&] {
                std::lock_guard<std::mutex> hold(lock);
                given = owner_.inner_.Ask(owner, server, share, retry, &answer);
            },
            Qt::BlockingQueuedConnection);
        std::lock_guard<std::mutex> hold(lock);
        *credentials = answer;
        return given;
    }

  private:
    UiThreadPrompt& owner_;
};

UiThreadPrompt::UiThreadPrompt(CredentialPrompt& inner)
    : inner_(inner), adapter_(std::make_unique<Adapter>(*this)) {}

UiThreadPrompt::~UiThreadPrompt() = default;

}  // namespace drives

#include "drives/ResponsiveSharePlatform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <thread>

#include "drives/Credentials.h"

namespace drives {
namespace {

// How often the waiting interface thread looks at the worker and courier.
constexpr int kPollMs = 5;

bool OnInterfaceThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

void UiThreadCourier::Run(const std::function<void()>& work) {
    std::unique_lock<std::mutex> hold(lock_);
    pending_ = &work;
    done_ = false;
    finished_.wait(hold, [this] { return done_; });
    pending_ = nullptr;
}

void UiThreadCourier::Drain() {
    const std::function<void()>* work = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (done_ || !pending_) return;
        work = pending_;
    }
    (*work)();  // the worker waits, so the work stays alive
    std::lock_guard<std::mutex> hold(lock_);
    done_ = true;
    finished_.notify_all();
}

ResponsiveSharePlatform::ResponsiveSharePlatform(SharePlatform& inner, UiThreadCourier* courier)
    : inner_(inner), courier_(courier) {}

// The interface thread turns a local loop and looks at the worker every few
// milliseconds; nothing crosses threads but the call's own data, handed over
// by the thread's start and join. A call made while another runs (only
// timers and queued calls get through meanwhile) runs directly.
int ResponsiveSharePlatform::RunOnWorker(const std::function<int()>& call) {
    if (busy_.load() || !OnInterfaceThread()) return call();
    busy_.store(true);
    int result = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = call();
        done.store(true);
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (courier_) courier_->Drain();
        if (done.load()) loop.quit();
    });
    poll.start(kPollMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
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

namespace {

class CourierPrompt : public CredentialPrompt {
  public:
    CourierPrompt(CredentialPrompt& inner, UiThreadCourier& courier)
        : inner_(inner), courier_(courier) {}
    bool Ask(QWidget* owner, const QString& server, const QString& share, bool retry,
             Credentials* credentials) override {
        if (OnInterfaceThread()) return inner_.Ask(owner, server, share, retry, credentials);
        bool given = false;
        courier_.Run([&] { given = inner_.Ask(owner, server, share, retry, credentials); });
        return given;
    }

  private:
    CredentialPrompt& inner_;
    UiThreadCourier& courier_;
};

}  // namespace

UiThreadPrompt::UiThreadPrompt(CredentialPrompt& inner, UiThreadCourier& courier)
    : adapter_(std::make_unique<CourierPrompt>(inner, courier)) {}

UiThreadPrompt::~UiThreadPrompt() = default;

}  // namespace drives

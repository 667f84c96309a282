#include "drives/ResponsiveSharePlatform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <deque>
#include <thread>

#include "drives/Credentials.h"

namespace drives {
namespace {

// How often the waiting interface thread looks at the worker and courier.
constexpr int kPollMs = 5;

// One worker thread for the whole run, never ended, rather than a thread per
// call: the SMB client library and GIO keep per-thread state, built once.
// Jobs run one after another; the job's owner waits for its flag.
class ShareWorker {
  public:
    static ShareWorker& Instance() {
        static ShareWorker* worker = new ShareWorker;  // lives until the process ends
        return *worker;
    }
    void Submit(std::function<void()> job) {
        std::lock_guard<std::mutex> hold(lock_);
        jobs_.push_back(std::move(job));
        wake_.notify_one();
    }

  private:
    ShareWorker() {
        std::thread([this] { Loop(); }).detach();
    }
    void Loop() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> hold(lock_);
                wake_.wait(hold, [this] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
};

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

// The interface thread turns a local loop and looks at the job every few
// milliseconds; nothing crosses threads but the call's own data, handed over
// under the job's lock (the call itself is not touched once the flag is set). A call made while
// another runs (only timers and queued calls get through meanwhile) runs directly.
int ResponsiveSharePlatform::RunOnWorker(const std::function<int()>& call) {
    if (busy_.load() || !OnInterfaceThread()) return call();
    busy_.store(true);
    // The job reports through a shared state: it may outlive this frame
    // only by the moment between setting the flag and returning.
    struct State {
        std::mutex lock;
        bool done = false;
        int result = 0;
    };
    auto state = std::make_shared<State>();
    ShareWorker::Instance().Submit([state, &call] {
        const int result = call();
        std::lock_guard<std::mutex> hold(state->lock);
        state->result = result;
        state->done = true;
    });
    auto finished = [&state] {
        std::lock_guard<std::mutex> hold(state->lock);
        return state->done;
    };
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (courier_) courier_->Drain();
        if (finished()) loop.quit();
    });
    poll.start(kPollMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    busy_.store(false);
    std::lock_guard<std::mutex> hold(state->lock);
    return state->result;
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

#include "drives/ResponsiveSharePlatform.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <deque>
#include <optional>
#include <thread>

#include "drives/Credentials.h"

namespace drives {
namespace {

// How long a blocked wait sleeps between looks at the courier.
constexpr int kBlockedPollMs = 50;

// One worker thread for the whole run, never ended, rather than a thread per
// call: the SMB client library and GIO keep per-thread state, built once.
// Jobs run one after another in the order they came.
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

void Signal(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(fd, &one, sizeof one);
}

void Consume(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(fd, &count, sizeof count);
}

}  // namespace

// One call on its way through the worker: the call with copies of its
// arguments and room for its results, and an eventfd that turns readable
// when it has finished. Shared by the caller and the worker, so either may
// let go first.
struct ResponsiveSharePlatform::Job {
    explicit Job(std::function<void()> work)
        : work(std::move(work)), done(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Job() {
        if (done >= 0) close(done);
    }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    std::function<void()> work;
    int done;
    std::atomic<bool> finished{false};
};

UiThreadCourier::UiThreadCourier() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

UiThreadCourier::~UiThreadCourier() {
    if (wake_ >= 0) close(wake_);
}

void UiThreadCourier::Run(const std::function<void()>& work) {
    std::unique_lock<std::mutex> hold(lock_);
    pending_ = &work;
    done_ = false;
    Signal(wake_);
    finished_.wait(hold, [this] { return done_; });
    pending_ = nullptr;
}

void UiThreadCourier::Drain() {
    const std::function<void()>* work = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Consume(wake_);
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

void ResponsiveSharePlatform::Run(std::function<void(SharePlatform&)> call) {
    auto job = std::make_shared<Job>([this, call = std::move(call)] { call(inner_); });
    ++waiting_;
    ShareWorker::Instance().Submit([job] {
        job->work();
        job->work = nullptr;
        job->finished.store(true);
        Signal(job->done);
    });
    const bool interfaceThread = OnInterfaceThread();
    if (interfaceThread) WaitTurning(*job);
    WaitBlocking(*job, interfaceThread);
    --waiting_;
}

// The interface thread keeps turning until the job has finished. When its
// loop cannot run (the application is quitting), the blocking wait takes over.
void ResponsiveSharePlatform::WaitTurning(Job& job) {
    QEventLoop loop;
    QSocketNotifier finished(job.done, QSocketNotifier::Read);
    // Level-triggered: once done it stays readable, so it is switched off
    // (a call nested in this wait may still be turning its own loop).
    QObject::connect(&finished, &QSocketNotifier::activated, &loop, [&] {
        if (!job.finished.load()) return;
        finished.setEnabled(false);
        loop.quit();
    });
    std::optional<QSocketNotifier> asked;
    if (courier_) {
        asked.emplace(courier_->WakeFd(), QSocketNotifier::Read);
        QObject::connect(&*asked, &QSocketNotifier::activated, &loop,
                         [this] { courier_->Drain(); });
    }
    if (!job.finished.load()) loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void ResponsiveSharePlatform::WaitBlocking(Job& job, bool drainCourier) {
    while (!job.finished.load()) {
        pollfd fds[2] = {{job.done, POLLIN, 0}, {-1, POLLIN, 0}};
        if (drainCourier && courier_) fds[1].fd = courier_->WakeFd();
        poll(fds, 2, kBlockedPollMs);
        if (fds[1].revents & POLLIN) courier_->Drain();
    }
}

int ResponsiveSharePlatform::EnumShares(const QString& serverPath,
                                        std::vector<ShareEntry>* shares) {
    auto out = std::make_shared<std::pair<int, std::vector<ShareEntry>>>();
    Run([out, serverPath](SharePlatform& p) {
        out->first = p.EnumShares(serverPath, &out->second);
    });
    *shares = std::move(out->second);
    return out->first;
}

int ResponsiveSharePlatform::GetConnection(const QString& driveName, QString* remoteName) {
    auto out = std::make_shared<std::pair<int, QString>>();
    Run([out, driveName](SharePlatform& p) {
        out->first = p.GetConnection(driveName, &out->second);
    });
    *remoteName = out->second;
    return out->first;
}

int ResponsiveSharePlatform::AddConnection(const QString& driveName, const QString& remotePath,
                                           bool interactive, QWidget* owner) {
    auto out = std::make_shared<int>(0);
    Run([=](SharePlatform& p) {
        *out = p.AddConnection(driveName, remotePath, interactive, owner);
    });
    return *out;
}

int ResponsiveSharePlatform::CancelConnection(const QString& driveName) {
    auto out = std::make_shared<int>(0);
    Run([out, driveName](SharePlatform& p) { *out = p.CancelConnection(driveName); });
    return *out;
}

int ResponsiveSharePlatform::GetDriveType(const QString& driveName) {
    auto out = std::make_shared<int>(0);
    Run([out, driveName](SharePlatform& p) { *out = p.GetDriveType(driveName); });
    return *out;
}

QString ResponsiveSharePlatform::ErrorText(int code) {
    auto out = std::make_shared<QString>();
    Run([out, code](SharePlatform& p) { *out = p.ErrorText(code); });
    return *out;
}

void ResponsiveSharePlatform::ReadDrives(DriveStates* states) {
    auto out = std::make_shared<DriveStates>();
    Run([out](SharePlatform& p) { p.ReadDrives(out.get()); });
    *states = *out;
}

void ResponsiveSharePlatform::PrepareConnections(const QStringList& sharePaths, int timeoutMs) {
    Run([sharePaths, timeoutMs](SharePlatform& p) { p.PrepareConnections(sharePaths, timeoutMs); });
}

int ResponsiveSharePlatform::ProbeDrive(const QString& driveName) {
    auto out = std::make_shared<int>(0);
    Run([out, driveName](SharePlatform& p) { *out = p.ProbeDrive(driveName); });
    return *out;
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

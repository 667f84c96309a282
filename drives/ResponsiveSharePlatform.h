#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "drives/SharePlatform.h"

namespace drives {

class CredentialPrompt;

// Hands work from a worker thread to the interface thread without any
// cross-thread Qt call: the worker leaves it here, wakes WakeFd() and
// waits; the interface thread runs it at its next Drain().
class UiThreadCourier {
  public:
    UiThreadCourier();
    ~UiThreadCourier();
    UiThreadCourier(const UiThreadCourier&) = delete;
    UiThreadCourier& operator=(const UiThreadCourier&) = delete;

    // From a worker: runs work on the interface thread and returns when it
    // is done. One worker at a time.
    void Run(const std::function<void()>& work);
    // On the interface thread: runs the work a worker left, if any.
    void Drain();
    // Readable while work is waiting for Drain().
    int WakeFd() const { return wake_; }

  private:
    std::mutex lock_;
    std::condition_variable finished_;
    const std::function<void()>* pending_ = nullptr;
    bool done_ = false;
    int wake_ = -1;
};

// Keeps the window painting and serves every platform call one at a time:
// each call, whatever thread makes it, goes into one queue that a single
// worker thread works through, so two calls never run at once (the SMB
// client library and the credentials of a login are not safe for that).
// The interface thread meanwhile turns a local event loop that handles
// painting, timers and queued calls but no mouse or key input, and delivers
// the courier's work; a call made from such a timer simply queues behind
// the running one. A call returns only when the worker has finished it,
// even if its loop is told to quit early; each call's data is its own, not
// the caller's stack.
//
// The inner platform and the courier must outlive this object; the inner
// platform must ask for credentials only through a UiThreadPrompt on the
// same courier.
class ResponsiveSharePlatform : public SharePlatform {
  public:
    explicit ResponsiveSharePlatform(SharePlatform& inner, UiThreadCourier* courier = nullptr);

    // True while a call waits for the worker.
    bool Busy() const { return waiting_.load() > 0; }

    int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) override;
    int GetConnection(const QString& driveName, QString* remoteName) override;
    int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                      QWidget* owner) override;
    int CancelConnection(const QString& driveName) override;
    int GetDriveType(const QString& driveName) override;
    QString ErrorText(int code) override;
    void ReadDrives(DriveStates* states) override;
    void PrepareConnections(const QStringList& sharePaths, int timeoutMs) override;
    int ProbeDrive(const QString& driveName) override;

  private:
    struct Job;
    // Runs call on the worker and returns when it has finished.
    void Run(std::function<void(SharePlatform&)> call);
    void WaitTurning(Job& job);
    void WaitBlocking(Job& job, bool drainCourier);

    SharePlatform& inner_;
    UiThreadCourier* courier_;
    std::atomic<int> waiting_{0};
};

// A credential prompt that may be asked from the worker: the question goes
// through the courier to the wrapped prompt on the interface thread. The
// wrapped prompt and the courier must outlive this object.
class UiThreadPrompt {
  public:
    UiThreadPrompt(CredentialPrompt& inner, UiThreadCourier& courier);
    ~UiThreadPrompt();
    // The CredentialPrompt to hand to the platform.
    CredentialPrompt* Prompt() const { return adapter_.get(); }

  private:
    std::unique_ptr<CredentialPrompt> adapter_;
};

}  // namespace drives

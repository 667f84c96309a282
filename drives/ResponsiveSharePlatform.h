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
// cross-thread Qt call: the worker leaves it here and waits; the interface
// thread runs it at its next Drain().
class UiThreadCourier {
  public:
    // From a worker: runs work on the interface thread and returns when it
    // is done. One worker at a time.
    void Run(const std::function<void()>& work);
    // On the interface thread: runs the work a worker left, if any.
    void Drain();

  private:
    std::mutex lock_;
    std::condition_variable finished_;
    const std::function<void()>* pending_ = nullptr;
    bool done_ = false;
};

// Keeps the window painting while the network is slow. The calls that talk
// to a server (EnumShares, AddConnection, CancelConnection) run on a worker
// thread, one at a time, while the calling interface thread turns a local
// event loop that handles painting, timers and queued calls but no mouse or
// key input, and delivers the courier's work; the call returns when the
// worker is done, as before. The quick calls that only look at local state
// run directly. Callers must not start a platform call from a timer or
// queued call while Busy() (the window holds drive events back meanwhile).
//
// The inner platform and the courier must outlive this object; the inner
// platform must ask for credentials only through a UiThreadPrompt on the
// same courier.
class ResponsiveSharePlatform : public SharePlatform {
  public:
    explicit ResponsiveSharePlatform(SharePlatform& inner, UiThreadCourier* courier = nullptr);

    // True while a call runs on the worker.
    bool Busy() const { return busy_.load(); }

    int EnumShares(const QString& serverPath, std::vector<ShareEntry>* shares) override;
    int GetConnection(const QString& driveName, QString* remoteName) override;
    int AddConnection(const QString& driveName, const QString& remotePath, bool interactive,
                      QWidget* owner) override;
    int CancelConnection(const QString& driveName) override;
    int GetDriveType(const QString& driveName) override;
    QString ErrorText(int code) override;

  private:
    int RunOnWorker(const std::function<int()>& call);

    SharePlatform& inner_;
    UiThreadCourier* courier_;
    std::atomic<bool> busy_{false};
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

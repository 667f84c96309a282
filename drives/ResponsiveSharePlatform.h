#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

#include "drives/SharePlatform.h"

namespace drives {

class CredentialPrompt;
struct Credentials;

// Keeps the window painting while the network is slow. The calls that talk
// to a server (EnumShares, AddConnection, CancelConnection) run on a worker
// thread, one at a time, while the calling interface thread turns a local
// event loop that handles painting, timers and queued calls but no mouse or
// key input; the call returns when the worker is done, as before. The
// quick calls that only look at local state run directly. Callers must not
// start a platform call from a timer or queued call while Busy() (the
// window holds drive events back meanwhile).
//
// The inner platform must outlive this object and must ask for credentials
// only through a prompt wrapped in UiThreadPrompt, which puts the question
// on the interface thread.
class ResponsiveSharePlatform : public SharePlatform {
  public:
    explicit ResponsiveSharePlatform(SharePlatform& inner);

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
    template <typename Call>
    int RunOnWorker(Call call);

    SharePlatform& inner_;
    std::atomic<bool> busy_{false};
};

// A credential prompt that may be asked from any thread: the question is
// put to the wrapped prompt on the interface thread, and the asking thread
// waits for the answer. The wrapped prompt must outlive this object.
class UiThreadPrompt : public QObject {
  public:
    explicit UiThreadPrompt(CredentialPrompt& inner);
    ~UiThreadPrompt() override;
    // The CredentialPrompt to hand to the platform.
    CredentialPrompt* Prompt() const { return adapter_.get(); }

  private:
    class Adapter;
    CredentialPrompt& inner_;
    std::unique_ptr<CredentialPrompt> adapter_;
};

}  // namespace drives

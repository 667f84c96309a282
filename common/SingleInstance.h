#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace norvale::common {

// The names under which the two programs run once each: the lock file and
// local socket of SingleInstance, through which each asks the other to close.
inline constexpr char kMainProgramInstance[] = "Norvale Discovery";
inline constexpr char kUpdaterInstance[] = "Norvale Discovery AutoUpdate";

// Makes sure only one copy of the program runs under a name ("Norvale
// Discovery"): a lock file in the runtime folder decides who is first, and
// the first copy listens on a local socket of the same name through which a
// later copy asks it to come to the front. Use on the user-interface thread.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance() override;

    // True when this is the first copy: it holds the lock from now on and
    // answers later copies (raiseRequested) and close requests. False when another copy holds
    // the lock; that copy has then been asked to come to the front (if it
    // could be reached) and this one should end.
    bool TryBecomeFirst();

    // The lock file used for `name`, beside its local socket.
    static QString LockPath(const QString& name);

    // Brings a top-level window to the front the way a second copy asks
    // for it: a minimised window is restored to normal, a maximised one
    // stays maximised; then raised and activated.
    static void RaiseWindow(QWidget* window);

  signals:
    // A later copy asked this one to come to the front.
    void raiseRequested();
    // Another program (the updater) asked this one to close its window as
    // if its user had; the asking connection is closed once this returns.
    void closeRequested();

  private:
    bool AskFirstToRaise() const;
    void OnConnection();
    void ReadRequests(QLocalSocket* socket);

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

// The local socket a program of that name listens on: "<name>.socket" in
// the user's runtime folder ($XDG_RUNTIME_DIR), else in the temporary
// folder. The updater listens on LocalSocketPath(kUpdaterInstance).
QString LocalSocketPath(const QString& name);

// Asks a running program that listens on LocalSocketPath(name) (the other
// program, kUpdaterInstance or kMainProgramInstance) to close with the line "close", and waits up
// to timeoutMs for it to confirm by closing the connection. Returns true when a program was
// reached.
bool AskToClose(const QString& name, int timeoutMs = 2000);

}  // namespace norvale::common

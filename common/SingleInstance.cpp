#include "common/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

namespace norvale::common {
namespace {

// The one-line requests spoken over the local sockets.
constexpr char kRaiseRequest[] = "raise\n";
constexpr char kCloseRequest[] = "close\n";
constexpr int kConnectTimeoutMs = 1000;

bool SendRequest(const QString& name, const char* request, int timeoutMs, bool waitForClose) {
    QLocalSocket socket;
    socket.connectToServer(LocalSocketPath(name));
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    if (waitForClose && socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    socket.disconnectFromServer();
    return true;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

namespace {

// The user's private runtime folder, else the temporary folder.
QString RuntimeFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

}  // namespace

QString SingleInstance::LockPath(const QString& name) {
    return QDir(RuntimeFolder()).filePath(name + QStringLiteral(".lock"));
}

QString LocalSocketPath(const QString& name) {
    return QDir(RuntimeFolder()).filePath(name + QStringLiteral(".socket"));
}

bool SingleInstance::TryBecomeFirst() {
    lock_ = std::make_unique<QLockFile>(LockPath(name_));
    lock_->setStaleLockTime(0);  // a lock is stale only when its process is gone
    if (!lock_->tryLock(0)) {
        lock_.reset();
        AskFirstToRaise();
        return false;
    }
    // A copy that crashed may have left its socket behind; the lock says it is gone.
    QLocalServer::removeServer(LocalSocketPath(name_));
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    server_->listen(LocalSocketPath(name_));
    return true;
}

bool SingleInstance::AskFirstToRaise() const {
    return SendRequest(name_, kRaiseRequest, kConnectTimeoutMs, false);
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
        ReadRequests(socket);
    }
}

void SingleInstance::ReadRequests(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QByteArray request = socket->readLine();
        if (request == kRaiseRequest) emit raiseRequested();
        if (request == kCloseRequest) {
            emit closeRequested();
            // The asking program waits for this as its answer.
            socket->disconnectFromServer();
            return;
        }
    }
    // A client that never ends its line is not served for long.
    if (socket->bytesAvailable() > 64) socket->abort();
}

void SingleInstance::RaiseWindow(QWidget* window) {
    if (window == nullptr) return;
    Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized) state &= ~Qt::WindowMinimized;
    window->setWindowState(state);
    window->show();
    window->update();
    window->raise();
    window->activateWindow();
}

bool AskToClose(const QString& name, int timeoutMs) {
    return SendRequest(name, kCloseRequest, timeoutMs, true);
}

}  // namespace norvale::common

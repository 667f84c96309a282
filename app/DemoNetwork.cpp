#include "app/DemoNetwork.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "upnp/stack/LocalAddresses.h"

namespace norvale::app {

DemoNetwork::DemoNetwork() = default;

DemoNetwork::~DemoNetwork() {
    if (process_ == nullptr || process_->state() == QProcess::NotRunning) return;
    // SIGTERM lets the simulated devices say goodbye before it exits.
    process_->terminate();
    if (!process_->waitForFinished(3000)) {
        process_->kill();
        process_->waitForFinished(1000);
    }
}

bool DemoNetwork::Start(int timeoutMs) {
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/nas-sim");
    if (!QFileInfo(program).isExecutable()) {
        error_ =
            QStringLiteral("the NAS simulator %1 is missing; build it with ./run").arg(program);
        return false;
    }
    process_ = std::make_unique<QProcess>();
    // The simulator logs every request on stderr: shown only when debugging.
    if (qEnvironmentVariableIsSet("NORVALE_DEBUG")) {
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    } else {
        process_->setStandardErrorFile(QProcess::nullDevice());
    }
    // --quit-on-eof: the simulator also ends when this program dies.
    process_->start(program, {QStringLiteral("--demo"), QStringLiteral("--quit-on-eof")});
    if (!process_->waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("cannot start %1: %2").arg(program, process_->errorString());
        return false;
    }
    static const QRegularExpression ready(QStringLiteral("^ready (\\d+) devices"));
    QDeadlineTimer deadline(timeoutMs);
    QByteArray pending;
    while (!deadline.hasExpired()) {
        if (!process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
        pending += process_->readAllStandardOutput();
        for (const QByteArray& line : pending.split('\n')) {
            const auto match = ready.match(QString::fromUtf8(line));
            if (!match.hasMatch()) continue;
            devices_ = match.captured(1).toInt();
            stack::SetInterfaceAllowList({"127.0.0.1"});  // nothing of the demo leaves loopback
            return true;
        }
    }
    error_ = process_->state() == QProcess::NotRunning
                 ? QStringLiteral("the NAS simulator stopped before its devices were up")
                 : QStringLiteral("the NAS simulator did not get ready in time");
    return false;
}

}  // namespace norvale::app

#include "app/DemoShares.h"

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

namespace norvale::app {
namespace {

struct DemoShare {
    const char* name;
    const char* file;  // one file so the share is not empty
};
constexpr DemoShare kShares[] = {{"Documents", "Welcome.txt"},
                                 {"Media", "Playlist.txt"},
                                 {"Photos", "Album.txt"},
                                 {"Public", "ReadMe.txt"},
                                 {"backup$", "Hidden.txt"}};

// Processes started with our private configuration: smbd's helpers
// (samba-dcerpcd, rpcd_*) lead process groups of their own and outlive it.
std::vector<pid_t> ProcessesUsing(const QByteArray& config) {
    std::vector<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number || pid == ::getpid()) continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly)) continue;
        if (cmdline.read(64 * 1024).contains(config)) found.push_back(pid);
    }
    return found;
}

QString FindSmbd() {
    const QString found = QStandardPaths::findExecutable(
        QStringLiteral("smbd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("smbd")) : found;
}

}  // namespace

DemoShares::DemoShares() = default;

DemoShares::~DemoShares() {
    Stop();
}

bool DemoShares::OnlyLoopback() {
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        const auto flags = iface.flags();
        if ((flags & QNetworkInterface::IsUp) && !(flags & QNetworkInterface::IsLoopBack)) {
            return false;
        }
    }
    return true;
}

bool DemoShares::WriteConfiguration(QString* configPath) {
    folder_ = std::make_unique<QTemporaryDir>();
    if (!folder_->isValid()) return false;
    const QString root = folder_->path();
    // The guest account (nobody) must reach the share folders.
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                    QFile::ExeGroup);
    for (const char* dir : {"lock", "state", "cache", "run", "private", "ncalrpc", "shares"}) {
        if (!QDir(root).mkpath(QString::fromLatin1(dir))) return false;
    }
    QString config = QStringLiteral(
                         "[global]\n"
                         "server role = standalone server\n"
                         "disable netbios = yes\n"
                         "smb ports = 445\n"
                         "bind interfaces only = no\n"
                         "map to guest = Bad User\n"
                         "guest account = nobody\n"
                         "load printers = no\n"
                         "printing = bsd\n"
                         "printcap name = /dev/null\n"
                         "disable spoolss = yes\n"
                         "lock directory = %1/lock\n"
                         "state directory = %1/state\n"
                         "cache directory = %1/cache\n"
                         "pid directory = %1/run\n"
                         "private dir = %1/private\n"
                         "ncalrpc dir = %1/ncalrpc\n"
                         "log file = %1/log.%m\n"
                         "max log size = 200\n")
                         .arg(root);
    for (const DemoShare& share : kShares) {
        const QString path = root + QStringLiteral("/shares/") + QString::fromLatin1(share.name);
        if (!QDir().mkpath(path)) return false;
        QFile::setPermissions(path, QFile::Permissions(0x7777));
        QFile file(path + QLatin1Char('/') + QString::fromLatin1(share.file));
        if (file.open(QIODevice::WriteOnly)) file.write("Norvale Discovery demo share.\n");
        config += QStringLiteral("[%1]\npath = %2\nguest ok = yes\nread only = no\n")
                      .arg(QString::fromLatin1(share.name), path);
    }
    *configPath = root + QStringLiteral("/smb.conf");
    configPath_ = *configPath;
    QFile file(*configPath);
    return file.open(QIODevice::WriteOnly) && file.write(config.toUtf8()) == config.toUtf8().size();
}

bool DemoShares::Start(int timeoutMs) {
    if (::geteuid() != 0) {
        error_ = QStringLiteral("the demo shares need root");
        return false;
    }
    if (!OnlyLoopback()) {
        error_ = QStringLiteral("the demo shares run only on a loopback-only network");
        return false;
    }
    const QString smbd = FindSmbd();
    if (smbd.isEmpty()) {
        error_ = QStringLiteral("smbd is not installed");
        return false;
    }
    QString config;
    if (!WriteConfiguration(&config)) {
        error_ = QStringLiteral("cannot write the demo share folders");
        return false;
    }
    process_ = std::make_unique<QProcess>();
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    // smbd leads a process group of its own; its helpers join it.
    process_->start(smbd, {QStringLiteral("--foreground"), QStringLiteral("-s"), config});
    if (!process_->waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("cannot start smbd: %1").arg(process_->errorString());
        return false;
    }
    group_ = process_->processId();
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && process_->state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), 445);
        if (probe.waitForConnected(200)) {
            WarmUp(static_cast<int>(deadline.remainingTime()) + 10000);
            return true;
        }
        QThread::msleep(100);
    }
    error_ = QStringLiteral("smbd did not start listening");
    Stop();
    return false;
}

// The first listing starts smbd's RPC helpers and takes seconds; done here,
// the user's first listing is answered at once.
void DemoShares::WarmUp(int timeoutMs) {
    const QString smbclient = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (smbclient.isEmpty()) return;
    QProcess listing;
    listing.setStandardOutputFile(QProcess::nullDevice());
    listing.setStandardErrorFile(QProcess::nullDevice());
    listing.start(smbclient, {QStringLiteral("-N"), QStringLiteral("-g"), QStringLiteral("-L"),
                              QStringLiteral("127.0.0.1")});
    if (!listing.waitForFinished(timeoutMs)) {
        listing.kill();
        listing.waitForFinished(1000);
    }
}

void DemoShares::Stop() {
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning) {
        if (group_ > 0 && ::getpgid(static_cast<pid_t>(group_)) == group_) {
            ::kill(-static_cast<pid_t>(group_), SIGTERM);
        } else {
            process_->terminate();
        }
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(1000);
        }
    }
    // Helpers that outlived the server still carry its group id or name
    // our configuration on their command line.
    if (group_ > 0) ::kill(-static_cast<pid_t>(group_), SIGKILL);
    const QByteArray config = QFile::encodeName(configPath_);
    for (int round = 0; round < 20 && !config.isEmpty(); ++round) {
        const std::vector<pid_t> left = ProcessesUsing(config);
        if (left.empty()) break;
        for (const pid_t pid : left) ::kill(pid, round < 10 ? SIGTERM : SIGKILL);
        QThread::msleep(50);
    }
    process_.reset();
    group_ = 0;
}

}  // namespace norvale::app

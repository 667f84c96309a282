#include "PrivateSmbd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <chrono>

namespace {

bool Run(const QString& program, const QStringList& args, const QByteArray& input, QString* error) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        *error = program + QStringLiteral(" did not start");
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        *error = program + QStringLiteral(" failed: ") +
                 QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    return true;
}

bool Answers(const char* address) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(445);
    inet_pton(AF_INET, address, &to.sin_addr);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    close(fd);
    return ok;
}

// The processes whose command line names our configuration file: smbd,
// its children and the RPC helpers it spawned.
QList<pid_t> OurProcesses(const QString& config) {
    QList<pid_t> pids;
    const QByteArray needle = QFile::encodeName(config);
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || pid == getpid()) continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle))
            pids.append(pid);
    }
    return pids;
}

}  // namespace

bool PrivateSmbd::CanRun() {
    if (geteuid() != 0) return false;
    QFile map(QStringLiteral("/proc/self/uid_map"));
    if (!map.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> fields = map.readLine().simplified().split(' ');
    return fields.size() == 3 && fields[0] == "0" && fields[1] == "0" && fields[2] == "4294967295";
}

QString PrivateSmbd::ConfigPath() const {
    return dir_.filePath(QStringLiteral("smb.conf"));
}

QString PrivateSmbd::SharePath(const QString& share) const {
    return dir_.filePath(QStringLiteral("shares/") + share);
}

bool PrivateSmbd::WriteConfig(QString* error) {
    const QString d = dir_.path();
    // The guest account must reach the share folders.
    QFile::setPermissions(d, QFileDevice::Permissions(0x7755));
    for (const char* sub : {"lock", "state", "cache", "pid", "private", "ncalrpc", "log"}) {
        QDir().mkpath(d + QLatin1Char('/') + QLatin1String(sub));
    }
    for (const char* share :
         {"public", "private", "data", "My Files", "hidden", "config", "spool", "odd", "video"}) {
        const QString path = SharePath(QString::fromUtf8(share));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::Permissions(0x7777));
    }
    for (const char* file : {"public/hello", "data/data", "odd/odd", "video/video"}) {
        const QString name = QString::fromLatin1(file);
        QFile out(SharePath(name) + QStringLiteral(".txt"));
        const QByteArray text = name.section(QLatin1Char('/'), 1).toLatin1() + '\n';
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) return false;
    }

    const QString config = QStringLiteral(R"([global]
  interfaces = lo 127.0.0.1/8
  bind interfaces only = yes
  disable netbios = yes
  smb ports = 445
  lock directory = %1/lock
  state directory = %1/state
  cache directory = %1/cache
  pid directory = %1/pid
  private dir = %1/private
  ncalrpc dir = %1/ncalrpc
  log file = %1/log/%m.log
  passdb backend = tdbsam:%1/private/passdb.tdb
  username map = %1/users.map
  map to guest = bad user
  load printers = no
  printing = bsd
  printcap name = /dev/null
  server role = standalone server
  include = %1/smb.%i.conf
[public]
  path = %2/public
  guest ok = yes
[private]
  path = %2/private
  valid users = root
[data]
  path = %2/data
  guest ok = yes
  read only = no
[My Files]
  path = %2/My Files
  guest ok = yes
[Public (Z:)]
  path = %2/odd
  guest ok = yes
[Video (4K)]
  path = %2/video
  guest ok = yes
[hidden$]
  path = %2/hidden
  guest ok = yes
[printer]
  path = %2/spool
  printable = yes
  guest ok = yes
[Configuration]
  path = %2/config
  guest ok = yes
)")
                               .arg(d, d + QStringLiteral("/shares"));
    struct {
        QString name;
        QByteArray text;
    } files[] = {
        {QStringLiteral("smb.conf"), config.toUtf8()},
        // The one SMB user is mapped onto root, so no system account is made.
        {QStringLiteral("users.map"), QByteArray("root = ") + kUser + '\n'},
        {QStringLiteral("smb.%1.conf").arg(kOpen), QByteArray()},
        {QStringLiteral("smb.%1.conf").arg(kRestricted), "[global]\n  restrict anonymous = 2\n"},
    };
    for (const auto& file : files) {
        QFile out(dir_.filePath(file.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(file.text) != file.text.size()) {
            *error = QStringLiteral("cannot write ") + out.fileName();
            return false;
        }
    }
    return true;
}

bool PrivateSmbd::Start(QString* error) {
    if (!dir_.isValid() || !WriteConfig(error)) return false;
    for (const char* address : {kOpen, kRestricted}) {
        // Already there when a previous start in this namespace added it.
        QProcess::execute(QStringLiteral("ip"), {QStringLiteral("addr"), QStringLiteral("add"),
                                                 QLatin1String(address) + QStringLiteral("/8"),
                                                 QStringLiteral("dev"), QStringLiteral("lo")});
    }
    const QByteArray password = QByteArray(kPassword) + '\n';
    if (!Run(QStringLiteral("smbpasswd"),
             {QStringLiteral("-c"), ConfigPath(), QStringLiteral("-s"), QStringLiteral("-a"),
              QStringLiteral("root")},
             password + password, error)) {
        return false;
    }
    if (!Run(QStringLiteral("smbd"), {QStringLiteral("-D"), QStringLiteral("-s"), ConfigPath()}, {},
             error)) {
        return false;
    }
    started_ = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(Answers(kOpen) && Answers(kRestricted))) {
        if (std::chrono::steady_clock::now() > deadline) {
            *error = QStringLiteral("smbd does not answer on port 445");
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void PrivateSmbd::Stop() {
    if (!started_) return;
    started_ = false;
    const QString config = ConfigPath();
    for (int round = 0; round < 100; ++round) {
        const QList<pid_t> pids = OurProcesses(config);
        if (pids.isEmpty()) return;
        for (pid_t pid : pids) kill(pid, round < 60 ? SIGTERM : SIGKILL);
        QThread::msleep(50);
    }
}

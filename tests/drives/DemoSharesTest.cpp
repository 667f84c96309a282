// The shares of the demo network: a private smbd on loopback, ended with
// everything it started.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>

#include "app/DemoShares.h"

namespace norvale::test {
namespace {

QString ListShares(const QString& host) {
    QProcess smbclient;
    smbclient.start(QStringLiteral("smbclient"),
                    {QStringLiteral("-N"), QStringLiteral("-g"), QStringLiteral("-L"), host});
    if (!smbclient.waitForFinished(20000)) {
        smbclient.kill();
        smbclient.waitForFinished();
    }
    return QString::fromUtf8(smbclient.readAllStandardOutput());
}

bool Listening() {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), 445);
    return probe.waitForConnected(500);
}

// Processes whose command line names text.
int ProcessesNaming(const QByteArray& text) {
    int count = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.toInt() > 0 && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains(text)) {
            ++count;
        }
    }
    return count;
}

TEST(DemoShares, EverySimulatedAddressOffersTheSharesUntilTheServerEnds) {
    if (::geteuid() != 0) GTEST_SKIP() << "smbd runs only as root";
    ASSERT_TRUE(app::DemoShares::OnlyLoopback()) << "tests run in a loopback-only namespace";
    QByteArray config;
    {
        app::DemoShares shares;
        ASSERT_TRUE(shares.Start()) << shares.Error().toStdString();
        config = QFile::encodeName(shares.ConfigPath());
        for (const char* host : {"127.0.0.1", "127.0.0.7"}) {
            const QString listing = ListShares(QString::fromLatin1(host));
            for (const char* line :
                 {"Disk|Documents|", "Disk|Media|", "Disk|Public|", "Disk|backup$|"}) {
                EXPECT_TRUE(listing.contains(QString::fromLatin1(line)))
                    << host << ": " << line << "\n"
                    << listing.toStdString();
            }
        }
    }
    EXPECT_FALSE(Listening()) << "the server ended with its owner";
    EXPECT_EQ(ProcessesNaming(config), 0) << "and so did every helper it started";
}

}  // namespace
}  // namespace norvale::test

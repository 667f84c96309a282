// Yes-to-relaunch time of the whole update (download over TLS, unpacking into
// an emptied folder, all-or-nothing install, relaunch) for a 50 MB archive
// served by a private nginx on loopback, beside `curl -o` plus `unzip` of the
// same archive in the same run. One run of each, printed as a table.
#include <ifaddrs.h>
#include <net/if.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "skin/MessageBoxSkin.h"
#include "tests/updater/UpdaterTestServer.h"
#include "updater/UpdaterApp.h"

namespace {

using norvale::updater::testing::TlsServer;
using norvale::updater::testing::WriteFile;

// Refuses to run where a packet could leave the machine.
bool LoopbackOnly() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool only = true;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if ((entry->ifa_flags & IFF_UP) && !(entry->ifa_flags & IFF_LOOPBACK)) only = false;
    }
    ::freeifaddrs(list);
    return only;
}

// Ten files of random bytes, 50 MB in all (they do not compress, so the
// archive is 50 MB too), and the main program.
void MakeNewFiles(const QString& folder) {
    QDir().mkpath(folder);
    QRandomGenerator random(42);
    for (int i = 0; i < 10; ++i) {
        QByteArray bytes(5'000'000, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        WriteFile(folder + QStringLiteral("/part%1.bin").arg(i), bytes);
    }
    WriteFile(folder + "/norvale-discovery", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(folder + "/norvale-discovery",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

double Seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!LoopbackOnly()) {
        std::fprintf(stderr, "bench_update: run inside the loopback-only namespace (netns-run)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);

    TlsServer server;
    QTemporaryDir scratch;
    const QString staged = scratch.filePath("new");
    MakeNewFiles(staged);
    const QString archive = scratch.filePath("Norvale.zip");
    QProcess zip;
    zip.setWorkingDirectory(staged);
    zip.start(QStringLiteral(NORVALE_CMAKE_COMMAND),
              QStringList{"-E", "tar", "cf", archive, "--format=zip"} +
                  QDir(staged).entryList(QDir::Files));
    zip.waitForFinished(600000);
    QFile archiveFile(archive);
    archiveFile.open(QIODevice::ReadOnly);
    server.Put("Norvale.zip", archiveFile.readAll());
    server.PutListPage("Norvale.zip");
    qputenv("NORVALE_UPDATE_SERVER", server.Base().toUtf8());
    qputenv("CURL_CA_BUNDLE", QFile::encodeName(server.CertificatePath()));

    // The installation: the same names with old contents.
    const QString install = scratch.filePath("install");
    QDir().mkpath(install);
    for (const QString& name : QDir(staged).entryList(QDir::Files)) {
        WriteFile(install + "/" + name, "old");
        QFile::setPermissions(install + "/" + name, QFile::permissions(staged + "/" + name));
    }

    QElapsedTimer sinceYes;
    double updateSeconds = -1;
    norvale::updater::UpdaterOptions options;
    options.showMessage = [&](const QString&, const QString&, QWidget*, int buttons) {
        if ((buttons & BTN_YES) && !sinceYes.isValid()) sinceYes.start();
        return (buttons & BTN_YES) ? IDYES : IDOK;
    };
    options.closeMainProgram = [] {};
    options.relaunch = [&](const QString& program) {
        QProcess::startDetached(program, {});
        updateSeconds = Seconds(sinceYes);
    };
    norvale::updater::CAutoUpdateApp updater(std::move(options));
    updater.InitInstance("VER:1.20.2026.341 DIR:" + install);

    QElapsedTimer peer;
    peer.start();
    const QString fetched = scratch.filePath("curl.zip");
    const bool curlOk = Run("curl", {"-s", "-f", "--cacert", server.CertificatePath(), "-o",
                                     fetched, server.Base() + "/Norvale.zip"});
    const double curlSeconds = Seconds(peer);
    const bool unzipOk = Run("unzip", {"-q", "-o", fetched, "-d", scratch.filePath("unzipped")});
    const double peerSeconds = Seconds(peer);

    std::printf("archive: %.1f MB (%lld bytes), 11 files, TLS on loopback\n",
                archiveFile.size() / 1e6, static_cast<long long>(archiveFile.size()));
    std::printf("%-52s %8s\n", "", "seconds");
    std::printf("%-52s %8.3f\n", "updater: Yes -> relaunch (download+unpack+install)",
                updateSeconds);
    std::printf("%-52s %8.3f%s\n", "curl -o", curlSeconds, curlOk ? "" : "  (failed)");
    std::printf("%-52s %8.3f%s\n", "curl -o + unzip", peerSeconds, unzipOk ? "" : "  (failed)");
    return updateSeconds < 0 ? 1 : 0;
}

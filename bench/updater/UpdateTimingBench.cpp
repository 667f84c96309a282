// Yes-to-relaunch time of the whole update (signature and download over TLS,
// signature check, unpacking into an emptied folder, install as a new release
// and switch, relaunch) for a 50 MB signed archive served by a private nginx
// on loopback, beside `curl -o` plus `unzip` of the same archive in the same
// run. One run of each, printed as a table.
#include <ifaddrs.h>
#include <net/if.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "skin/MessageBoxSkin.h"
#include "tests/support/PrivateRuntimeDir.h"
#include "tests/updater/UpdaterTestServer.h"
#include "tools/update-pack/MinisignSecretKey.h"
#include "tools/update-pack/MinisignSigner.h"
#include "tools/update-pack/UpdateZipWriter.h"
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

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The archive of the files in `folder` and its signature by the tests' key,
// as release 1.2.2026.342; false when either cannot be made.
bool PackAndSign(const QString& folder, const QString& archive) {
    std::vector<std::string> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        files.push_back(QFile::encodeName(folder + "/" + name).toStdString());
    std::string error;
    const auto key = norvale::updatepack::MinisignSecretKey::Parse(
        ReadAll(QStringLiteral(NORVALE_TEST_KEYS_DIR "/test.key")).toStdString(), &error);
    if (!key || !norvale::updatepack::UpdateZipWriter::Write(
                    QFile::encodeName(archive).toStdString(), files, &error))
        return false;
    const auto signature = norvale::updatepack::MinisignSigner(*key).SignFile(
        QFile::encodeName(archive).toStdString(), "version=1.2.2026.342");
    return signature && WriteFile(archive + ".minisig", QByteArray::fromStdString(*signature));
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
    norvale::test::PrivateRuntimeDir runtime;
    QApplication app(argc, argv);

    TlsServer server;
    QTemporaryDir scratch;
    const QString staged = scratch.filePath("new");
    MakeNewFiles(staged);
    const QString archive = scratch.filePath("Norvale.zip");
    if (!PackAndSign(staged, archive)) {
        std::fprintf(stderr, "bench_update: cannot make the signed archive\n");
        return 1;
    }
    QFile archiveFile(archive);
    server.Put("Norvale.zip", ReadAll(archive));
    server.Put("Norvale.zip.minisig", ReadAll(archive + ".minisig"));
    server.PutListPage("Norvale.zip");
    qputenv("NORVALE_UPDATE_SERVER", server.Base().toUtf8());
    qputenv("CURL_CA_BUNDLE", QFile::encodeName(server.CertificatePath()));

    // The installation: release 1.2.2026.341 of the same names with old
    // contents, current.
    const QString install = scratch.filePath("install");
    const QString running = install + "/1.2.2026.341";
    QDir().mkpath(running);
    for (const QString& name : QDir(staged).entryList(QDir::Files)) {
        WriteFile(running + "/" + name, "old");
        QFile::setPermissions(running + "/" + name, QFile::permissions(staged + "/" + name));
    }
    QFile::link("1.2.2026.341", install + "/current");

    QElapsedTimer sinceYes;
    double updateSeconds = -1;
    norvale::updater::UpdaterOptions options;
    options.trustedKeys = norvale::updater::MinisignPublicKey::ParseList(
        ReadAll(QStringLiteral(NORVALE_TEST_KEYS_DIR "/test.pub")).toStdString());
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
    const bool installed = QFileInfo(install + "/current").symLinkTarget() ==
                           QFileInfo(install + "/1.2.2026.342").absoluteFilePath();
    if (!installed) std::fprintf(stderr, "bench_update: the update was not installed\n");
    return updateSeconds < 0 || !installed ? 1 : 0;
}

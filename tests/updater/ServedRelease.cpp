#include "ServedRelease.h"

#include <unistd.h>

#include <filesystem>

#include "skin/CLuMessageBox.h"
#include "tests/updater/UpdaterTestServer.h"

namespace norvale::updater::test {

ServedRelease::ServedRelease(int fileCount, std::size_t fileBytes, int bytesPerSecond) {
    MakeFolder(scratch_ / "new");
    std::vector<std::string> files;
    for (int i = 0; i < fileCount; ++i) {
        files.push_back(scratch_ / ("new/part" + std::to_string(i) + ".bin"));
        WriteFile(files.back(), PatternBytes(fileBytes, static_cast<unsigned>(i)));
    }
    files.push_back(scratch_ / "new/norvale-discovery");
    WriteFile(files.back(), "#!/bin/sh\n", 0755);
    const std::string archive = scratch_ / "Norvale.zip";
    MakeSignedArchive(archive, files, "version=1.2.2026.342");
    archiveSize_ = std::filesystem::file_size(archive);

    server_ = std::make_unique<testing::TlsServer>(bytesPerSecond);
    server_->Put("Norvale.zip", QByteArray::fromStdString(ReadFile(archive)));
    server_->Put("Norvale.zip.minisig", QByteArray::fromStdString(ReadFile(archive + ".minisig")));
    caBundle_ = std::make_unique<ScopedEnv>(
        "CURL_CA_BUNDLE", QFile::encodeName(server_->CertificatePath()).constData());

    MakeFolder(scratch_ / "install/1.2.2026.341");
    WriteFile(scratch_ / "install/1.2.2026.341/norvale-discovery", "old", 0755);
    ::symlink("1.2.2026.341", (scratch_ / "install/current").c_str());
}

ServedRelease::~ServedRelease() = default;

bool ServedRelease::Serving() const {
    return server_->Listening();
}

QString ServedRelease::Link() const {
    return server_->Base() + QStringLiteral("/Norvale.zip");
}

QString ServedRelease::InstallFolder() const {
    return scratch_.QPath("install");
}

UpdaterOptions ServedRelease::Options() const {
    UpdaterOptions options;
    options.trustedKeys = std::vector<MinisignPublicKey>{TestPublicKey()};
    options.closeMainProgram = [] {};
    options.showMessage = [](const QString&, const QString&, QWidget*, int) { return IDNO; };
    return options;
}

}  // namespace norvale::updater::test

#include "UpdaterTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/update-pack/MinisignSecretKey.h"
#include "tools/update-pack/MinisignSigner.h"
#include "tools/update-pack/UpdateZipWriter.h"

namespace norvale::updater::test {

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base == '/' ? base : "/tmp") + "/updtest-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    Shell("chmod -R u+rwX " + Quote(path_) + " 2>/dev/null");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

QString ScratchFolder::QPath(const std::string& name) const {
    return QString::fromStdString(name.empty() ? path_ : path_ + "/" + name);
}

void WriteFile(const std::string& path, const std::string& bytes, mode_t mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void MakeFolder(const std::string& path, mode_t mode) {
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), mode);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return static_cast<mode_t>(-1);
    return st.st_mode & 07777;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

FolderSnapshot Snapshot(const std::string& folder) {
    FolderSnapshot snapshot;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        const bool isFolder = entry.is_directory();
        snapshot[entry.path().filename().string()] = {ModeOf(path),
                                                      isFolder ? "<folder>" : ReadFile(path)};
    }
    return snapshot;
}

std::string PatternBytes(std::size_t length, unsigned seed) {
    std::string bytes(length, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) had_ = true, old_ = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

std::string TestKeyFile(const std::string& file) {
    return std::string(NORVALE_TEST_KEYS_DIR) + "/" + file;
}

MinisignPublicKey TestPublicKey(const std::string& name) {
    const auto keys = MinisignPublicKey::ParseList(ReadFile(TestKeyFile(name + ".pub")));
    if (!keys || keys->size() != 1) throw std::runtime_error("bad test key " + name);
    return keys->front();
}

void MakeSignedArchive(const std::string& archive, const std::vector<std::string>& files,
                       const std::string& comment, const std::string& keyName, bool legacy) {
    std::string error;
    if (!updatepack::UpdateZipWriter::Write(archive, files, &error))
        throw std::runtime_error(error);
    SignFile(archive, comment, keyName, legacy);
}

void SignFile(const std::string& archive, const std::string& comment, const std::string& keyName,
              bool legacy) {
    std::string error;
    const auto key =
        updatepack::MinisignSecretKey::Parse(ReadFile(TestKeyFile(keyName + ".key")), &error);
    if (!key) throw std::runtime_error(error);
    const auto form = legacy ? updatepack::MinisignSigner::Form::Legacy
                             : updatepack::MinisignSigner::Form::Prehashed;
    const auto signature = updatepack::MinisignSigner(*key).SignFile(archive, comment, form);
    if (!signature) throw std::runtime_error("cannot sign " + archive);
    WriteFile(archive + ".minisig", *signature);
}

}  // namespace norvale::updater::test

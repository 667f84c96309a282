#pragma once

#include <sys/types.h>

#include <QString>
#include <map>
#include <string>
#include <vector>

#include "updater/MinisignPublicKey.h"

namespace norvale::updater::test {

// A private scratch folder, removed with everything in it when dropped.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    QString QPath(const std::string& name = {}) const;

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0644);
std::string ReadFile(const std::string& path);
void MakeFolder(const std::string& path, mode_t mode = 0755);
mode_t ModeOf(const std::string& path);  // permission bits, -1 cast when missing
bool Exists(const std::string& path);    // without following a symlink

// Name → (mode, contents) of every entry directly in a folder; folders
// appear with the contents "<folder>".
using FolderSnapshot = std::map<std::string, std::pair<mode_t, std::string>>;
FolderSnapshot Snapshot(const std::string& folder);

// Bytes that do not repeat in any short period, so a repeated or lost piece
// shows in a comparison.
std::string PatternBytes(std::size_t length, unsigned seed);

// Runs a shell command; its exit status (-1 when it could not run).
int Shell(const std::string& command);
std::string Quote(const std::string& text);

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);  // value null: unset
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// The tests' own minisign key pairs in tests/updater/keys: "test" and
// "other". No build trusts them; a test hands them to the code it runs.
std::string TestKeyFile(const std::string& file);  // "test.key", "other.pub"
MinisignPublicKey TestPublicKey(const std::string& name = "test");

// Writes `file`.minisig, a signature of `file` with the key `keyName` over
// the trusted comment `comment`; `legacy` picks minisign's legacy form.
void SignFile(const std::string& file, const std::string& comment,
              const std::string& keyName = "test", bool legacy = false);

// Writes `archive` from `files` (flat, modes kept) and signs it (SignFile).
void MakeSignedArchive(const std::string& archive, const std::vector<std::string>& files,
                       const std::string& comment, const std::string& keyName = "test",
                       bool legacy = false);

}  // namespace norvale::updater::test

#include "updater/ArchiveTrust.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <vector>

#include "zip/UniqueFd.h"

namespace norvale::updater {
namespace {

constexpr std::size_t kHashChunk = 1 << 20;

void InitSodiumOnce() {
    static std::once_flag once;
    // Below zero only when the library cannot start at all; every check then fails.
    std::call_once(once, [] { [[maybe_unused]] const int started = sodium_init(); });
}

bool VerifyDetached(const std::array<std::uint8_t, 64>& signature, const unsigned char* message,
                    std::size_t length, const MinisignPublicKey& key) {
    return crypto_sign_verify_detached(signature.data(), message, length, key.key.data()) == 0;
}

// BLAKE2b-512 of everything `fd` reads from its start.
std::optional<ArchiveHasher::Hash> HashFile(int fd) {
    ArchiveHasher hasher;
    std::vector<unsigned char> buffer(kHashChunk);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        hasher.Update(buffer.data(), static_cast<std::size_t>(got));
    }
    return hasher.Final();
}

// The legacy form signs the bytes themselves: the file is mapped whole.
std::optional<bool> VerifyWholeFile(int fd, const MinisignSignature& signature,
                                    const MinisignPublicKey& key) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0) return VerifyDetached(signature.signature, nullptr, 0, key);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) return std::nullopt;
    const bool ok =
        VerifyDetached(signature.signature, static_cast<const unsigned char*>(map), size, key);
    ::munmap(map, size);
    return ok;
}

}  // namespace

ArchiveTrust::ArchiveTrust(std::vector<MinisignPublicKey> keys,
                           std::optional<ReleaseVersion> running, std::int64_t now)
    : keys_(std::move(keys)), running_(running), now_(now) {
    InitSodiumOnce();
}

ArchiveTrust::Verdict ArchiveTrust::CheckSignature(const MinisignSignature& signature) {
    key_.reset();
    // Key ids may repeat across keys by chance; any matching key may vouch.
    std::vector<unsigned char> covered(signature.signature.begin(), signature.signature.end());
    covered.insert(covered.end(), signature.trustedComment.begin(), signature.trustedComment.end());
    bool known = false;
    for (const MinisignPublicKey& key : keys_) {
        if (key.keyId != signature.keyId) continue;
        known = true;
        if (VerifyDetached(signature.globalSignature, covered.data(), covered.size(), key)) {
            key_ = key;
            break;
        }
    }
    if (!known) return Verdict::UnknownKey;
    if (!key_) return Verdict::BadSignature;
    const std::optional<ReleaseComment> release = ReleaseComment::Parse(signature.trustedComment);
    if (!release) return Verdict::MalformedComment;
    if (!running_ || release->version <= *running_) return Verdict::NotNewer;
    if (release->expires && *release->expires <= now_) return Verdict::Expired;
    release_ = *release;
    return Verdict::Trusted;
}

ArchiveTrust::Verdict ArchiveTrust::CheckArchive(const MinisignSignature& signature,
                                                 const std::string& path) const {
    if (!key_ || key_->keyId != signature.keyId) return Verdict::UnknownKey;
    const zip::CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Get() < 0) return Verdict::Unreadable;
    if (signature.algorithm == MinisignSignature::Algorithm::Legacy) {
        const std::optional<bool> ok = VerifyWholeFile(fd.Get(), signature, *key_);
        if (!ok) return Verdict::Unreadable;
        return *ok ? Verdict::Trusted : Verdict::BadSignature;
    }
    const std::optional<ArchiveHasher::Hash> hash = HashFile(fd.Get());
    if (!hash) return Verdict::Unreadable;
    return CheckArchiveHash(signature, *hash);
}

ArchiveTrust::Verdict ArchiveTrust::CheckArchiveHash(const MinisignSignature& signature,
                                                     const ArchiveHasher::Hash& hash) const {
    if (!key_ || key_->keyId != signature.keyId) return Verdict::UnknownKey;
    // A legacy signature covers the bytes, not their hash.
    if (signature.algorithm != MinisignSignature::Algorithm::Prehashed)
        return Verdict::BadSignature;
    return VerifyDetached(signature.signature, hash.data(), hash.size(), *key_)
               ? Verdict::Trusted
               : Verdict::BadSignature;
}

const char* ArchiveTrust::Describe(Verdict verdict) {
    switch (verdict) {
        case Verdict::Trusted:
            return "trusted";
        case Verdict::UnknownKey:
            return "signed by a key that is not trusted";
        case Verdict::BadSignature:
            return "signature does not match";
        case Verdict::MalformedComment:
            return "trusted comment is not a release";
        case Verdict::NotNewer:
            return "release is not newer than the running one";
        case Verdict::Expired:
            return "signature has expired";
        case Verdict::Unreadable:
            return "archive could not be read";
    }
    return "unknown";
}

}  // namespace norvale::updater

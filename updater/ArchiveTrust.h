#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "updater/ArchiveHasher.h"
#include "updater/MinisignPublicKey.h"
#include "updater/MinisignSignature.h"
#include "updater/ReleaseComment.h"
#include "updater/ReleaseVersion.h"

namespace norvale::updater {

// Decides whether an update archive may be installed: its minisign signature
// must be made by one of the trusted keys, its trusted comment must name a
// release newer than the running one and must not have expired, and the
// archive's bytes must be the ones signed. The signature and its comment are
// checked first (CheckSignature, before the archive is fetched), the archive
// itself after its download (CheckArchive, before a byte is unpacked).
class ArchiveTrust {
  public:
    enum class Verdict {
        Trusted,
        UnknownKey,        // no trusted key has the signature's key id
        BadSignature,      // the signature does not match its comment or the archive
        MalformedComment,  // the trusted comment is not "version=... [expires=...]"
        NotNewer,          // the release is not newer than the running one (or that is unknown)
        Expired,           // the signature's expiry has passed
        Unreadable,        // the archive could not be read
    };

    // `running`: the running program's version, none when unknown (then no
    // release counts as newer). `now`: seconds since 1970 (UTC).
    ArchiveTrust(std::vector<MinisignPublicKey> keys, std::optional<ReleaseVersion> running,
                 std::int64_t now);

    // Checks the key, the global signature over the comment, and the comment.
    Verdict CheckSignature(const MinisignSignature& signature);
    // The release the signature vouches for, once CheckSignature said Trusted.
    const ReleaseComment& Release() const { return release_; }

    // Checks that the file at `path` is what `signature` signed (legacy or
    // prehashed), with the key CheckSignature found. Call after a Trusted
    // CheckSignature only; reads the whole file.
    Verdict CheckArchive(const MinisignSignature& signature, const std::string& path) const;
    // The same for a prehashed signature, given the archive's hash taken
    // while its bytes were written (ArchiveHasher); a legacy signature is
    // never matched by a hash. Call after a Trusted CheckSignature only.
    Verdict CheckArchiveHash(const MinisignSignature& signature,
                             const ArchiveHasher::Hash& hash) const;

    static const char* Describe(Verdict verdict);

  private:
    std::vector<MinisignPublicKey> keys_;
    std::optional<ReleaseVersion> running_;
    std::int64_t now_;
    std::optional<MinisignPublicKey> key_;
    ReleaseComment release_;
};

}  // namespace norvale::updater

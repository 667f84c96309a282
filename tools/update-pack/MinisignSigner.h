#pragma once

#include <optional>
#include <string>

#include "tools/update-pack/MinisignSecretKey.h"

namespace norvale::updatepack {

// Signs files the way `minisign -S` does, so that `minisign -V` and the
// updater accept the result.
class MinisignSigner {
  public:
    enum class Form {
        Prehashed,  // "ED": Ed25519 over BLAKE2b-512 of the file (minisign's default)
        Legacy,     // "Ed": Ed25519 over the file's bytes (minisign -l)
    };

    explicit MinisignSigner(const MinisignSecretKey& key) : key_(key) {}

    // The text of a ".minisig" file for the file at `path` with the trusted
    // comment `comment` (one line, no control characters); none when the
    // file cannot be read or the comment cannot be signed.
    std::optional<std::string> SignFile(const std::string& path, const std::string& comment,
                                        Form form = Form::Prehashed) const;

  private:
    const MinisignSecretKey& key_;
};

}  // namespace norvale::updatepack

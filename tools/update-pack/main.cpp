// norvale-update-pack: makes a signed update archive for the release process.
//   norvale-update-pack --key SECRET_KEY --version A.B.C.D [--expires DATE]
//                       [--legacy] --out Norvale.zip FILE...
// writes Norvale.zip (the files, flat by name, with their modes) and
// Norvale.zip.minisig, a minisign signature whose trusted comment is
// "version=A.B.C.D[ expires=DATE]". SECRET_KEY is a minisign secret key file
// made without a password (minisign -G -W); DATE is YYYY-MM-DDThh:mm:ssZ.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/FileWriting.h"
#include "tools/update-pack/MinisignSecretKey.h"
#include "tools/update-pack/MinisignSigner.h"
#include "tools/update-pack/UpdateZipWriter.h"
#include "updater/ReleaseComment.h"

namespace {

using norvale::updatepack::MinisignSecretKey;
using norvale::updatepack::MinisignSigner;
using norvale::updatepack::UpdateZipWriter;
using norvale::updater::ReleaseComment;
using norvale::updater::ReleaseVersion;

constexpr char kUsage[] =
    "usage: norvale-update-pack --key SECRET_KEY --version A.B.C.D [--expires DATE]\n"
    "                           [--legacy] --out ARCHIVE FILE...\n"
    "Writes ARCHIVE, an update archive of the FILEs, and ARCHIVE.minisig, its minisign\n"
    "signature with the trusted comment \"version=A.B.C.D[ expires=DATE]\".\n"
    "SECRET_KEY: a minisign secret key without password (minisign -G -W).\n"
    "DATE: YYYY-MM-DDThh:mm:ssZ (UTC). --legacy: the legacy signature form.\n";

struct Options {
    std::string key, version, expires, out;
    bool legacy = false;
    std::vector<std::string> files;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "norvale-update-pack: %s\n", message.c_str());
    return 1;
}

bool ParseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = arg == "--key"       ? &options->key
                             : arg == "--version" ? &options->version
                             : arg == "--expires" ? &options->expires
                             : arg == "--out"     ? &options->out
                                                  : nullptr;
        if (value) {
            if (++i == argc) return false;
            *value = argv[i];
        } else if (arg == "--legacy") {
            options->legacy = true;
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return !options->key.empty() && !options->version.empty() && !options->out.empty() &&
           !options->files.empty();
}

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    *text = bytes.str();
    return static_cast<bool>(file);
}

// The trusted comment from the options; none (with a message) when invalid.
std::optional<ReleaseComment> CommentFor(const Options& options) {
    const std::optional<ReleaseVersion> version = ReleaseVersion::Parse(options.version);
    if (!version) return Fail("--version must be four numbers A.B.C.D"), std::nullopt;
    ReleaseComment comment{*version, std::nullopt};
    if (!options.expires.empty()) {
        comment.expires = ReleaseComment::ParseTime(options.expires);
        if (!comment.expires) return Fail("--expires must be YYYY-MM-DDThh:mm:ssZ"), std::nullopt;
        if (*comment.expires <= static_cast<std::int64_t>(std::time(nullptr)))
            return Fail("--expires lies in the past"), std::nullopt;
    }
    return comment;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return std::fputs(kUsage, stdout), 0;
    if (!ParseArguments(argc, argv, &options)) return std::fputs(kUsage, stderr), 2;
    const std::optional<ReleaseComment> comment = CommentFor(options);
    if (!comment) return 1;
    std::string keyText, error;
    if (!ReadText(options.key, &keyText)) return Fail(options.key + ": cannot be read");
    const std::optional<MinisignSecretKey> key = MinisignSecretKey::Parse(keyText, &error);
    if (!key) return Fail(options.key + ": " + error);
    if (!UpdateZipWriter::Write(options.out, options.files, &error)) return Fail(error);
    const std::optional<std::string> signature = MinisignSigner(*key).SignFile(
        options.out, comment->Text(),
        options.legacy ? MinisignSigner::Form::Legacy : MinisignSigner::Form::Prehashed);
    if (!signature || !norvale::common::ReplaceFile((options.out + ".minisig").c_str(),
                                                    signature->data(), signature->size(), 0644))
        return Fail(options.out + ".minisig: cannot be written");
    std::printf("%s: %zu files, signed as \"%s\" by key %s\n", options.out.c_str(),
                options.files.size(), comment->Text().c_str(), key->PublicKeyLine().c_str());
    return 0;
}

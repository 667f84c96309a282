// Update signatures: minisign's format read and checked with libsodium, the
// release comment read strictly, and agreement with the minisign tool itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "UpdaterTestSupport.h"
#include "tools/update-pack/MinisignSecretKey.h"
#include "tools/update-pack/MinisignSigner.h"
#include "updater/ArchiveTrust.h"
#include "updater/MinisignSignatureParser.h"
#include "updater/UpdateKeys.h"

namespace norvale::updater {
namespace {

using test::Quote;
using test::ReadFile;
using test::Shell;
using test::TestKeyFile;
using test::TestPublicKey;
using test::WriteFile;
using Verdict = ArchiveTrust::Verdict;

constexpr std::int64_t kNow = 1'800'000'000;  // 2027-01-15T08:00:00Z
const ReleaseVersion kRunning{{1, 2, 2026, 341}};

class SignatureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(archive(), test::PatternBytes(70000, 1));
        WriteFile(scratch_ / "other.zip", test::PatternBytes(70000, 2));
    }
    std::string archive() const { return scratch_ / "Norvale.zip"; }

    // The verdict on `archive()` signed as given, checked as the updater does.
    Verdict Check(const std::string& comment, const std::string& key = "test",
                  bool legacy = false) {
        std::string error;
        const auto secret =
            updatepack::MinisignSecretKey::Parse(ReadFile(TestKeyFile(key + ".key")), &error);
        const auto form = legacy ? updatepack::MinisignSigner::Form::Legacy
                                 : updatepack::MinisignSigner::Form::Prehashed;
        const auto text = updatepack::MinisignSigner(*secret).SignFile(archive(), comment, form);
        return CheckText(text.value_or(""));
    }
    Verdict CheckText(const std::string& minisig, const std::string& file = {}) {
        const std::optional<MinisignSignature> signature = MinisignSignatureParser::Parse(minisig);
        if (!signature) return Verdict::MalformedComment;
        ArchiveTrust trust({TestPublicKey("other"), TestPublicKey("test")}, kRunning, kNow);
        const Verdict verdict = trust.CheckSignature(*signature);
        if (verdict != Verdict::Trusted) return verdict;
        return trust.CheckArchive(*signature, file.empty() ? archive() : file);
    }

    test::ScratchFolder scratch_;
};

TEST_F(SignatureTest, ReleaseNewerThanTheRunningOneIsTrustedInBothForms) {
    for (bool legacy : {false, true}) {
        EXPECT_EQ(Check("version=1.2.2026.342", "test", legacy), Verdict::Trusted) << legacy;
        EXPECT_EQ(Check("version=1.10.0.0 expires=2027-01-15T08:00:01Z", "other", legacy),
                  Verdict::Trusted)
            << legacy;
    }
}

TEST_F(SignatureTest, ForgedChangedReplayedOrOldArchivesAreRefused) {
    const std::string good = "version=1.2.2026.342";
    // A key that is not trusted, though the signature itself is sound.
    test::MakeSignedArchive(scratch_ / "t.zip", {archive()}, good);
    const std::string signature = ReadFile(scratch_ / "t.zip.minisig");
    ArchiveTrust onlyOther({TestPublicKey("other")}, kRunning, kNow);
    EXPECT_EQ(onlyOther.CheckSignature(*MinisignSignatureParser::Parse(signature)),
              Verdict::UnknownKey);
    EXPECT_EQ(CheckText(signature, scratch_ / "t.zip"), Verdict::Trusted);
    // One byte of the archive changed; a signature of another file.
    std::string bytes = ReadFile(scratch_ / "t.zip");
    bytes[bytes.size() / 2] ^= 0x01;
    WriteFile(scratch_ / "changed.zip", bytes);
    EXPECT_EQ(CheckText(signature, scratch_ / "changed.zip"), Verdict::BadSignature);
    EXPECT_EQ(CheckText(signature, scratch_ / "other.zip"), Verdict::BadSignature);
    EXPECT_EQ(CheckText(signature, scratch_ / "missing.zip"), Verdict::Unreadable);
    // The trusted comment edited after signing (an old archive made "new").
    std::string edited = signature;
    const std::string comment = "comment: version=1.2.2026.342";
    edited.replace(edited.find(comment), comment.size(), "comment: version=1.2.2026.999");
    EXPECT_EQ(CheckText(edited, scratch_ / "t.zip"), Verdict::BadSignature);
    // Releases that are not newer, and an offer that has run out.
    EXPECT_EQ(Check("version=1.2.2026.341"), Verdict::NotNewer);
    EXPECT_EQ(Check("version=1.2.2026.340"), Verdict::NotNewer);
    EXPECT_EQ(Check("version=0.99.9999.999"), Verdict::NotNewer);
    EXPECT_EQ(Check("version=1.2.2026.342 expires=2027-01-15T08:00:00Z"), Verdict::Expired);
    ArchiveTrust unknownRunning({TestPublicKey("test")}, std::nullopt, kNow);
    EXPECT_EQ(unknownRunning.CheckSignature(*MinisignSignatureParser::Parse(signature)),
              Verdict::NotNewer);
}

TEST_F(SignatureTest, OnlyAStrictReleaseCommentCounts) {
    for (const char* comment : {
             "",
             "timestamp:1700000000\tfile:Norvale.zip",  // minisign's own default
             "version=1.2.2026",
             "version=1.2.2026.342.1",
             "version=1.2.2026.342 ",
             "version=1.2.2026.342  expires=2030-01-01T00:00:00Z",
             "version=1.2.2026.342 expires=2030-01-01",
             "version=1.2.2026.342 expires=2030-02-29T00:00:00Z",
             "version=1.2.2026.342 expires=2030-01-01T24:00:00Z",
             "version=1.2.2026.342 expires=2030-01-01T00:00:00Z file=x",
             "version=+1.2.2026.342",
             "version=1.2.2026.0342000000",
             " version=1.2.2026.342",
         }) {
        EXPECT_EQ(Check(comment), Verdict::MalformedComment) << '"' << comment << '"';
    }
    EXPECT_EQ(Check("version=1.2.2026.342 expires=2028-02-29T23:59:59Z"), Verdict::Trusted);
    EXPECT_EQ(ReleaseComment::FormatTime(*ReleaseComment::ParseTime("2028-02-29T23:59:59Z")),
              "2028-02-29T23:59:59Z");
    // The running version as the main program sends it.
    EXPECT_EQ(ReleaseVersion::FromVersionToken("VER:1.20.2026.341"), kRunning);
    EXPECT_EQ(ReleaseVersion::FromVersionToken("VER:1.610.0932.001")->Text(), "1.61.932.1");
    for (const char* token : {"VER:1.2.2026.341", "VER:1.21.2026.341", "1.20.2026.341", "VER:"})
        EXPECT_FALSE(ReleaseVersion::FromVersionToken(token)) << token;
}

TEST_F(SignatureTest, SignatureFileReadInAnyPiecesAndDamageRefused) {
    test::MakeSignedArchive(scratch_ / "t.zip", {archive()}, "version=1.2.2026.342");
    const std::string text = ReadFile(scratch_ / "t.zip.minisig");
    const std::optional<MinisignSignature> whole = MinisignSignatureParser::Parse(text);
    ASSERT_TRUE(whole);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        MinisignSignatureParser parser;
        std::size_t taken = 0, more = 0;
        parser.Feed(text.data(), cut, &taken);
        parser.Feed(text.data() + cut, text.size() - cut, &more);
        const std::optional<MinisignSignature> split = parser.Finish();
        ASSERT_TRUE(split) << cut;
        EXPECT_EQ(taken + more, text.size());
        EXPECT_EQ(split->signature, whole->signature);
        EXPECT_EQ(split->trustedComment, whole->trustedComment);
    }
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(MinisignSignatureParser::Parse(crlf));
    const std::size_t secondLine = text.find('\n') + 1;
    const std::string keyFile = ReadFile(TestKeyFile("test.pub"));
    const std::string keyLine = keyFile.substr(keyFile.find('\n') + 1, 56);
    for (const std::string& damaged : {
             text.substr(0, text.size() - 2),  // global line cut
             text.substr(secondLine),          // no untrusted line
             text + "extra\n",                 // a fifth line
             text.substr(0, secondLine) + keyLine + text.substr(secondLine + 100),  // a key
             text.substr(0, secondLine + 4) + "A" + text.substr(secondLine + 4),    // too long
             "untrusted comment: x\n" + std::string(5000, 'A') + "\n"               // endless
         }) {
        EXPECT_FALSE(MinisignSignatureParser::Parse(damaged)) << damaged;
    }
    MinisignSignatureParser stuck;
    std::size_t taken = 0;
    stuck.Feed("trusted comment: first\n", 23, &taken);
    stuck.Feed(text.data(), text.size(), &taken);
    EXPECT_TRUE(stuck.Failed());
    EXPECT_EQ(taken, 0u) << "a failed parser takes nothing more";
}

TEST_F(SignatureTest, MinisignToolAgreesInBothDirections) {
    if (Shell("command -v minisign >/dev/null") != 0)
        GTEST_SKIP() << "minisign is not installed (scripts/bootstrap installs it)";
    const std::string pub = Quote(TestKeyFile("test.pub"));
    const std::string key = Quote(TestKeyFile("test.key"));
    const std::string file = Quote(archive());
    // minisign signs (prehashed, then legacy); the updater accepts.
    for (const char* form : {"", "-l"}) {
        ASSERT_EQ(Shell("minisign -S " + std::string(form) + " -s " + key + " -m " + file +
                        " -t 'version=1.2.2026.342' </dev/null >/dev/null"),
                  0);
        EXPECT_EQ(CheckText(ReadFile(archive() + ".minisig")), Verdict::Trusted) << form;
    }
    // The updater's signing tool signs (both forms); minisign accepts, and
    // refuses the same signature once a byte changed, as the updater does.
    for (bool legacy : {false, true}) {
        test::MakeSignedArchive(scratch_ / "p.zip", {archive()}, "version=1.2.2026.342", "test",
                                legacy);
        const std::string verify = "minisign -V -q -p " + pub + " -m " + Quote(scratch_ / "p.zip");
        EXPECT_EQ(Shell(verify), 0) << legacy;
        std::string bytes = ReadFile(scratch_ / "p.zip");
        bytes[40] ^= 0x20;
        WriteFile(scratch_ / "p.zip", bytes);
        EXPECT_NE(Shell(verify + " 2>/dev/null"), 0) << legacy;
        EXPECT_EQ(CheckText(ReadFile(scratch_ / "p.zip.minisig"), scratch_ / "p.zip"),
                  Verdict::BadSignature);
    }
}

TEST_F(SignatureTest, BuiltInKeysComeFromTheKeyFileAndNeverIncludeTheTestKeys) {
    const std::vector<MinisignPublicKey>& keys = TrustedUpdateKeys();
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(MinisignPublicKey::ParseList(CompiledUpdateKeyFile()), keys);
    for (const char* name : {"test", "other"})
        EXPECT_EQ(std::count(keys.begin(), keys.end(), TestPublicKey(name)), 0) << name;
}

}  // namespace
}  // namespace norvale::updater

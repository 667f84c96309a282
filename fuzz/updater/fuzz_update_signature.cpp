// Feeds arbitrary bytes to the ".minisig" reader, whole and cut in two at a
// point the input chooses; both must agree. A signature that reads is then
// checked against a key and its comment read as a release, as the updater
// does before it fetches an archive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "updater/ArchiveTrust.h"
#include "updater/MinisignSignatureParser.h"

using norvale::updater::ArchiveTrust;
using norvale::updater::MinisignPublicKey;
using norvale::updater::MinisignSignatureParser;
using norvale::updater::ReleaseComment;
using norvale::updater::ReleaseVersion;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto whole = MinisignSignatureParser::Parse(text);
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    MinisignSignatureParser parser;
    std::size_t first = 0, second = 0;
    parser.Feed(text.data(), cut, &first);
    parser.Feed(text.data() + cut, size - cut, &second);
    const auto split = parser.Finish();
    if (whole.has_value() != split.has_value()) std::abort();
    if (!whole) return 0;
    if (whole->trustedComment != split->trustedComment || whole->signature != split->signature)
        std::abort();
    if (const auto release = ReleaseComment::Parse(whole->trustedComment)) {
        // What is read back is what was written.
        if (ReleaseComment::Parse(release->Text())->version != release->version) std::abort();
    }
    static const auto key =
        MinisignPublicKey::Parse("RWSMILG+cJSKHwkJ7Ct9SRI7veqgv+O+N/rQXdEwe3fVAxFmu0nno3qB");
    ArchiveTrust trust({*key}, ReleaseVersion{{1, 2, 2026, 341}}, 1'800'000'000);
    trust.CheckSignature(*whole);
    return 0;
}

// A ".minisig" file, four lines ended by LF (a CR before it is dropped):
//   untrusted comment: <text>        not covered by any signature
//   <base64 of 74 bytes>             "Ed" or "ED" (2) | key id (8) | signature (64)
//   trusted comment: <text>          covered by the global signature
//   <base64 of 64 bytes>             global signature over signature || text
// The last line end is optional; only blanks and line ends may follow.
// Comment lines are at most kMaxCommentLineBytes long and hold no control
// characters but tab.
#include "updater/MinisignSignatureParser.h"

#include <sodium.h>

#include <algorithm>
#include <array>

namespace norvale::updater {
namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::size_t kSignatureLineBytes = 74;
constexpr std::size_t kGlobalLineBytes = 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsCommentText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 ? byte != 0x7F : c == '\t';
    });
}

// Exactly `size` bytes from one base64 line.
template <std::size_t size>
bool DecodeLine(std::string_view line, std::array<std::uint8_t, size>* out) {
    std::size_t length = 0;
    // Four characters per three bytes, padded: anything longer is not ours.
    if (line.size() != (size + 2) / 3 * 4) return false;
    return sodium_base642bin(out->data(), out->size(), line.data(), line.size(), nullptr, &length,
                             nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == size;
}

}  // namespace

bool MinisignSignatureParser::Fail() {
    failed_ = true;
    line_.clear();
    return false;
}

bool MinisignSignatureParser::TakeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    switch (linesDone_++) {
        case 0:
            return line.substr(0, kUntrustedPrefix.size()) == kUntrustedPrefix &&
                   IsCommentText(line);
        case 1: {
            std::array<std::uint8_t, kSignatureLineBytes> bytes{};
            if (!DecodeLine(line, &bytes) || bytes[0] != 'E') return false;
            if (bytes[1] != 'd' && bytes[1] != 'D') return false;
            signature_.algorithm = bytes[1] == 'd' ? MinisignSignature::Algorithm::Legacy
                                                   : MinisignSignature::Algorithm::Prehashed;
            std::copy_n(bytes.begin() + 2, 8, signature_.keyId.begin());
            std::copy_n(bytes.begin() + 10, 64, signature_.signature.begin());
            return true;
        }
        case 2:
            if (line.substr(0, kTrustedPrefix.size()) != kTrustedPrefix || !IsCommentText(line))
                return false;
            signature_.trustedComment = std::string(line.substr(kTrustedPrefix.size()));
            return true;
        case 3:
            return DecodeLine(line, &signature_.globalSignature);
        default:
            // After the four lines only blanks may follow.
            return std::all_of(line.begin(), line.end(), IsBlank);
    }
}

void MinisignSignatureParser::Feed(const char* data, std::size_t length, std::size_t* consumed) {
    *consumed = 0;
    if (failed_) return;
    for (std::size_t i = 0; i < length; ++i) {
        if (++total_ > kMaxBytes) return void(Fail());
        const char c = data[i];
        ++*consumed;
        if (c != '\n') {
            if (line_.size() == kMaxCommentLineBytes) return void(Fail());
            line_.push_back(c);
            continue;
        }
        if (!TakeLine(line_)) return void(Fail());
        line_.clear();
    }
}

std::optional<MinisignSignature> MinisignSignatureParser::Finish() {
    if (failed_) return std::nullopt;
    if (!line_.empty() && !TakeLine(line_)) return Fail(), std::nullopt;
    line_.clear();
    if (linesDone_ < 4) return Fail(), std::nullopt;
    return signature_;
}

std::optional<MinisignSignature> MinisignSignatureParser::Parse(std::string_view text) {
    MinisignSignatureParser parser;
    std::size_t consumed = 0;
    parser.Feed(text.data(), text.size(), &consumed);
    return parser.Finish();
}

}  // namespace norvale::updater

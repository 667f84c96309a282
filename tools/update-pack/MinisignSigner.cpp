#include "tools/update-pack/MinisignSigner.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <vector>

namespace norvale::updatepack {
namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string Base64(const unsigned char* bytes, std::size_t length) {
    std::string text(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, length, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);  // the terminating zero
    return text;
}

// What the signature covers: the file's bytes, or their BLAKE2b-512 hash.
std::optional<std::vector<unsigned char>> SignedBytes(const std::string& path,
                                                      MinisignSigner::Form form) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    if (form == MinisignSigner::Form::Legacy) {
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
        if (file.bad()) return std::nullopt;
        return bytes;
    }
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, 64);
    std::vector<char> chunk(kChunk);
    while (file.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           file.gcount() > 0) {
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(chunk.data()),
                                  static_cast<unsigned long long>(file.gcount()));
    }
    if (file.bad()) return std::nullopt;
    std::vector<unsigned char> hash(64);
    crypto_generichash_final(&state, hash.data(), hash.size());
    return hash;
}

bool IsOneLine(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

}  // namespace

std::optional<std::string> MinisignSigner::SignFile(const std::string& path,
                                                    const std::string& comment, Form form) const {
    if (sodium_init() < 0 || !IsOneLine(comment)) return std::nullopt;
    const std::optional<std::vector<unsigned char>> message = SignedBytes(path, form);
    if (!message) return std::nullopt;
    // Algorithm | key id | signature
    std::array<unsigned char, 2 + 8 + 64> line{};
    line[0] = 'E';
    line[1] = form == Form::Legacy ? 'd' : 'D';
    std::copy(key_.keyId.begin(), key_.keyId.end(), line.begin() + 2);
    crypto_sign_detached(line.data() + 10, nullptr, message->data(), message->size(),
                         key_.secretKey.data());
    // The global signature covers the signature and the trusted comment.
    std::vector<unsigned char> covered(line.begin() + 10, line.end());
    covered.insert(covered.end(), comment.begin(), comment.end());
    std::array<unsigned char, 64> global{};
    crypto_sign_detached(global.data(), nullptr, covered.data(), covered.size(),
                         key_.secretKey.data());
    return "untrusted comment: signature from norvale-update-pack\n" +
           Base64(line.data(), line.size()) + "\ntrusted comment: " + comment + "\n" +
           Base64(global.data(), global.size()) + "\n";
}

}  // namespace norvale::updatepack

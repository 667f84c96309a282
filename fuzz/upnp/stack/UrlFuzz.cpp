// Feeds arbitrary bytes to the URL splitters and the text splitters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "upnp/stack/TextParse.h"
#include "upnp/stack/Url.h"

using namespace norvale::stack;

namespace {

// The pieces of a split, with the delimiters, give back the region.
void CheckSplit(TextPieces* pieces, char* text, int length, int delimiterLength) {
    int total = 0;
    int count = 0;
    for (TextPiece* p = pieces->first; p != nullptr; p = p->next, ++count) {
        if (p->length < 0 || p->start < text || p->start + p->length > text + length) std::abort();
        total += p->length;
    }
    if (count != pieces->count || count < 1) std::abort();
    if (total + (count - 1) * delimiterLength != length) std::abort();
    FreeTextPieces(pieces);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    // Without a NUL inside, the C-string forms read exactly the input.
    std::unique_ptr<char[]> url(new char[size + 1]);
    if (size > 0) std::memcpy(url.get(), data, size);
    url[size] = '\0';
    char* host = nullptr;
    char* path = nullptr;
    int port = 0;
    ParseUrl(url.get(), static_cast<int>(size), &host, &port, &path);
    if (host == nullptr || path == nullptr || port < 0) std::abort();
    if (path[0] != '\0' && path[0] != '/') std::abort();
    std::free(host);
    std::free(path);
    UrlHostAddress(url.get(), static_cast<int>(size));
    if (std::memchr(data, 0, size) == nullptr) {
        ParseUrl(url.get(), &host, &port, &path);
        std::free(host);
        std::free(path);
        UrlHostAddress(url.get());
    }
    // The first byte picks a delimiter length of 1 to 3 taken from the next bytes.
    if (size < 2) return 0;
    const int delimiterLength = 1 + data[0] % 3;
    if (size < static_cast<std::size_t>(1 + delimiterLength)) return 0;
    const std::string delimiter(reinterpret_cast<const char*>(data) + 1, delimiterLength);
    const int offset = 1 + delimiterLength;
    const int length = static_cast<int>(size) - offset;
    std::unique_ptr<char[]> text(new char[length + 1]);
    std::memcpy(text.get(), data + offset, static_cast<std::size_t>(length));
    CheckSplit(SplitText(text.get(), 0, length, delimiter.data(), delimiterLength), text.get(),
               length, delimiterLength);
    TextPieces* quoted = SplitQuotedText(text.get(), 0, length, delimiter.data(), delimiterLength);
    CheckSplit(quoted, text.get(), length, delimiterLength);
    char* start = text.get();
    const int trimmed = TrimText(start, length);
    if (trimmed < 0 || start < text.get() || start + trimmed > text.get() + length) std::abort();
    return 0;
}

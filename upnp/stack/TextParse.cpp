// Text splitting over a region [offset, end) of 8-bit bytes:
//   region    = piece *( delimiter piece )
//   delimiter = the given byte string, matched only when wholly inside the region
// The quoted variant adds:  quoted = q *( any byte but q ) q
// where q is the first " or ' of the region; delimiters inside quoted do not split.
#include "upnp/stack/TextParse.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace norvale::stack {
namespace {

bool DelimiterAt(const char* text, int position, int end, const char* delimiter,
                 int delimiterLength) {
    return delimiterLength > 0 && end - position >= delimiterLength &&
           std::memcmp(text + position, delimiter, static_cast<std::size_t>(delimiterLength)) == 0;
}

// Walks the region once, calling `cut(pieceStart, pieceLength)` for each piece
// in order (the last piece included).
template <typename Cut>
void Walk(char* text, int offset, int end, const char* delimiter, int delimiterLength, bool quoted,
          Cut&& cut) {
    int pieceStart = offset;
    char quote = 0;
    bool inside = false;
    for (int i = offset; i < end;) {
        const char c = text[i];
        if (quoted && (c == '"' || c == '\'') && (quote == 0 || c == quote)) {
            quote = c;
            inside = !inside;
            ++i;
        } else if (!inside && DelimiterAt(text, i, end, delimiter, delimiterLength)) {
            cut(pieceStart, i - pieceStart);
            i += delimiterLength;
            pieceStart = i;
        } else {
            ++i;
        }
    }
    cut(pieceStart, (end > pieceStart ? end : pieceStart) - pieceStart);
}

TextPieces* Split(char* text, int offset, int end, const char* delimiter, int delimiterLength,
                  bool quoted) {
    if (text == nullptr || offset < 0) offset = end = 0;
    if (end < offset) end = offset;
    if (delimiter == nullptr) delimiterLength = 0;
    int count = 0;
    Walk(text, offset, end, delimiter, delimiterLength, quoted, [&](int, int) { ++count; });

    auto* result = new TextPieces;
    result->storage = std::make_unique<TextPiece[]>(static_cast<std::size_t>(count));
    result->count = count;
    int index = 0;
    Walk(text, offset, end, delimiter, delimiterLength, quoted, [&](int start, int length) {
        TextPiece& piece = result->storage[static_cast<std::size_t>(index)];
        piece.start = text == nullptr ? nullptr : text + start;
        piece.length = length;
        if (index > 0) result->storage[static_cast<std::size_t>(index) - 1].next = &piece;
        ++index;
    });
    result->first = &result->storage[0];
    result->last = &result->storage[static_cast<std::size_t>(count) - 1];
    return result;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\b';
}

template <typename Char>
int Trim(Char*& start, int length) {
    if (start == nullptr || length <= 0) return length;
    int first = 0;
    while (first < length && IsBlank(start[first])) ++first;
    if (first == length) return length;  // only blanks: left as it is
    int last = length;
    while (last > first && IsBlank(start[last - 1])) --last;
    start += first;
    return last - first;
}

}  // namespace

TextPieces* SplitText(char* text, int offset, int end, const char* delimiter, int delimiterLength) {
    return Split(text, offset, end, delimiter, delimiterLength, false);
}

TextPieces* SplitQuotedText(char* text, int offset, int length, const char* delimiter,
                            int delimiterLength) {
    const int end = length > 0 && offset <= INT_MAX - length ? offset + length : offset;
    return Split(text, offset, end, delimiter, delimiterLength, true);
}

void FreeTextPieces(TextPieces* pieces) {
    delete pieces;
}

int TrimText(char*& start, int length) {
    return Trim(start, length);
}
int TrimText(const char*& start, int length) {
    return Trim(start, length);
}

int ParseDecimal(const char* text, int length) {
    if (text == nullptr) return 0;
    long long value = 0;
    for (int i = 0; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

char* CopyText(std::string_view text) {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace norvale::stack

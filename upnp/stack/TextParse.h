#pragma once

#include <memory>
#include <string_view>

namespace norvale::stack {

// Splitting, trimming and number reading over 8-bit text regions. Lengths
// and offsets are byte counts; nothing here reads outside the region it is
// given or needs a terminating NUL.

// One piece of a split: `start` points into the split text (never a copy,
// never NUL-terminated by the splitter), `length` bytes long.
struct TextPiece {
    char* start = nullptr;
    int length = 0;
    TextPiece* next = nullptr;
};

// The result of a split: at least one piece, in text order. Owned by the
// caller, released with FreeTextPieces (or held in a TextPiecesPtr).
struct TextPieces {
    TextPiece* first = nullptr;
    TextPiece* last = nullptr;
    int count = 0;
    std::unique_ptr<TextPiece[]> storage;  // all pieces, one allocation
};

// Splits text[offset, end) (`end` is an index, not a length) at every
// occurrence of the delimiter; n delimiters give n + 1 pieces, an empty
// region one empty piece. A delimiter matches only when all its bytes lie
// inside the region. An empty (or null) delimiter never matches.
TextPieces* SplitText(char* text, int offset, int end, const char* delimiter, int delimiterLength);

// As SplitText over `length` bytes from `offset`, but no split happens inside
// quotes: the first " or ' met becomes the quote character for the rest of
// the text and each later occurrence of that same character toggles the
// inside-quotes state; the other quote character is ordinary.
TextPieces* SplitQuotedText(char* text, int offset, int length, const char* delimiter,
                            int delimiterLength);

// Releases a split result; null is ignored.
void FreeTextPieces(TextPieces* pieces);

struct TextPiecesDeleter {
    void operator()(TextPieces* pieces) const { FreeTextPieces(pieces); }
};
using TextPiecesPtr = std::unique_ptr<TextPieces, TextPiecesDeleter>;

// Moves `start` past leading blanks and returns the length without leading
// and trailing blanks. Blanks are the space and the byte 0x08 only (a tab is
// not). A text made only of blanks is returned unchanged (start and length).
int TrimText(char*& start, int length);
int TrimText(const char*& start, int length);

// The decimal value of the leading digits of text[0, length): no sign and no
// leading blanks are accepted; 0 when it does not start with a digit. Values
// above 2147483647 saturate there, so the result is never negative.
int ParseDecimal(const char* text, int length);

// A malloc'd NUL-terminated copy of `text`, released with std::free; throws
// std::bad_alloc when memory runs out (never returns null).
char* CopyText(std::string_view text);

// True when `a` and `b` have the same bytes, ASCII letters compared without
// case (other bytes exactly).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace norvale::stack

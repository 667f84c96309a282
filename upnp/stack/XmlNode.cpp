// The document layout read by XmlParse (a non-validating subset):
//   document = *( text / "<" tag )
//   tag      = "?" *any                        (declaration, PI: skipped up to the next "<")
//            / "!--" *any "-->"                (comment: skipped, "<" inside included)
//            / "/" name *any [ ">" ]           (end tag)
//            / name *any [ "/" ] [ ">" ]       (start tag; a "/" ending the name or the
//                                               tag text makes it an empty element)
//   name     = [ prefix ":" ] local            (ends at SP, HTAB, CR, LF, "/" or ">")
// A tag ends at its first ">", or unterminated at the next "<" or the region end.
#include "upnp/stack/XmlNode.h"

#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/XmlNodeArena.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace norvale::stack {

namespace {

// The first byte in [from, end) equal to `a` or `b`, or `end`. Reads 16
// bytes at a time while a whole block lies inside the region.
char* FindEither(char* from, char* end, char a, char b) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    for (; end - from >= 16; from += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int mask = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, wantA), _mm_cmpeq_epi8(block, wantB)));
        if (mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (from < end && *from != a && *from != b) ++from;
    return from;
}

// The next "<" at or after `from`, or null.
char* NextOpen(char* from, char* end) {
    char* found = FindEither(from, end, '<', '<');
    return found < end ? found : nullptr;
}

// The byte after the "-->" that closes a comment whose text starts at `from`, or null.
char* CommentEnd(char* from, char* end) {
    const std::string_view rest(from, static_cast<std::size_t>(end - from));
    const auto close = rest.find("-->");
    return close == std::string_view::npos ? nullptr : from + close + 3;
}

// Bytes that end a tag name: blanks, "/", ">" and "<" (the next tag).
constexpr bool EndsName(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>' || c == '<';
}

// The first byte at or after `from` that may end a name or is a ":" (all of
// them are at most ">"), or `end`. Other bytes up to ">" (digits, "-", ".")
// are passed over by the caller.
char* NextNameStop(char* from, char* end) {
#if defined(__SSE2__)
    const __m128i limit = _mm_set1_epi8('>');
    for (; end - from >= 16; from += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        // byte <= '>' (unsigned) exactly when min(byte, '>') == byte
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(block, limit), block));
        if (mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (from<end&& static_cast<unsigned char>(*from)> '>') ++from;
    return from;
}

// The end of the qualified name that starts at `from`; its first ":" goes to *colon.
char* NameEnd(char* from, char* end, char** colon) {
    *colon = nullptr;
    for (char* p = NextNameStop(from, end); p < end; p = NextNameStop(p + 1, end)) {
        if (EndsName(*p)) return p;
        if (*p == ':' && *colon == nullptr) *colon = p;
    }
    return end;
}

bool SameName(const XmlNode* a, const XmlNode* b) {
    if (a->nameLength != b->nameLength) return false;
    if (a->name == b->name) return true;  // an empty element and its synthetic end
    const char* x = a->name;
    const char* y = b->name;
    int left = a->nameLength;
    for (; left >= 8; left -= 8, x += 8, y += 8) {
        std::uint64_t u;
        std::uint64_t v;
        std::memcpy(&u, x, 8);
        std::memcpy(&v, y, 8);
        if (u != v) return false;
    }
    for (; left > 0; --left) {
        if (*x++ != *y++) return false;
    }
    return true;
}

// Builds the node list and links the tags as they come, exactly as
// XmlLinkTags would, as long as every end tag matches and no declaration
// appears; otherwise it stops linking and leaves the whole work to XmlLinkTags.
struct Appender {
    XmlNodeArena& arena;
    XmlNode* first = nullptr;
    XmlNode* last = nullptr;
    XmlNode* open = nullptr;  // innermost open start tag
    bool linking = true;

    XmlNode* Append(const XmlNode& init) {
        XmlNode* node = arena.New(init);
        XmlNode* const previous = last;
        if (previous != nullptr) {
            previous->next = node;
        } else {
            first = node;
        }
        last = node;
        if (linking) Link(node, previous);
        return node;
    }

    void Link(XmlNode* node, XmlNode* previous) {
        if (node->declaration) {
            linking = false;
        } else if (node->start != 0) {
            if (previous != nullptr && previous->start == 0)
                previous->openingTag->nextSibling = node;
            node->parent = open;
            open = node;
        } else if (open == nullptr || !SameName(open, node)) {
            linking = false;
        } else {
            open->closingTag = node;
            node->openingTag = open;
            open = open->parent;
        }
    }
};

// One tag: its text is [text, textEnd), its qualified name starts at
// `qualified` and ends at `nameEnd` (first ":" at `colon`, or null),
// `position` as XmlNode::position for a start tag, `regionEnd` the end of the
// parsed region.
void AddTag(Appender& list, char* text, char* textEnd, char* qualified, char* nameEnd, char* colon,
            char* position, char* regionEnd) {
    const bool endTag = qualified != text;
    char* const name = colon != nullptr ? colon + 1 : qualified;
    if (nameEnd == name) return;  // nameless tags are dropped
    const bool slashEnd = textEnd > text && textEnd[-1] == '/';
    const bool empty = !endTag && ((nameEnd < textEnd && *nameEnd == '/') || slashEnd);
    if (list.arena.count + (empty ? 2 : 1) > static_cast<std::size_t>(kXmlMaxNodes)) {
        list.arena.tooManyNodes = true;
        return;
    }

    char* const tagEnd = empty && slashEnd ? textEnd - 1 : textEnd;
    XmlNode* node = list.Append({
        .name = name,
        .prefix = colon != nullptr ? qualified : nullptr,
        .nameLength = static_cast<int>(nameEnd - name),
        .prefixLength = colon != nullptr ? static_cast<int>(colon - qualified) : 0,
        .start = endTag ? 0 : -1,
        .empty = empty ? -1 : 0,
        .position = endTag ? text : position,
        .tagText = endTag ? nullptr : text,
        .tagTextLength = endTag ? 0 : static_cast<int>(tagEnd - text),
        .tagTextWritable = !endTag && tagEnd < regionEnd,
        .declaration = *name == '!',
    });
    if (!empty) return;
    list.Append({
        .name = node->name,
        .prefix = node->prefix,
        .nameLength = node->nameLength,
        .prefixLength = node->prefixLength,
        .position = node->position,
        .declaration = node->declaration,
    });
}

XmlNode* EmptyResult(std::unique_ptr<XmlNodeArena> arena) {
    XmlNode* node = arena->New();
    arena.release();
    return node;
}

}  // namespace

XmlNode* XmlParse(char* text, int offset, int length) {
    const std::size_t estimate = length > 0 ? static_cast<std::size_t>(length) / 16 : 0;
    auto arena = std::make_unique<XmlNodeArena>(std::clamp<std::size_t>(estimate, 16, 4096));
    if (text == nullptr || offset < 0 || length <= 0) return EmptyResult(std::move(arena));
    char* const end = text + offset + length;
    Appender list{*arena};
    for (char* lt = NextOpen(text + offset, end); lt != nullptr;) {
        char* const piece = lt + 1;
        if (piece < end && *piece == '?') {
            lt = NextOpen(piece, end);
            continue;
        }
        if (end - piece >= 3 && std::memcmp(piece, "!--", 3) == 0) {
            char* const after = CommentEnd(piece + 3, end);
            lt = after == nullptr ? nullptr : NextOpen(after, end);
            continue;
        }
        // The name first (most tags end right after it), then the rest of the tag.
        char* const qualified = piece < end && *piece == '/' ? piece + 1 : piece;
        char* colon = nullptr;
        char* const nameEnd = NameEnd(qualified, end, &colon);
        char* const tagEnd =
            nameEnd < end && *nameEnd == '>' ? nameEnd : FindEither(nameEnd, end, '>', '<');
        const bool closed = tagEnd < end && *tagEnd == '>';
        char* const position = closed ? tagEnd + 1 : tagEnd;
        AddTag(list, piece, tagEnd, qualified, nameEnd < tagEnd ? nameEnd : tagEnd, colon, position,
               end);
        lt = closed ? NextOpen(tagEnd + 1, end) : (tagEnd < end ? tagEnd : nullptr);
        if (arena->tooManyNodes) {
            DebugOutput("XmlParse: more than kXmlMaxNodes nodes, document refused.");
            break;
        }
    }
    if (list.first == nullptr) return EmptyResult(std::move(arena));
    arena->head = list.first;
    arena->linkedByParse = list.linking && list.open == nullptr && !arena->tooManyNodes;
    arena.release();  // now owned through the nodes
    return list.first;
}

namespace {

// The node after `node`, passing over declarations (which are being unlinked).
XmlNode* NextTag(XmlNode* node) {
    XmlNode* next = node->next;
    while (next != nullptr && XmlIsDeclaration(next)) next = next->next;
    return next;
}

}  // namespace

int XmlLinkTags(XmlNode* first) {
    if (first == nullptr) return -1;
    if (first->arena != nullptr && first->arena->tooManyNodes) return -4;
    // The parse has linked a well-formed list without declarations already.
    if (first->arena != nullptr && first->arena->linkedByParse && first->arena->head == first) {
        return 0;
    }
    XmlNode* open = nullptr;  // innermost open start tag; its parents are the rest of the stack
    XmlNode* previous = nullptr;
    for (XmlNode* node = first; node != nullptr; node = node->next) {
        if (node->nameLength == 0) return -1;
        if (XmlIsDeclaration(node)) {
            if (previous != nullptr) previous->next = node->next;
            if (previous == nullptr) previous = node;  // the head stays where the caller holds it
            continue;
        }
        previous = node;
        if (node->start != 0) {
            node->parent = open;
            node->nextSibling = nullptr;
            open = node;
            continue;
        }
        if (open == nullptr) return -1;
        XmlNode* const match = open;
        open = open->parent;
        if (!SameName(match, node)) return open != nullptr ? -3 : -2;
        match->closingTag = node;
        node->openingTag = match;
        XmlNode* const after = NextTag(node);
        if (after != nullptr && after->start != 0) match->nextSibling = after;
    }
    return open != nullptr ? -3 : 0;
}

int XmlInnerLength(const XmlNode* node, char** position) {
    if (node == nullptr) {
        if (position != nullptr) *position = nullptr;
        return 0;
    }
    if (position != nullptr) *position = node->position;
    if (node->start == 0 || node->empty != 0) return 0;
    const XmlNode* close = node->closingTag;
    int depth = 0;
    for (const XmlNode* n = node->next; close == nullptr && n != nullptr; n = n->next) {
        if (!SameName(n, node)) continue;
        if (n->start != 0) {
            ++depth;
        } else if (depth-- == 0) {
            close = n;
        }
    }
    if (close == nullptr) return 0;
    const auto length = close->position - node->position - 1;
    return length > 0 ? static_cast<int>(length) : 0;
}

int XmlUnescape(char* text, int length) {
    if (text == nullptr || length <= 0) return 0;
    static constexpr struct {
        std::string_view entity;
        char replacement;
    } kEntities[] = {
        {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}};
    int out = 0;
    for (int in = 0; in < length;) {
        bool decoded = false;
        if (text[in] == '&') {
            const std::string_view rest(text + in, static_cast<std::size_t>(length - in));
            for (const auto& e : kEntities) {
                if (rest.starts_with(e.entity)) {
                    text[out++] = e.replacement;
                    in += static_cast<int>(e.entity.size());
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded) text[out++] = text[in++];
    }
    std::memset(text + out, 0, static_cast<std::size_t>(length - out));
    return out;
}

int XmlUnescape(char* text) {
    return text == nullptr ? 0 : XmlUnescape(text, static_cast<int>(std::strlen(text)));
}

void FreeXmlNodes(XmlNode* first) {
    if (first != nullptr) delete first->arena;
}

}  // namespace norvale::stack

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

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace norvale::stack {

// All nodes of one parse, in blocks that never move.
struct XmlNodeArena {
    struct Block {
        XmlNode* nodes;
        std::size_t capacity;
    };
    std::vector<Block> blocks;
    std::size_t used = 0;  // in the last block

    explicit XmlNodeArena(std::size_t firstCapacity) { AddBlock(firstCapacity); }
    XmlNodeArena(const XmlNodeArena&) = delete;
    XmlNodeArena& operator=(const XmlNodeArena&) = delete;
    ~XmlNodeArena() {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const std::size_t count = b + 1 == blocks.size() ? used : blocks[b].capacity;
            for (std::size_t i = 0; i < count; ++i) delete blocks[b].nodes[i].namespaces;
            ::operator delete(blocks[b].nodes);
        }
    }

    void AddBlock(std::size_t capacity) {
        auto* storage = static_cast<XmlNode*>(::operator new(capacity * sizeof(XmlNode)));
        blocks.push_back({storage, capacity});
        used = 0;
    }

    XmlNode* New() {
        if (used == blocks.back().capacity) {
            AddBlock(std::min<std::size_t>(blocks.back().capacity * 2, 16384));
        }
        XmlNode* node = new (&blocks.back().nodes[used++]) XmlNode;
        node->arena = this;
        return node;
    }
};

namespace {

char* FindByte(char* from, char* end, char c) {
    return from < end
               ? static_cast<char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)))
               : nullptr;
}

// The byte after the "-->" that closes a comment whose text starts at `from`, or null.
char* CommentEnd(char* from, char* end) {
    const std::string_view rest(from, static_cast<std::size_t>(end - from));
    const auto close = rest.find("-->");
    return close == std::string_view::npos ? nullptr : from + close + 3;
}

struct Appender {
    XmlNodeArena& arena;
    XmlNode* first = nullptr;
    XmlNode* last = nullptr;

    XmlNode* Append() {
        XmlNode* node = arena.New();
        if (last != nullptr) {
            last->next = node;
        } else {
            first = node;
        }
        last = node;
        return node;
    }
};

// One tag: its text is [text, textEnd), `position` as XmlNode::position for
// a start tag, `regionEnd` the end of the parsed region.
void AddTag(Appender& list, char* text, char* textEnd, char* position, char* regionEnd) {
    const bool endTag = text < textEnd && *text == '/';
    char* const qualified = endTag ? text + 1 : text;
    char* colon = nullptr;
    char* nameEnd = qualified;
    for (; nameEnd < textEnd; ++nameEnd) {
        const char c = *nameEnd;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/') break;
        if (c == ':' && colon == nullptr) colon = nameEnd;
    }
    char* const name = colon != nullptr ? colon + 1 : qualified;
    if (nameEnd == name) return;  // nameless tags are dropped
    const bool slashEnd = textEnd > text && textEnd[-1] == '/';
    const bool empty = !endTag && ((nameEnd < textEnd && *nameEnd == '/') || slashEnd);

    XmlNode* node = list.Append();
    node->name = name;
    node->nameLength = static_cast<int>(nameEnd - name);
    if (colon != nullptr) {
        node->prefix = qualified;
        node->prefixLength = static_cast<int>(colon - qualified);
    }
    node->start = endTag ? 0 : -1;
    node->empty = empty ? -1 : 0;
    node->position = endTag ? text : position;
    if (endTag) return;
    char* const tagEnd = empty && slashEnd ? textEnd - 1 : textEnd;
    node->tagText = text;
    node->tagTextLength = static_cast<int>(tagEnd - text);
    node->tagTextWritable = tagEnd < regionEnd;
    if (!empty) return;
    XmlNode* close = list.Append();
    close->name = node->name;
    close->nameLength = node->nameLength;
    close->prefix = node->prefix;
    close->prefixLength = node->prefixLength;
    close->position = node->position;
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
    for (char* lt = FindByte(text + offset, end, '<'); lt != nullptr;) {
        char* const piece = lt + 1;
        if (piece < end && *piece == '?') {
            lt = FindByte(piece, end, '<');
            continue;
        }
        if (end - piece >= 3 && std::memcmp(piece, "!--", 3) == 0) {
            char* const after = CommentEnd(piece + 3, end);
            lt = after == nullptr ? nullptr : FindByte(after, end, '<');
            continue;
        }
        char* tagEnd = piece;
        while (tagEnd < end && *tagEnd != '>' && *tagEnd != '<') ++tagEnd;
        const bool closed = tagEnd < end && *tagEnd == '>';
        char* const position = closed ? tagEnd + 1 : tagEnd;
        AddTag(list, piece, tagEnd, position, end);
        lt = closed ? FindByte(tagEnd + 1, end, '<') : (tagEnd < end ? tagEnd : nullptr);
    }
    if (list.first == nullptr) return EmptyResult(std::move(arena));
    arena.release();  // now owned through the nodes
    return list.first;
}

namespace {

bool IsDeclaration(const XmlNode* node) {
    return node->nameLength > 0 && node->name[0] == '!';
}

bool SameName(const XmlNode* a, const XmlNode* b) {
    return a->nameLength == b->nameLength &&
           std::memcmp(a->name, b->name, static_cast<std::size_t>(a->nameLength)) == 0;
}

// The node after `node`, passing over declarations (which are being unlinked).
XmlNode* NextTag(XmlNode* node) {
    XmlNode* next = node->next;
    while (next != nullptr && IsDeclaration(next)) next = next->next;
    return next;
}

}  // namespace

int XmlLinkTags(XmlNode* first) {
    if (first == nullptr) return -1;
    XmlNode* open = nullptr;  // innermost open start tag; its parents are the rest of the stack
    XmlNode* previous = nullptr;
    for (XmlNode* node = first; node != nullptr; node = node->next) {
        if (node->nameLength == 0) return -1;
        if (IsDeclaration(node)) {
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

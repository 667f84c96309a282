// The attribute part of a start tag, as read by XmlAttributes:
//   tag-text  = name *( SP [ attribute ] )          (split at spaces outside quotes)
//   attribute = [ prefix ":" ] name *SP "=" *SP value
//   value     = DQUOTE *any DQUOTE / "'" *any "'" / *any
// NUL, HTAB, CR and LF count as spaces. Pieces of "name", "=" and "value"
// separated by spaces are joined into one attribute.
#include "upnp/stack/XmlAttribute.h"

#include <cstring>

#include "upnp/stack/TextParse.h"
#include "upnp/stack/XmlNodeArena.h"

namespace norvale::stack {
namespace {

bool IsLoneEquals(const TextPiece* piece) {
    return piece->length == 1 && piece->start[0] == '=';
}

// The last piece of the attribute that starts with `piece`: a piece without
// "=" takes in the pieces up to the next one that is neither empty nor a lone
// "="; a piece ending in "=" takes in the next non-empty piece.
const TextPiece* AttributeEnd(const TextPiece* piece) {
    const char* equals = static_cast<const char*>(
        std::memchr(piece->start, '=', static_cast<std::size_t>(piece->length)));
    const bool endsWithEquals = equals == piece->start + piece->length - 1;
    if (equals != nullptr && !endsWithEquals) return piece;
    const TextPiece* last = piece;
    for (const TextPiece* p = piece->next; p != nullptr; p = p->next) {
        last = p;
        if (p->length == 0 || (equals == nullptr && IsLoneEquals(p))) continue;
        break;
    }
    return last;
}

XmlAttribute* ReadAttribute(XmlNode* node, char* text, char* textEnd) {
    auto* equals =
        static_cast<char*>(std::memchr(text, '=', static_cast<std::size_t>(textEnd - text)));
    char* const nameEnd = equals != nullptr ? equals : textEnd;
    auto* colon =
        static_cast<char*>(std::memchr(text, ':', static_cast<std::size_t>(nameEnd - text)));
    auto* attribute = new XmlAttribute;
    attribute->parent = node;
    char* name = text;
    if (colon != nullptr) {
        attribute->prefix = text;
        attribute->prefixLength = static_cast<int>(colon - text);
        name = colon + 1;
    }
    attribute->nameLength = TrimText(name, static_cast<int>(nameEnd - name));
    attribute->name = name;
    // Without "=" the text is a single part: value and name alike.
    char* value = equals != nullptr ? equals + 1 : name;
    int valueLength = equals != nullptr ? static_cast<int>(textEnd - value) : attribute->nameLength;
    valueLength = TrimText(value, valueLength);
    if (valueLength > 1 && (value[0] == '"' || value[0] == '\'')) {
        ++value;
        valueLength -= 2;
    }
    attribute->value = value;
    attribute->valueLength = valueLength;
    return attribute;
}

// Turns NUL, tab, CR and LF into spaces, except that a NUL inside a quoted
// value is the closing quote overwritten by an in-place terminator
// (XmlDeclareNamespaces or a caller) and becomes that quote again.
void NormaliseTagText(char* text, int length) {
    char quote = 0;
    bool afterEquals = false;
    for (int i = 0; i < length; ++i) {
        char& c = text[i];
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        if (c == '\0') c = quote != 0 ? quote : ' ';
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '=') {
            afterEquals = true;
        } else if (afterEquals && (c == '"' || c == '\'')) {
            quote = c;
            afterEquals = false;
        } else if (c != ' ' && c != '\b') {
            afterEquals = false;
        }
    }
}

}  // namespace

XmlAttribute* XmlAttributes(XmlNode* node) {
    if (node == nullptr || node->start == 0 || node->tagText == nullptr) return nullptr;
    char* const text = node->tagText;
    NormaliseTagText(text, node->tagTextLength);
    TextPiecesPtr pieces(SplitQuotedText(text, 0, node->tagTextLength, " ", 1));
    XmlAttribute* list = nullptr;
    for (const TextPiece* piece = pieces->first->next; piece != nullptr; piece = piece->next) {
        if (piece->length == 0) continue;
        const TextPiece* const last = AttributeEnd(piece);
        XmlAttribute* attribute = ReadAttribute(node, piece->start, last->start + last->length);
        attribute->next = list;
        list = attribute;
        piece = last;
    }
    return list;
}

void FreeXmlAttributes(XmlAttribute* list) {
    while (list != nullptr) {
        XmlAttribute* next = list->next;
        delete list;
        list = next;
    }
}

void XmlDeclareNamespaces(XmlNode* first) {
    for (XmlNode* node = first; node != nullptr; node = node->next) {
        if (node->start == 0) continue;
        if (node->namespaces != nullptr) {
            node->namespaces->Clear();
        } else {
            node->namespaces = new KeyedTable<char*>(false);
            node->arena->hasNamespaces = true;
        }
        XmlAttributesPtr attributes(XmlAttributes(node));
        const char* const textEnd = node->tagText + node->tagTextLength;
        for (XmlAttribute* a = attributes.get(); a != nullptr; a = a->next) {
            const char* key = nullptr;
            int keyLength = 0;
            if (a->prefix == nullptr && a->nameLength == 5 &&
                std::memcmp(a->name, "xmlns", 5) == 0) {
                key = "xmlns";
                keyLength = 5;
            } else if (a->prefixLength == 5 && std::memcmp(a->prefix, "xmlns", 5) == 0) {
                key = a->name;
                keyLength = a->nameLength;
            } else {
                continue;
            }
            char* const valueEnd = a->value + a->valueLength;
            if (valueEnd < textEnd || node->tagTextWritable) *valueEnd = '\0';
            node->namespaces->Put(key, static_cast<std::size_t>(keyLength), a->value,
                                  a->valueLength);
        }
    }
}

char* XmlLookupNamespace(const XmlNode* node, const char* prefix, int prefixLength, int* length) {
    if (node != nullptr && node->start == 0 && node->openingTag != nullptr) node = node->openingTag;
    const char* key = prefixLength > 0 && prefix != nullptr ? prefix : "xmlns";
    const auto keyLength =
        static_cast<std::size_t>(prefixLength > 0 && prefix != nullptr ? prefixLength : 5);
    for (; node != nullptr; node = node->parent) {
        char* value = nullptr;
        int valueLength = 0;
        if (node->namespaces != nullptr &&
            node->namespaces->GetWithExtra(key, keyLength, &value, &valueLength)) {
            if (length != nullptr) *length = valueLength;
            return value;
        }
    }
    if (length != nullptr) *length = 0;
    return nullptr;
}

}  // namespace norvale::stack

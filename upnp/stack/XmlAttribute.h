#pragma once

#include <memory>

#include "upnp/stack/XmlNode.h"

namespace norvale::stack {

// One attribute of a start tag; name, prefix and value point into the parsed
// text (not NUL-terminated). A value written in quotes comes without them.
struct XmlAttribute {
    char* name = nullptr;
    int nameLength = 0;
    char* prefix = nullptr;  // null when the name has no prefix
    int prefixLength = 0;
    char* value = nullptr;
    int valueLength = 0;
    XmlNode* parent = nullptr;  // the start tag it belongs to
    XmlAttribute* next = nullptr;
};

// The attributes of a start tag, last one first; null for an end tag or a
// tag without attributes. Turns NUL, tab, CR and LF bytes of the tag text
// into spaces in place (a NUL written over a closing quote becomes the quote
// again, so values terminated in place read the same next time). Blanks
// around "=" are allowed (name = "value"); a word without "=" takes in the
// next word (name value="x" reads as one attribute "name value"), and at the
// end it reads as name and value both. Release with FreeXmlAttributes.
XmlAttribute* XmlAttributes(XmlNode* node);

void FreeXmlAttributes(XmlAttribute* list);

struct XmlAttributesDeleter {
    void operator()(XmlAttribute* list) const { FreeXmlAttributes(list); }
};
using XmlAttributesPtr = std::unique_ptr<XmlAttribute, XmlAttributesDeleter>;

// For every start node of the list: (re)builds its namespaces table from its
// attributes: "xmlns" is stored under the key "xmlns", "xmlns:p" under "p";
// value pointer with the value length as extra. Values are NUL-terminated in
// place where the byte after them lies inside the parsed region (quoted
// values always).
void XmlDeclareNamespaces(XmlNode* first);

// The namespace URI in scope for `prefix` at `node` (an empty prefix means the
// default namespace), found by walking up through the parents' tables; null
// when undeclared. An end node looks from its start tag. *length gets the
// URI length when wanted.
char* XmlLookupNamespace(const XmlNode* node, const char* prefix, int prefixLength,
                         int* length = nullptr);

}  // namespace norvale::stack

#pragma once

#include <memory>

#include "upnp/stack/KeyedTable.h"

namespace norvale::stack {

struct XmlNodeArena;

// One tag of a parsed document. Nodes form a flat list in document order and
// point into the parsed text, which must outlive them. All nodes of one parse
// are owned together and released with FreeXmlNodes.
struct XmlNode {
    char* name = nullptr;    // local name (after the prefix), not NUL-terminated
    char* prefix = nullptr;  // namespace prefix before ":", null when none
    int nameLength = 0;
    int prefixLength = 0;
    int start = 0;  // -1 for a start (or empty-element) tag, 0 for an end tag
    int empty = 0;  // -1 for an empty-element tag (its synthetic end node follows it)
    // Start tag: the first byte after its ">" (the end of the tag when it has
    // no ">"); end tag: the byte after its "<"; synthetic end: as its start tag.
    char* position = nullptr;
    KeyedTable<char*>* namespaces = nullptr;  // filled by XmlDeclareNamespaces (exact keys)
    XmlNode* next = nullptr;
    XmlNode* parent = nullptr;       // start tag: the enclosing start tag
    XmlNode* nextSibling = nullptr;  // start tag: start tag right after its end tag
    XmlNode* closingTag = nullptr;   // start tag: its end tag
    XmlNode* openingTag = nullptr;   // end tag: its start tag

    // Bookkeeping of the parser. Start tag: the text between "<" and ">"
    // (before "/>" for an empty element), and whether the byte after that
    // text lies inside the parsed region (so a NUL may be written there).
    char* tagText = nullptr;
    XmlNodeArena* arena = nullptr;  // shared by all nodes of one parse
    int tagTextLength = 0;
    bool tagTextWritable = false;
    bool declaration = false;  // the name begins with "!" (<!DOCTYPE ...>)
};

// True for a "<!DOCTYPE ...>"-like node (its name begins with "!").
inline bool XmlIsDeclaration(const XmlNode* node) {
    return node->declaration;
}

// The most nodes one parse makes (an empty element makes two): about 3.5 MB
// of nodes, many times what the largest real service description needs,
// where 1 MiB of "<a/>" would otherwise become about 60 MB.
inline constexpr int kXmlMaxNodes = 32768;

// Parses text[offset, offset + length) into its tag list and returns the
// first node: an empty node (no name) when the region holds no tag. Never
// fails on malformed input and never reads outside the region. Declarations
// and processing instructions ("<?") and comments ("<!--" to "-->") are
// skipped; "<!DOCTYPE" and the like stay as nodes until XmlLinkTags. A
// document with more than kXmlMaxNodes nodes is read no further; XmlLinkTags
// then fails it with -4.
XmlNode* XmlParse(char* text, int offset, int length);

// Checks nesting and fills parent, nextSibling, closingTag and openingTag.
// Returns 0 when every tag is matched; -1 for an end tag without an open
// start tag or a nameless node (the empty parse); -2 when an end tag does not
// match the innermost open start tag; -3 when that happens while other tags
// are open, or tags are left open; -4 when the document had more than
// kXmlMaxNodes nodes (checked first). Nodes whose name begins with "!" are taken
// out of the list (except a head node, which the caller holds: it stays but
// takes no part). Works without recursion at any depth. XmlParse links a
// well-formed list without declarations as it reads it; this call then only
// reports 0.
int XmlLinkTags(XmlNode* first);

// Sets *position to the start node's position and returns the length of the
// element's inner text (up to the "<" of its matching end tag); 0 for an end
// node, an empty element or an element without end tag.
int XmlInnerLength(const XmlNode* node, char** position);

// Decodes &quot; &apos; &amp; &lt; &gt; in text[0, length) in one pass, fills
// the freed tail with NUL bytes and returns the new length. Numeric
// references are left as they are. The second form reads up to the NUL.
int XmlUnescape(char* text, int length);
int XmlUnescape(char* text);

// Releases every node of the parse `first` came from (any node of it will
// do), with their namespace tables. Null is ignored.
void FreeXmlNodes(XmlNode* first);

struct XmlNodesDeleter {
    void operator()(XmlNode* first) const { FreeXmlNodes(first); }
};
using XmlNodesPtr = std::unique_ptr<XmlNode, XmlNodesDeleter>;

}  // namespace norvale::stack

// Feeds arbitrary bytes to the XML reader and runs every operation on every node.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "upnp/stack/XmlAttribute.h"
#include "upnp/stack/XmlNode.h"
#include "upnp/stack/XmlNodeArena.h"

using namespace norvale::stack;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(buffer.get(), data, size);
    char* const begin = buffer.get();
    char* const end = begin + size;
    XmlNodesPtr nodes(XmlParse(begin, 0, static_cast<int>(size)));
    if (nodes == nullptr) std::abort();
    const int linked = XmlLinkTags(nodes.get());
    if (linked != 0 && linked != -1 && linked != -2 && linked != -3) std::abort();
    // The links the parse made on the way must equal those of the full pass.
    struct Links {
        XmlNode *next, *parent, *nextSibling, *closingTag, *openingTag;
    };
    std::vector<Links> links;
    for (XmlNode* n = nodes.get(); n != nullptr; n = n->next) {
        links.push_back({n->next, n->parent, n->nextSibling, n->closingTag, n->openingTag});
    }
    nodes->arena->linkedByParse = false;
    if (XmlLinkTags(nodes.get()) != linked) std::abort();
    std::size_t index = 0;
    for (XmlNode* n = nodes.get(); n != nullptr; n = n->next, ++index) {
        const Links& l = links.at(index);
        if (l.next != n->next || l.parent != n->parent || l.nextSibling != n->nextSibling ||
            l.closingTag != n->closingTag || l.openingTag != n->openingTag) {
            std::abort();
        }
    }
    if (index != links.size()) std::abort();
    struct Span {
        char* start;
        int length;
    };
    std::vector<Span> inner;
    for (XmlNode* node = nodes.get(); node != nullptr; node = node->next) {
        char* position = nullptr;
        const int length = XmlInnerLength(node, &position);
        if (length < 0 || (length > 0 && (position < begin || position + length > end)))
            std::abort();
        if (length > 0) inner.push_back({position, length});
        XmlAttributesPtr attributes(XmlAttributes(node));
        for (XmlAttribute* a = attributes.get(); a != nullptr; a = a->next) {
            if (a->nameLength < 0 || a->valueLength < 0 || a->value < begin ||
                a->value + a->valueLength > end) {
                std::abort();
            }
        }
    }
    XmlDeclareNamespaces(nodes.get());
    for (XmlNode* node = nodes.get(); node != nullptr; node = node->next) {
        XmlLookupNamespace(node, node->prefix, node->prefixLength);
    }
    for (const Span& s : inner) XmlUnescape(s.start, s.length);
    return 0;
}

#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

#include "upnp/stack/XmlNode.h"

namespace norvale::stack {

// Storage of all nodes of one parse, in blocks that never move. Reached from
// every node (XmlNode::arena) and deleted by FreeXmlNodes, which also frees
// the namespace tables when any were made.
struct XmlNodeArena {
    struct Block {
        XmlNode* nodes;
        std::size_t capacity;
    };
    std::vector<Block> blocks;
    std::size_t used = 0;        // in the last block
    bool hasNamespaces = false;  // some node holds a namespace table
    XmlNode* head = nullptr;     // the first node XmlParse returned
    bool linkedByParse = false;  // the parse linked every tag: XmlLinkTags has nothing to do
    bool tooManyNodes = false;   // the parse stopped at kXmlMaxNodes
    std::size_t count = 0;       // nodes made

    explicit XmlNodeArena(std::size_t firstCapacity) { AddBlock(firstCapacity); }
    XmlNodeArena(const XmlNodeArena&) = delete;
    XmlNodeArena& operator=(const XmlNodeArena&) = delete;
    ~XmlNodeArena() {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (!hasNamespaces) {
                ::operator delete(blocks[b].nodes);
                continue;
            }
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

    // A node made from `init` (arena set here), appended to the storage.
    XmlNode* New(const XmlNode& init = XmlNode{}) {
        if (used == blocks.back().capacity) {
            AddBlock(std::min<std::size_t>(blocks.back().capacity * 2, 16384));
        }
        ++count;
        XmlNode* node = new (&blocks.back().nodes[used++]) XmlNode(init);
        node->arena = this;
        return node;
    }
};

}  // namespace norvale::stack

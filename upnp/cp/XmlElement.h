#pragma once

#include <cstddef>
#include <string_view>

namespace norvale::stack {
struct XmlNode;
}

namespace norvale::cp {

// A read-only view of one start tag of a parsed document, for walking
// description and SOAP documents by local names. Valid while the owning
// XmlDocument lives. A default-constructed (null) element answers "absent"
// to everything.
class XmlElement {
  public:
    XmlElement() = default;
    explicit XmlElement(stack::XmlNode* node) : node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }
    // Local name (without prefix).
    std::string_view Name() const;
    bool NameIs(std::string_view name) const { return node_ != nullptr && Name() == name; }
    // First child start tag; null when the element is empty or has none.
    XmlElement FirstChild() const;
    // The start tag that follows this element's end tag at the same level.
    XmlElement NextSibling() const;
    // First child with the exact local name, else null.
    XmlElement Child(std::string_view name) const;
    // Raw inner text: every byte between the start tag and its end tag.
    std::string_view Text() const;
    // Value of the first attribute whose local name equals `name` ignoring
    // ASCII case; `found` tells whether there was one.
    std::string_view Attribute(std::string_view name, bool* found) const;

  private:
    stack::XmlNode* node_ = nullptr;
};

// Reads a device's decimal number (an attribute value, an element text or
// the version after a type prefix): optional blanks, an optional sign, digits,
// optional blanks, and nothing else. False, with *value untouched, for any
// other text or one outside the 32-bit signed range: a malformed value.
bool ReadDecimal(std::string_view text, int* value);

// Owns the nodes of one parsed document and a private copy of its text (the
// parser writes into the text it parses).
class XmlDocument {
  public:
    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    // Parses `length` bytes of `text`; true when the document is well-formed
    // (every tag matched). No namespace tables are built: elements are matched
    // by local names only, and declaring them writes NULs into attribute text
    // still to be read.
    bool Parse(const char* text, std::size_t length);
    // The first top-level start tag that is not a declaration ("!..."), or null.
    XmlElement Root() const;
    // The first start tag in document order with the local name, or null.
    XmlElement Find(std::string_view name) const;

  private:
    void Release();

    char* text_ = nullptr;
    stack::XmlNode* first_ = nullptr;
};

}  // namespace norvale::cp

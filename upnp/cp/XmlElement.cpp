#include "upnp/cp/XmlElement.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "upnp/stack/TextParse.h"
#include "upnp/stack/XmlAttribute.h"
#include "upnp/stack/XmlNode.h"

namespace norvale::cp {
namespace {}  // namespace

std::string_view XmlElement::Name() const {
    if (node_ == nullptr || node_->name == nullptr) return {};
    return {node_->name, static_cast<std::size_t>(node_->nameLength)};
}

XmlElement XmlElement::FirstChild() const {
    if (node_ == nullptr || node_->empty != 0) return XmlElement();
    stack::XmlNode* next = node_->next;
    while (next != nullptr && next->start != 0 && stack::XmlIsDeclaration(next)) next = next->next;
    if (next == nullptr || next->start == 0 || next->parent != node_) return XmlElement();
    return XmlElement(next);
}

XmlElement XmlElement::NextSibling() const {
    return XmlElement(node_ == nullptr ? nullptr : node_->nextSibling);
}

XmlElement XmlElement::Child(std::string_view name) const {
    for (XmlElement child = FirstChild(); child; child = child.NextSibling()) {
        if (child.NameIs(name)) return child;
    }
    return XmlElement();
}

std::string_view XmlElement::Text() const {
    if (node_ == nullptr) return {};
    char* position = nullptr;
    const int length = stack::XmlInnerLength(node_, &position);
    if (length <= 0 || position == nullptr) return {};
    return {position, static_cast<std::size_t>(length)};
}

std::string_view XmlElement::Attribute(std::string_view name, bool* found) const {
    *found = false;
    if (node_ == nullptr) return {};
    std::string_view value;
    stack::XmlAttribute* list = stack::XmlAttributes(node_);
    for (stack::XmlAttribute* a = list; a != nullptr; a = a->next) {
        std::string_view attributeName(a->name, static_cast<std::size_t>(a->nameLength));
        if (stack::EqualsIgnoringCase(attributeName, name)) {
            // The list runs backwards: the last match is the first attribute.
            value = std::string_view(a->value, static_cast<std::size_t>(a->valueLength));
            *found = true;
        }
    }
    // Copy out before the list goes: values point into the document text.
    stack::FreeXmlAttributes(list);
    return value;
}

XmlDocument::~XmlDocument() {
    Release();
}

void XmlDocument::Release() {
    stack::FreeXmlNodes(first_);
    first_ = nullptr;
    delete[] text_;
    text_ = nullptr;
}

bool XmlDocument::Parse(const char* text, std::size_t length) {
    Release();
    text_ = new char[length + 1];
    if (length > 0) std::memcpy(text_, text, length);
    text_[length] = '\0';
    first_ = stack::XmlParse(text_, 0, static_cast<int>(length));
    if (stack::XmlLinkTags(first_) != 0) return false;
    return true;
}

bool ReadDecimal(std::string_view text, int* value) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    int result = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, result);
    if (text.empty() || error != std::errc() || stop != end) return false;
    *value = result;
    return true;
}

XmlElement XmlDocument::Root() const {
    stack::XmlNode* node = first_;
    while (node != nullptr && (node->start == 0 || stack::XmlIsDeclaration(node)))
        node = node->next;
    if (node == nullptr || node->nameLength == 0) return XmlElement();
    return XmlElement(node);
}

XmlElement XmlDocument::Find(std::string_view name) const {
    for (stack::XmlNode* node = first_; node != nullptr; node = node->next) {
        if (node->start != 0 && !stack::XmlIsDeclaration(node) &&
            std::string_view(node->name, static_cast<std::size_t>(node->nameLength)) == name) {
            return XmlElement(node);
        }
    }
    return XmlElement();
}

}  // namespace norvale::cp

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "upnp/stack/XmlAttribute.h"
#include "upnp/stack/XmlNode.h"

using namespace norvale::stack;

namespace {

const std::string kDescription =
    "<?xml version=\"1.0\"?>\n"
    "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\n"
    "  <specVersion><major>1</major><minor>0</minor></specVersion>\n"
    "  <device>\n"
    "    <deviceType>urn:schemas-upnp-org:device:LuNAS:1</deviceType>\n"
    "    <friendlyName>Office NAS</friendlyName>\n"
    "    <modelNumber>LN-2</modelNumber>\n"
    "    <serviceList><service><serviceType>urn:x:service:LED:1</serviceType>"
    "<controlURL>/ctl</controlURL></service></serviceList>\n"
    "  </device>\n"
    "</root>\n";

// Owns a heap copy of exactly the text's bytes and its parse.
struct Doc {
    explicit Doc(const std::string& text) : bytes(new char[text.size() + 1]), size(text.size()) {
        std::memcpy(bytes.get(), text.data(), text.size());
        nodes.reset(XmlParse(bytes.get(), 0, static_cast<int>(size)));
    }
    std::vector<std::string> Tags() const {
        std::vector<std::string> tags;
        for (XmlNode* n = nodes.get(); n != nullptr; n = n->next) {
            std::string tag = n->start != 0 ? "" : "/";
            if (n->prefix != nullptr) tag += std::string(n->prefix, n->prefixLength) + ":";
            tags.push_back(tag + std::string(n->name, n->nameLength));
        }
        return tags;
    }
    std::unique_ptr<char[]> bytes;
    std::size_t size;
    XmlNodesPtr nodes;
};

std::string Inner(const XmlNode* node) {
    char* position = nullptr;
    const int length = XmlInnerLength(node, &position);
    return std::string(position, length);
}

std::vector<std::string> Attributes(XmlNode* node) {
    std::vector<std::string> out;
    XmlAttributesPtr list(XmlAttributes(node));
    for (XmlAttribute* a = list.get(); a != nullptr; a = a->next) {
        std::string prefix = a->prefix ? std::string(a->prefix, a->prefixLength) + ":" : "";
        out.push_back(prefix + std::string(a->name, a->nameLength) + "=" +
                      std::string(a->value, a->valueLength));
    }
    return out;
}

}  // namespace

TEST(XmlParse, DeclarationAndCommentsWithTagsParseAsWithoutThem) {
    Doc plain("<a><b>x</b></a>");
    Doc decorated("<?xml version=\"1.0\"?><!-- <c> </d> --><a><!--<e>--><b>x</b></a><!-- end");
    EXPECT_EQ(plain.Tags(), decorated.Tags());
    EXPECT_EQ(XmlLinkTags(decorated.nodes.get()), 0);
    EXPECT_EQ(Inner(decorated.nodes->next), "x");
}

TEST(XmlParse, PrefixedEmptyElementGivesStartAndEndNodesWithThePrefix) {
    Doc doc("<s:Body><u:Reset/><u:Go\tmode='1' /></s:Body>");
    EXPECT_EQ(doc.Tags(), (std::vector<std::string>{"s:Body", "u:Reset", "/u:Reset", "u:Go",
                                                    "/u:Go", "/s:Body"}));
    XmlNode* reset = doc.nodes->next;
    EXPECT_EQ(reset->empty, -1);
    EXPECT_EQ(reset->next->empty, 0);
    ASSERT_EQ(XmlLinkTags(doc.nodes.get()), 0);
    EXPECT_EQ(reset->closingTag, reset->next);
    EXPECT_EQ(reset->nextSibling, reset->next->next);
    EXPECT_EQ(Inner(reset), "");
    EXPECT_EQ(Attributes(reset->next->next), (std::vector<std::string>{"mode=1"}));
}

TEST(XmlLinkTags, LinksParentsSiblingsAndInnerText) {
    Doc doc(kDescription);
    ASSERT_EQ(XmlLinkTags(doc.nodes.get()), 0);
    XmlNode* root = doc.nodes.get();
    XmlNode* versionTag = root->next;
    XmlNode* device = versionTag->closingTag->next;
    EXPECT_EQ(std::string(device->name, device->nameLength), "device");
    EXPECT_EQ(device->parent, root);
    EXPECT_EQ(versionTag->nextSibling, device);
    XmlNode* friendly = device->next->closingTag->next;
    EXPECT_EQ(Inner(friendly), "Office NAS");
    EXPECT_EQ(friendly->parent, device);
}

TEST(XmlLinkTags, ReportsStructureErrors) {
    struct Case {
        const char* text;
        int result;
    } cases[] = {
        {"<a></b>", -2},       {"<r><a></b></r>", -3}, {"<a><b></a>", -3}, {"<a>", -3},
        {"<a></a></a>", -1},   {"</a>", -1},           {"no tags", -1},    {"<!-- only -->", -1},
        {"<a></a><b></b>", 0}, {"<a></A>", -2},
    };
    for (const Case& c : cases) {
        Doc doc(c.text);
        EXPECT_EQ(XmlLinkTags(doc.nodes.get()), c.result) << c.text;
    }
}

TEST(XmlLinkTags, DeclarationsAreTakenOutOfTheList) {
    Doc doc("<!DOCTYPE root><root><!ELEMENT x><a/></root>");
    ASSERT_EQ(XmlLinkTags(doc.nodes.get()), 0);
    EXPECT_EQ(doc.Tags(), (std::vector<std::string>{"!DOCTYPE", "root", "a", "/a", "/root"}));
    EXPECT_EQ(doc.nodes->next->next->parent, doc.nodes->next);
}

TEST(XmlAttributes, ReadsQuotedValuesWithBlanksAroundEqualsInReverseOrder) {
    Doc doc("<e a = 'one two' b=\"x=y\"\n\tc =\"3\" d= '4' s:n=v xmlns:s=\"urn:s\" flag/>");
    EXPECT_EQ(Attributes(doc.nodes.get()),
              (std::vector<std::string>{"flag=flag", "xmlns:s=urn:s", "s:n=v", "d=4", "c=3",
                                        "b=x=y", "a=one two"}));
    Doc end("<e></e>");
    EXPECT_EQ(XmlAttributes(end.nodes->next), nullptr);
}

TEST(XmlDeclareNamespaces, FillsTablesAndLookupWalksUpToParents) {
    Doc doc(
        "<s:Envelope xmlns:s=\"urn:env\" xmlns='urn:default'><s:Body><r/></s:Body></s:Envelope>");
    ASSERT_EQ(XmlLinkTags(doc.nodes.get()), 0);
    XmlDeclareNamespaces(doc.nodes.get());
    XmlNode* r = doc.nodes->next->next;
    int length = 0;
    EXPECT_STREQ(XmlLookupNamespace(r, "s", 1, &length), "urn:env");  // NUL-terminated in place
    EXPECT_EQ(length, 7);
    EXPECT_STREQ(XmlLookupNamespace(r->next, nullptr, 0), "urn:default");
    EXPECT_EQ(XmlLookupNamespace(r, "u", 1), nullptr);
    // The terminators written over the closing quotes do not change a second reading.
    EXPECT_EQ(Attributes(doc.nodes.get()),
              (std::vector<std::string>{"xmlns=urn:default", "xmlns:s=urn:env"}));
}

TEST(XmlUnescape, DecodesThePredefinedEntitiesInOnePass) {
    char text[] = "&amp;lt; &lt;a&gt; &quot;&apos; &#65; &am";
    const int length = XmlUnescape(text);
    EXPECT_EQ(std::string(text, length), "&lt; <a> \"' &#65; &am");
    for (std::size_t i = length; i < sizeof text - 1; ++i) EXPECT_EQ(text[i], '\0');
}

TEST(XmlParse, HostileInputStaysInsideTheRegion) {
    for (const char* text : {"<", "<a", "</", "<!--", "<!-- -- >", "<?", "<a b='>", "<a\0b>",
                             "<<<>>>", "<a/", "<:x>", "<p:>"}) {
        Doc doc(text);
        XmlLinkTags(doc.nodes.get());
        for (XmlNode* n = doc.nodes.get(); n != nullptr; n = n->next) {
            Inner(n);
            Attributes(n);
        }
    }
    // Every truncation of a real description.
    for (std::size_t cut = 0; cut <= kDescription.size(); ++cut) {
        Doc doc(kDescription.substr(0, cut));
        XmlLinkTags(doc.nodes.get());
        XmlDeclareNamespaces(doc.nodes.get());
        for (XmlNode* n = doc.nodes.get(); n != nullptr; n = n->next) Inner(n);
    }
}

TEST(XmlLinkTags, DeepNestingNeedsNoRecursion) {
    std::string text;  // as deep as the node limit allows
    for (int i = 0; i < kXmlMaxNodes / 2; ++i) text += "<d>";
    for (int i = 0; i < kXmlMaxNodes / 2; ++i) text += "</d>";
    Doc doc(text);
    EXPECT_EQ(XmlLinkTags(doc.nodes.get()), 0);
    EXPECT_EQ(Inner(doc.nodes.get()).size(), text.size() - 7);
}

TEST(XmlParse, DocumentOverTheNodeLimitFailsToLink) {
    // Empty elements make two nodes each: a root and its end plus 16383 of
    // them is exactly the limit.
    std::string full = "<r>";
    for (int i = 0; i < kXmlMaxNodes / 2 - 1; ++i) full += "<a/>";
    Doc atLimit(full + "</r>");
    EXPECT_EQ(XmlLinkTags(atLimit.nodes.get()), 0);
    Doc over(full + "<a/></r>");
    EXPECT_EQ(XmlLinkTags(over.nodes.get()), -4);
    EXPECT_EQ(XmlLinkTags(over.nodes.get()), -4);  // and stays failed
    // 1 MiB of empty elements stops at the limit instead of taking ~60 MB.
    std::string flood;
    while (flood.size() < (1u << 20)) flood += "<a/>";
    Doc flooded(flood);
    std::size_t nodes = 0;
    for (XmlNode* n = flooded.nodes.get(); n != nullptr; n = n->next) ++nodes;
    EXPECT_LE(nodes, static_cast<std::size_t>(kXmlMaxNodes));
    EXPECT_EQ(XmlLinkTags(flooded.nodes.get()), -4);
}

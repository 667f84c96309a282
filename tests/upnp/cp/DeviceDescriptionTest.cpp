#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "upnp/cp/DeviceDescription.h"
#include "upnp/stack/Packet.h"
#include "upnp/stack/PacketText.h"

namespace norvale::cp {
namespace {

const char kLocation[] = "http://10.0.0.5:8080/desc.xml";

std::string Service(const std::string& name, const std::string& control,
                    const std::string& extra = "") {
    return "<service" + extra + "><serviceType>urn:schemas-upnp-org:service:" + name +
           ":1</serviceType><serviceId>urn:upnp-org:serviceId:" + name + "</serviceId><SCPDURL>/" +
           name + ".xml</SCPDURL><controlURL>" + control + "</controlURL><eventSubURL>" + name +
           "/evt</eventSubURL></service>";
}

std::string Document(const std::string& deviceBody, const std::string& head = "") {
    return "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">" + head +
           "<specVersion><major>1</major></specVersion><device>" + deviceBody + "</device></root>";
}

std::unique_ptr<UPnPDevice> Parse(const std::string& text, const char* location = kLocation) {
    return ParseDeviceDescription(text.data(), static_cast<std::ptrdiff_t>(text.size()), location,
                                  "127.0.0.1", 1800, nullptr);
}

TEST(DeviceDescription, RawTextsAreKeptAndTheLastOccurrenceWins) {
    auto root = Parse(
        Document("<deviceType>urn:schemas-upnp-org:device:LuNAS:1</deviceType>"
                 "<friendlyName>  My &amp; NAS </friendlyName><modelNumber>first</modelNumber>"
                 "<modelNumber>QMA5KS0001</modelNumber><UDN>uuid:1234-abcd</UDN>"
                 "<manufacturer>Norvale</manufacturer><modelURL>relative</modelURL>"));
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ("urn:schemas-upnp-org:device:LuNAS:1", root->deviceType.get());
    EXPECT_STREQ("  My &amp; NAS ", root->friendlyName.get());
    EXPECT_STREQ("QMA5KS0001", root->modelNumber.get());
    EXPECT_STREQ("1234-abcd", root->udn.get());
    EXPECT_STREQ("relative", root->modelURL.get());
    EXPECT_STREQ(kLocation, root->location.get());
    EXPECT_STREQ("127.0.0.1", root->interfaceAddress);
    EXPECT_EQ(1800, root->maxAge);
    EXPECT_EQ(1, root->maxVersion);
    EXPECT_EQ(nullptr, root->presentationURL);
}

TEST(DeviceDescription, UdnNeedsSixBytesAndLosesOnlyItsUuidPrefix) {
    EXPECT_EQ(nullptr, Parse(Document("<UDN>uuid:</UDN>"))->udn);
    EXPECT_EQ(nullptr, Parse(Document("<UDN>abcde</UDN>"))->udn);
    EXPECT_STREQ("abcdef", Parse(Document("<UDN>abcdef</UDN>"))->udn.get());
    EXPECT_STREQ("x", Parse(Document("<UDN>uuid:x</UDN>"))->udn.get());
}

TEST(DeviceDescription, BaseUrlComesFromUrlBaseOrTheLocation) {
    auto withBase = Parse(Document("<presentationURL>/admin</presentationURL><serviceList>" +
                                       Service("A", "/ctl") + "</serviceList>",
                                   "<URLBase>http://h:1</URLBase>"));
    ASSERT_NE(nullptr, withBase);
    EXPECT_STREQ("http://h:1/admin", withBase->presentationURL.get());
    EXPECT_STREQ("http://h:1/ctl", withBase->firstService->controlURL.get());
    EXPECT_STREQ("http://h:1/A.xml", withBase->firstService->SCPDURL.get());
    EXPECT_STREQ("http://h:1/A/evt", withBase->firstService->eventSubURL.get());

    auto slash = Parse(
        Document("<presentationURL>p</presentationURL>", "<URLBase>http://h:2/base/</URLBase>"));
    EXPECT_STREQ("http://h:2/base/p", slash->presentationURL.get());

    auto noPort =
        Parse(Document("<presentationURL>index.html</presentationURL>"), "http://10.1.2.3/d.xml");
    EXPECT_STREQ("http://10.1.2.3:80/index.html", noPort->presentationURL.get());
    auto fromLocation = Parse(Document("<presentationURL>/x</presentationURL>"));
    EXPECT_STREQ("http://10.0.0.5:8080/x", fromLocation->presentationURL.get());
}

TEST(DeviceDescription, ServiceAndPresentationUrlRules) {
    const std::string base = "http://h:1/";
    EXPECT_EQ("http://h:1/ctl", ResolveServiceUrl(base, "/ctl"));
    EXPECT_EQ("http://h:1/ctl", ResolveServiceUrl(base, "ctl"));
    EXPECT_EQ("http://other:9/c", ResolveServiceUrl(base, "http://other:9/c"));
    EXPECT_EQ("http://h:1/https://s/c", ResolveServiceUrl(base, "https://s/c"));
    EXPECT_EQ("http://h:1/http:/", ResolveServiceUrl(base, "http:/"));
    EXPECT_EQ("http://h:1/", ResolveServiceUrl(base, ""));
    EXPECT_EQ("ftp://x/y", ResolvePresentationUrl(base, "ftp://x/y"));
    EXPECT_EQ("http://h:1/a/b", ResolvePresentationUrl(base, "/a/b"));
    EXPECT_EQ("http://h:1/a", ResolvePresentationUrl(base, "a"));
}

TEST(DeviceDescription, ListsHoldEntriesInReverseDocumentOrder) {
    auto root = Parse(
        Document("<UDN>uuid:root-0001</UDN><serviceList>" + Service("A", "a") + Service("B", "b") +
                 "</serviceList><deviceList><device><UDN>uuid:emb-00001</UDN></device>"
                 "<device><UDN>uuid:emb-00002</UDN><serviceList>" +
                 Service("C", "c") + "</serviceList></device></deviceList>"));
    ASSERT_NE(nullptr, root);
    ASSERT_NE(nullptr, root->firstService);
    EXPECT_STREQ("urn:upnp-org:serviceId:B", root->firstService->serviceId.get());
    EXPECT_STREQ("urn:upnp-org:serviceId:A", root->firstService->next->serviceId.get());
    EXPECT_EQ(root.get(), root->firstService->device);
    UPnPDevice* first = root->firstEmbedded;
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("emb-00002", first->udn.get());
    EXPECT_STREQ("emb-00001", first->nextSibling->udn.get());
    EXPECT_EQ(root.get(), first->parent);
    EXPECT_EQ(nullptr, first->location);  // taken from the root on registration
    EXPECT_EQ(3, CountServices(root.get()));
}

TEST(DeviceDescription, MaxVersionAttributeIsReadInAnyLetterCase) {
    auto root = Parse("<root><device MaxVersion=\"2\"><serviceList>" +
                      Service("A", "a", " maxversion='3'") + Service("B", "b") +
                      "</serviceList></device></root>");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(2, root->maxVersion);
    EXPECT_EQ(1, root->firstService->maxVersion);
    EXPECT_EQ(3, root->firstService->next->maxVersion);
    // Unreadable or out of range: as if absent.
    for (const char* bad : {"4294967298", "2x", "", "two"}) {
        auto other = Parse("<root><device MaxVersion=\"" + std::string(bad) + "\"><serviceList>" +
                           Service("A", "a") + "</serviceList></device></root>");
        ASSERT_NE(nullptr, other);
        EXPECT_EQ(1, other->maxVersion) << bad;
    }
}

TEST(DeviceDescription, UnusableDocumentsAreRejected) {
    EXPECT_EQ(nullptr, Parse(""));
    EXPECT_EQ(nullptr, Parse("<root><device></root>"));
    EXPECT_EQ(nullptr, Parse("<root><specVersion/></root>"));
    EXPECT_EQ(nullptr, Parse("plain text"));
    std::string missing = Service("A", "a");
    const std::size_t from = missing.find("<eventSubURL>");
    missing.erase(from, missing.find("</service>") - from);  // drops the whole element
    EXPECT_EQ(nullptr, Parse(Document("<serviceList>" + missing + "</serviceList>")));
    EXPECT_EQ(nullptr, Parse(Document("<deviceList><device><serviceList>" + missing +
                                      "</serviceList></device></deviceList>")));
    std::string deep;
    for (int i = 0; i < kMaxDeviceDepth + 2; ++i) deep += "<deviceList><device>";
    for (int i = 0; i < kMaxDeviceDepth + 2; ++i) deep += "</device></deviceList>";
    EXPECT_EQ(nullptr, Parse(Document(deep)));
}

TEST(DeviceDescription, ServiceDescriptionFillsActionsAndVariables) {
    UPnPDevice device;
    UPnPService service;
    service.device = &device;
    const std::string scpd =
        "<?xml version=\"1.0\"?><!DOCTYPE x><scpd><actionList>"
        "<action><name>GetLEDStatus</name></action><action><name>x</name><name>SetLEDStatus"
        "</name></action><action><argumentList/></action></actionList><serviceStateTable>"
        "<stateVariable><name>LEDStatus</name><allowedValueList><allowedValue>0</allowedValue>"
        "<allowedValue>1</allowedValue></allowedValueList></stateVariable><stateVariable>"
        "<name>Level</name><allowedValueRange><minimum>0</minimum><maximum>9</maximum>"
        "</allowedValueRange></stateVariable></serviceStateTable></scpd>";
    ASSERT_EQ(0, ParseServiceDescription(scpd.data(), static_cast<std::ptrdiff_t>(scpd.size()),
                                         &service));
    ASSERT_NE(nullptr, service.actions);
    EXPECT_EQ(nullptr, service.actions->name);
    EXPECT_STREQ("SetLEDStatus", service.actions->next->name.get());
    EXPECT_STREQ("GetLEDStatus", service.actions->next->next->name.get());
    UPnPStateVariable* level = service.stateVariables;
    ASSERT_NE(nullptr, level);
    EXPECT_STREQ("Level", level->name.get());
    EXPECT_STREQ("0", level->minimum.get());
    EXPECT_STREQ("9", level->maximum.get());
    EXPECT_EQ(nullptr, level->step);
    UPnPStateVariable* led = level->next;
    ASSERT_EQ(2, led->allowedValueCount);
    EXPECT_STREQ("1", led->allowedValues[0].get());
    EXPECT_STREQ("0", led->allowedValues[1].get());
    EXPECT_EQ(&service, led->service);
    EXPECT_EQ(0, device.failure);

    EXPECT_EQ(5, ParseServiceDescription("<scpd>", 6, &service));
    EXPECT_EQ(5, device.failure);
}

TEST(DeviceDescription, GetRequestIsHttp10WithHostAndUserAgent) {
    stack::PacketPtr packet(BuildGetRequest("10.0.0.5", 8080, "/desc.xml", "GET"));
    char* text = nullptr;
    const int length = stack::PacketToText(packet.get(), &text);
    EXPECT_EQ(std::string("GET /desc.xml HTTP/1.0\r\nHost: 10.0.0.5:8080\r\n"
                          "User-Agent: WINDOWS UPnP/1.0 Quillon/1.0.2547\r\n\r\n"),
              std::string(text, static_cast<std::size_t>(length)));
    std::free(text);
}

}  // namespace
}  // namespace norvale::cp

// Message-head and XML parsing speed, with pugixml's in-place parse of the
// same bytes as the yardstick for the XML reader.
#include <benchmark/benchmark.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "upnp/stack/PacketText.h"
#include "upnp/stack/XmlNode.h"

using namespace norvale::stack;

namespace {

const std::string kNotify =
    "NOTIFY * HTTP/1.1\r\n"
    "HOST: 239.255.255.250:1900\r\n"
    "CACHE-CONTROL: max-age=1800\r\n"
    "LOCATION: http://192.168.1.20:49152/description.xml\r\n"
    "NT: urn:schemas-upnp-org:device:LuNAS:1\r\n"
    "NTS: ssdp:alive\r\n"
    "SERVER: Linux/3.10.14 UPnP/1.0 LuNAS/2.4\r\n"
    "USN: uuid:4d696e69-444c-164e-9d41-b827eb54e1a2::urn:schemas-upnp-org:device:LuNAS:1\r\n"
    "\r\n";

const std::string kResponse =
    "HTTP/1.1 200 OK\r\n"
    "Date: Mon, 07 Dec 2026 20:12:02 GMT\r\n"
    "Server: Linux/3.10.14 UPnP/1.0 LuNAS/2.4 DLNADOC/1.50\r\n"
    "Content-Type: text/xml; charset=\"utf-8\"\r\n"
    "Content-Length: 10342\r\n"
    "Content-Language: en\r\n"
    "Last-Modified: Mon, 07 Dec 2026 08:00:00 GMT\r\n"
    "Cache-Control: no-cache, no-store, must-revalidate, max-age=0\r\n"
    "Pragma: no-cache\r\n"
    "Accept-Ranges: bytes\r\n"
    "ETag: \"5f9ec1b3-2866-745ed4a2b1b1\"\r\n"
    "X-User-Agent: redsonic\r\n"
    "Application-Version: 2.4.1.1107\r\n"
    "Connection: close\r\n"
    "EXT:\r\n"
    "transferMode.dlna.org: Interactive\r\n"
    "contentFeatures.dlna.org: DLNA.ORG_OP=01;DLNA.ORG_FLAGS=01700000000000000000\r\n"
    "\r\n";

void Service(std::string& x, const std::string& indent, const std::string& name) {
    x += indent + "<service>\n";
    x += indent + "  <serviceType>urn:schemas-upnp-org:service:" + name + ":1</serviceType>\n";
    x += indent + "  <serviceId>urn:upnp-org:serviceId:" + name + "</serviceId>\n";
    x += indent + "  <SCPDURL>/upnp/" + name + "/scpd.xml</SCPDURL>\n";
    x += indent + "  <controlURL>/upnp/control/" + name + "</controlURL>\n";
    x += indent + "  <eventSubURL>/upnp/event/" + name + "</eventSubURL>\n";
    x += indent + "</service>\n";
}

void Device(std::string& x, const std::string& indent, int number, int services) {
    const std::string n = std::to_string(number);
    x += indent + "<device>\n";
    x += indent + "  <deviceType>urn:schemas-upnp-org:device:LuNAS:1</deviceType>\n";
    x += indent + "  <friendlyName>Office NAS " + n + " &amp; Backup</friendlyName>\n";
    x += indent + "  <manufacturer>Norvale Storage Systems</manufacturer>\n";
    x += indent + "  <manufacturerURL>http://www.example.com/</manufacturerURL>\n";
    x += indent + "  <modelDescription>Two-bay network storage</modelDescription>\n";
    x += indent + "  <modelName>LuNAS</modelName>\n";
    x += indent + "  <modelNumber>LN-2200</modelNumber>\n";
    x += indent + "  <modelURL>http://www.example.com/ln2200</modelURL>\n";
    x += indent + "  <serialNumber>00112233445" + n + "</serialNumber>\n";
    x += indent + "  <UDN>uuid:4d696e69-444c-164e-9d41-b827eb54e1a" + n + "</UDN>\n";
    x += indent +
         "  <dlna:X_DLNADOC "
         "xmlns:dlna=\"urn:schemas-dlna-org:device-1-0\">DMS-1.50</dlna:X_DLNADOC>\n";
    x += indent + "  <presentationURL>http://192.168.1.20/</presentationURL>\n";
    x += indent + "  <iconList>\n";
    for (int size : {48, 120}) {
        for (const char* type : {"png", "jpeg"}) {
            x += indent + "    <icon><mimetype>image/" + type + "</mimetype><width>" +
                 std::to_string(size) + "</width><height>" + std::to_string(size) +
                 "</height><depth>24</depth><url>/icons/" + std::to_string(size) + "." + type +
                 "</url></icon>\n";
        }
    }
    x += indent + "  </iconList>\n";
    x += indent + "  <serviceList>\n";
    const char* names[] = {
        "LED",         "ConnectionManager", "ContentDirectory", "X_MS_MediaReceiverRegistrar",
        "AVTransport", "RenderingControl"};
    for (int i = 0; i < services; ++i) Service(x, indent + "    ", names[i % 6]);
    x += indent + "  </serviceList>\n";
}

// A device description of about 10 KB: a root device with two embedded devices.
std::string DeviceDescription() {
    std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    x += "<root xmlns=\"urn:schemas-upnp-org:device-1-0\" configId=\"1337\">\n";
    x += "  <specVersion>\n    <major>1</major>\n    <minor>0</minor>\n  </specVersion>\n";
    x += "  <URLBase>http://192.168.1.20:49152/</URLBase>\n";
    Device(x, "  ", 0, 9);
    x += "    <deviceList>\n";
    Device(x, "      ", 1, 4);
    x += "      </device>\n";
    Device(x, "      ", 2, 2);
    x += "      </device>\n";
    x += "    </deviceList>\n  </device>\n</root>\n";
    return x;
}

// A service description of about 20 KB: actions with arguments, state variables.
std::string ServiceDescription() {
    std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    x += "<scpd xmlns=\"urn:schemas-upnp-org:service-1-0\">\n";
    x += "  <specVersion>\n    <major>1</major>\n    <minor>0</minor>\n  </specVersion>\n";
    x += "  <actionList>\n";
    for (int a = 0; a < 22; ++a) {
        x += "    <action>\n      <name>Action" + std::to_string(a) +
             "</name>\n      <argumentList>\n";
        for (int g = 0; g < 3; ++g) {
            x += "        <argument>\n          <name>Argument" + std::to_string(g) + "</name>\n";
            x += std::string("          <direction>") + (g == 2 ? "out" : "in") + "</direction>\n";
            x += "          <relatedStateVariable>A_ARG_TYPE_Variable" + std::to_string(g) +
                 "</relatedStateVariable>\n        </argument>\n";
        }
        x += "      </argumentList>\n    </action>\n";
    }
    x += "  </actionList>\n  <serviceStateTable>\n";
    for (int v = 0; v < 20; ++v) {
        x += "    <stateVariable sendEvents=\"no\">\n      <name>A_ARG_TYPE_Variable" +
             std::to_string(v) +
             "</name>\n      <dataType>string</dataType>\n      <allowedValueList>\n"
             "        <allowedValue>OK</allowedValue>\n        "
             "<allowedValue>ERROR_OCCURRED</allowedValue>\n"
             "      </allowedValueList>\n    </stateVariable>\n";
    }
    x += "  </serviceStateTable>\n</scpd>\n";
    return x;
}

void ParsePacketBench(benchmark::State& state, const std::string& text) {
    std::vector<char> buffer(text.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.data(), text.size());  // the parse writes NULs in place
        Packet* packet = ParsePacket(buffer.data(), 0, static_cast<int>(text.size()));
        benchmark::DoNotOptimize(packet);
        DestroyPacket(packet);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(std::to_string(text.size()) + " bytes");
}

void XmlBench(benchmark::State& state, const std::string& text) {
    std::vector<char> buffer(text.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.data(), text.size());
        XmlNode* nodes = XmlParse(buffer.data(), 0, static_cast<int>(text.size()));
        if (XmlLinkTags(nodes) != 0) state.SkipWithError("not well-formed");
        benchmark::DoNotOptimize(nodes);
        FreeXmlNodes(nodes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(std::to_string(text.size()) + " bytes");
}

void PugixmlBench(benchmark::State& state, const std::string& text) {
    std::vector<char> buffer(text.size());
    pugi::xml_document document;
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.data(), text.size());
        if (!document.load_buffer_inplace(buffer.data(), buffer.size()))
            state.SkipWithError("pugixml failed");
        benchmark::DoNotOptimize(document.first_child());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(std::to_string(text.size()) + " bytes");
}

const std::string kDevice = DeviceDescription();
const std::string kService = ServiceDescription();

}  // namespace

BENCHMARK_CAPTURE(ParsePacketBench, SsdpNotify, kNotify);
BENCHMARK_CAPTURE(ParsePacketBench, HttpResponseHead, kResponse);
BENCHMARK_CAPTURE(XmlBench, DeviceDescription, kDevice);
BENCHMARK_CAPTURE(PugixmlBench, DeviceDescription, kDevice);
BENCHMARK_CAPTURE(XmlBench, ServiceDescription, kService);
BENCHMARK_CAPTURE(PugixmlBench, ServiceDescription, kService);

BENCHMARK_MAIN();

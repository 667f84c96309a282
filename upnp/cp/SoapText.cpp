// SOAP request texts and answers of the identify-LED actions.
//
// Request: "POST <path> HTTP/1.1\r\nHost: <host>:<port>\r\nUser-Agent: <ua>\r\n"
//          "SOAPACTION: \"<serviceType>#<action>\"\r\n"
//          "Content-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: <n>\r\n\r\n"
//          then the envelope: head, "<Action> xmlns:u=\"<serviceType>\">",
//          arguments, "</u:<Action>", tail (no line breaks anywhere).
// Answers read (local names, prefixes ignored):
//   Envelope/Body/GetLEDStatusResponse/LEDStatus     (first response element)
//   Envelope/Body/Fault/detail/UPnPError/errorCode   (first of each name)
#include "upnp/cp/SoapText.h"

#include <string_view>

#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/XmlElement.h"

namespace norvale::cp {
namespace {

constexpr char kEnvelopeHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope "
    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><u:";
constexpr char kEnvelopeTail[] = "></s:Body></s:Envelope>";

std::string Safe(const char* text) {
    return text == nullptr ? std::string() : text;
}

}  // namespace

std::string GetLEDStatusBody(const char* serviceType) {
    return std::string(kEnvelopeHead) + "GetLEDStatus xmlns:u=\"" + Safe(serviceType) +
           "\"></u:GetLEDStatus" + kEnvelopeTail;
}

std::string SetLEDStatusBody(const char* serviceType, int status) {
    return std::string(kEnvelopeHead) + "SetLEDStatus xmlns:u=\"" + Safe(serviceType) +
           "\"><LEDStatus>" + std::to_string(status) + "</LEDStatus></u:SetLEDStatus" +
           kEnvelopeTail;
}

std::string SoapRequestHeader(const char* path, const char* host, int port, const char* serviceType,
                              const char* action, std::size_t bodyLength) {
    return "POST " + Safe(path) + " HTTP/1.1\r\nHost: " + Safe(host) + ":" + std::to_string(port) +
           "\r\nUser-Agent: " + kUserAgent + "\r\nSOAPACTION: \"" + Safe(serviceType) + "#" +
           Safe(action) + "\"\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
           std::to_string(bodyLength) + "\r\n\r\n";
}

int ParseSoapFault(const char* body, std::ptrdiff_t length) {
    if (body == nullptr || length < 0) return 500;
    XmlDocument document;
    if (!document.Parse(body, static_cast<std::size_t>(length))) return 500;
    XmlElement envelope;
    for (XmlElement top = document.Root(); top; top = top.NextSibling()) {
        if (top.NameIs("Envelope")) {
            envelope = top;
            break;
        }
    }
    XmlElement code =
        envelope.Child("Body").Child("Fault").Child("detail").Child("UPnPError").Child("errorCode");
    int result = 500;  // also when the code is not a number
    if (code) ReadDecimal(code.Text(), &result);
    return result;
}

bool ParseLEDStatusResponse(const char* body, std::ptrdiff_t length, int* status) {
    *status = 0;
    XmlDocument document;
    if (body == nullptr || length < 0) return false;
    if (!document.Parse(body, static_cast<std::size_t>(length))) return false;
    XmlElement response = document.Find("GetLEDStatusResponse");
    bool found = false;
    for (XmlElement child = response.FirstChild(); child; child = child.NextSibling()) {
        if (!child.NameIs("LEDStatus")) continue;
        found = true;
        if (!child.Text().empty() && !ReadDecimal(child.Text(), status)) {
            *status = 0;
            return false;  // a malformed status makes a malformed answer
        }
    }
    return found;
}

}  // namespace norvale::cp

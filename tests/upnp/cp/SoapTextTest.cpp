#include <gtest/gtest.h>

#include <string>

#include "upnp/cp/SoapText.h"

namespace norvale::cp {
namespace {

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope "
    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><u:";

int Fault(const std::string& body) {
    return ParseSoapFault(body.data(), static_cast<std::ptrdiff_t>(body.size()));
}

TEST(SoapText, RequestTextsAreByteExact) {
    const char* type = "urn:schemas-upnp-org:service:LED:1";
    EXPECT_EQ(std::string(kHead) + "GetLEDStatus xmlns:u=\"" + type +
                  "\"></u:GetLEDStatus></s:Body></s:Envelope>",
              GetLEDStatusBody(type));
    const std::string set = SetLEDStatusBody(type, 1);
    EXPECT_EQ(std::string(kHead) + "SetLEDStatus xmlns:u=\"" + type +
                  "\"><LEDStatus>1</LEDStatus></u:SetLEDStatus></s:Body></s:Envelope>",
              set);
    EXPECT_EQ(
        "POST /ctl/led HTTP/1.1\r\nHost: 10.0.0.5:80\r\n"
        "User-Agent: WINDOWS UPnP/1.0 Quillon/1.0.2547\r\n"
        "SOAPACTION: \"urn:schemas-upnp-org:service:LED:1#SetLEDStatus\"\r\n"
        "Content-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
            std::to_string(set.size()) + "\r\n\r\n",
        SoapRequestHeader("/ctl/led", "10.0.0.5", 80, type, "SetLEDStatus", set.size()));
}

TEST(SoapText, FaultCodeIsReadFromDetailOtherwise500) {
    const std::string fault =
        "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"x\"><s:Body><s:Fault>"
        "<faultcode>s:Client</faultcode><detail><UPnPError xmlns=\"y\">"
        "<errorCode>401</errorCode><errorDescription>Invalid Action</errorDescription>"
        "</UPnPError></detail></s:Fault></s:Body></s:Envelope>";
    EXPECT_EQ(401, Fault(fault));
    EXPECT_EQ(500, ParseSoapFault(nullptr, 0));
    EXPECT_EQ(500, Fault(""));
    EXPECT_EQ(500, Fault("Internal error"));
    EXPECT_EQ(500, Fault("<Envelope><Body><Fault></Fault></Body></Envelope>"));
    EXPECT_EQ(500, Fault("<Envelope><Body><Fault><detail><upnperror><errorCode>7</errorCode>"
                         "</upnperror></detail></Fault></Body></Envelope>"));
    // A code that is no number cannot be read: never 0, which means success.
    auto withCode = [](const std::string& code) {
        return Fault("<a/><Envelope><Body><Fault><detail><UPnPError><errorCode>" + code +
                     "</errorCode></UPnPError></detail></Fault></Body></Envelope>");
    };
    EXPECT_EQ(500, withCode(""));
    EXPECT_EQ(500, withCode("401x"));
    EXPECT_EQ(500, withCode("4294967697"));  // out of range, not 401
    EXPECT_EQ(500, withCode("0x191"));
    EXPECT_EQ(402, withCode(" 402\r\n"));
    EXPECT_EQ(-1, withCode("-1"));
}

TEST(SoapText, LedStatusAnswerNeedsTheResponseElement) {
    int status = -7;
    const std::string on =
        "<s:Envelope><s:Body><u:GetLEDStatusResponse xmlns:u=\"t\"><LEDStatus>2</LEDStatus>"
        "</u:GetLEDStatusResponse></s:Body></s:Envelope>";
    EXPECT_TRUE(ParseLEDStatusResponse(on.data(), static_cast<std::ptrdiff_t>(on.size()), &status));
    EXPECT_EQ(2, status);
    const std::string empty =
        "<s:Envelope><s:Body><u:GetLEDStatusResponse><LEDStatus></LEDStatus>"
        "</u:GetLEDStatusResponse></s:Body></s:Envelope>";
    EXPECT_TRUE(
        ParseLEDStatusResponse(empty.data(), static_cast<std::ptrdiff_t>(empty.size()), &status));
    EXPECT_EQ(0, status);
    const std::string other = "<s:Envelope><s:Body><LEDStatus>1</LEDStatus></s:Body></s:Envelope>";
    EXPECT_FALSE(
        ParseLEDStatusResponse(other.data(), static_cast<std::ptrdiff_t>(other.size()), &status));
    EXPECT_FALSE(ParseLEDStatusResponse("<a><b></a>", 10, &status));
    // The status must be a number in range.
    auto led = [&](const std::string& text) {
        const std::string body =
            "<u:GetLEDStatusResponse><LEDStatus>" + text + "</LEDStatus></u:GetLEDStatusResponse>";
        status = -7;
        return ParseLEDStatusResponse(body.data(), static_cast<std::ptrdiff_t>(body.size()),
                                      &status);
    };
    EXPECT_TRUE(led("\n 1 \n"));
    EXPECT_EQ(1, status);
    EXPECT_TRUE(led("+1"));
    EXPECT_EQ(1, status);
    for (const char* bad : {"4294967297", "1abc", "on", "1.0", "--1", "+-1", "+"}) {
        EXPECT_FALSE(led(bad)) << bad;
        EXPECT_EQ(0, status) << bad;
    }
}

}  // namespace
}  // namespace norvale::cp

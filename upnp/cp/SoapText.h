#pragma once

#include <cstddef>
#include <string>

namespace norvale::cp {

// The SOAP texts of the identify-LED actions, byte for byte as devices
// expect them.

// Envelope body of "GetLEDStatus" in the namespace `serviceType`.
std::string GetLEDStatusBody(const char* serviceType);
// Envelope body of "SetLEDStatus" with <LEDStatus>status</LEDStatus>.
std::string SetLEDStatusBody(const char* serviceType, int status);
// The POST header for `action`: path, "Host: host:port", User-Agent,
// SOAPACTION "serviceType#action", content type and the body length, ending
// in the blank line.
std::string SoapRequestHeader(const char* path, const char* host, int port, const char* serviceType,
                              const char* action, std::size_t bodyLength);

// The UPnP errorCode of a SOAP fault answer
// (Envelope/Body/Fault/detail/UPnPError/errorCode, local names), 500 when
// the body is null, not well-formed or lacks one of those elements.
int ParseSoapFault(const char* body, std::ptrdiff_t length);

// Reads a GetLEDStatus answer: true when its first GetLEDStatusResponse
// element has a LEDStatus child; `status` gets the value of the last
// non-empty one (0 when all are empty). False for a malformed body.
bool ParseLEDStatusResponse(const char* body, std::ptrdiff_t length, int* status);

}  // namespace norvale::cp

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "upnp/cp/UPnPDevice.h"
#include "upnp/cp/XmlElement.h"

namespace norvale::stack {
struct Packet;
}

namespace norvale::cp {

// Description documents are read with hard limits: larger bodies and deeper
// device nesting are rejected like malformed documents.
inline constexpr std::size_t kMaxDescriptionBytes = 1 << 20;
inline constexpr int kMaxDeviceDepth = 16;
// A tree holds at most 32 embedded devices and a device at most 32 services;
// further ones are left out (with a debug message), so that one description
// cannot fill the tables or send hundreds of requests. Real trees (a gateway
// with its WAN devices, a NAS with a media server and a renderer) stay far
// below.
inline constexpr int kMaxEmbeddedDevicesPerTree = 32;
inline constexpr int kMaxServicesPerDevice = 32;

// The User-Agent of every request the control point sends.
inline constexpr char kUserAgent[] = "WINDOWS UPnP/1.0 Quillon/1.0.2547";

// A new HTTP/1.0 request `method` `path` with the headers "Host: host:port"
// and the User-Agent, in that order. The caller owns the packet.
stack::Packet* BuildGetRequest(const char* host, int port, const char* path, const char* method);

// Base URL of a description: the URLBase text (with a "/" appended when it
// lacks one), else "http://host:port/" of the LOCATION URL.
std::string DescriptionBaseUrl(XmlElement root, const char* location);

// Service URL rule: 7 bytes or more beginning "http:/" stay; else the base
// followed by the text without one leading "/".
std::string ResolveServiceUrl(const std::string& base, std::string_view text);
// Presentation URL rule: text containing "://" stays; else as above.
std::string ResolvePresentationUrl(const std::string& base, std::string_view text);

// Builds a tree from a `device` element. Null when the element or one of
// its embedded devices or services is incomplete (a service lacks one of
// serviceType, serviceId, SCPDURL, controlURL, eventSubURL) or nesting is
// deeper than kMaxDeviceDepth. Embedded devices and services past their caps
// are left out. Owner, maxAge and interface are copied into every device.
std::unique_ptr<UPnPDevice> ParseDeviceElement(XmlElement element, ControlPoint* owner,
                                               const std::string& baseUrl, int maxAge,
                                               const char* interfaceAddress, int depth = 0);

// Steps of a description response that need no control point: parses the
// body (not modified) into a tree whose root.location is `location`. Null
// when the body is empty, too large, not well-formed, or has no usable
// `device` element under its root element.
std::unique_ptr<UPnPDevice> ParseDeviceDescription(const char* body, std::ptrdiff_t length,
                                                   const char* location,
                                                   const char* interfaceAddress, int maxAge,
                                                   ControlPoint* owner);

// Fills service.actions and service.stateVariables from an SCPD body (not
// modified). Returns 0, or 5 (and sets the root's failure to 5) when the
// document is empty or not well-formed.
int ParseServiceDescription(const char* body, std::ptrdiff_t length, UPnPService* service);

}  // namespace norvale::cp

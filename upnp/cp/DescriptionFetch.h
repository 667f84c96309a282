#pragma once

#include <cstddef>

#include "upnp/cp/UPnPDevice.h"

namespace norvale::cp {

struct HttpReply;

// Builds the tree of a description response, registers it with `cp` and
// requests its service descriptions (or completes it at once when it has
// none). Returns 0 when the tree was taken, 1 when the body was unusable or
// a udn of it already belongs to another tree (or twice to this one). A root without a UDN takes
// `announcedUdn`, so it can be refreshed, expire and be removed.
int ProcessDeviceDescription(ControlPoint* cp, const char* body, std::ptrdiff_t length,
                             const char* location, const char* interfaceAddress, int maxAge,
                             const char* announcedUdn);

// Requests the SCPD of every service of the tree `root` (embedded devices
// first) that lives on the host of root.location; a service on another host
// is not fetched and has no actions. Requests that cannot be queued count as
// failed fetches. With nothing to fetch the tree is complete at once.
void FetchServiceDescriptions(UPnPDevice* root);

// HTTP handler of one SCPD request (user1 the device, user2 the service).
void ProcessServiceDescription(const HttpReply& reply, void* device, void* service);

}  // namespace norvale::cp

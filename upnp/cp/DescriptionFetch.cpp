#include "upnp/cp/DescriptionFetch.h"

#include <string>

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/StackAdapter.h"
#include "upnp/cp/StackLinks.h"
#include "upnp/stack/DebugOutput.h"
#include "upnp/stack/Packet.h"
#include "upnp/stack/WebClient.h"

namespace norvale::cp {
namespace {

// Counts `failed` finished SCPD requests; the last one settles the tree.
void SettleServices(UPnPDevice* root, int interrupt, bool failed) {
    if (failed && root->failure == 0) root->failure = 1;
    if (--root->pendingDescriptions > 0) return;
    if (root->failure == 0) {
        root->owner->CompleteDevice(root);
    } else if (interrupt != stack::kWebInterruptDropped || root->removing == 0) {
        // Failed, given up (the device refused every connect) or dropped with
        // another tree of its server: an unannounced tree that stayed would
        // have no expiry and hide the device from every later announcement.
        root->owner->DiscardTree(root);
    }
    // Otherwise the requests were dropped by this tree's own removal, which
    // frees it.
}

// Queues the SCPD request of every service below `device` whose SCPD lives
// on the description's own host (`host`); a service elsewhere is not fetched
// and keeps no actions, so a description cannot send requests to other hosts.
// Counts each queued request in the root's pendingDescriptions; returns how
// many could not be queued.
int QueueServices(UPnPDevice* device, const std::string& host) {
    int failed = 0;
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        failed += QueueServices(child, host);
    }
    UPnPDevice* root = RootOf(device);
    for (UPnPService* service = device->firstService; service != nullptr; service = service->next) {
        UrlParts url = SplitUrl(service->SCPDURL.get());
        if (url.host != host) {
            stack::DebugOutput("ControlPoint: a service description on another host is not read");
            continue;
        }
        stack::Packet* get = BuildGetRequest(url.host.c_str(), url.port, url.path.c_str(), "GET");
        ++root->pendingDescriptions;
        void* token = root->owner->Links().QueuePacket(url.host.c_str(), url.port, get,
                                                       &ProcessServiceDescription, device, service,
                                                       root->owner->FetchOptions(root));
        if (token == nullptr) {
            --root->pendingDescriptions;
            ++failed;
        }
    }
    return failed;
}

}  // namespace

int ProcessDeviceDescription(ControlPoint* cp, const char* body, std::ptrdiff_t length,
                             const char* location, const char* interfaceAddress, int maxAge,
                             const char* announcedUdn) {
    std::unique_ptr<UPnPDevice> tree =
        ParseDeviceDescription(body, length, location, interfaceAddress, maxAge, cp);
    if (tree == nullptr) return 1;
    if (tree->udn == nullptr && announcedUdn != nullptr) tree->udn = CopyText(announcedUdn);
    if (!cp->RegisterDeviceTree(tree.get(), announcedUdn)) return 1;
    FetchServiceDescriptions(tree.release());
    return 0;
}

void FetchServiceDescriptions(UPnPDevice* root) {
    // One count of its own keeps the tree alive while the requests are
    // queued; with nothing to fetch, settling it completes the tree at once.
    root->pendingDescriptions = 1;
    if (QueueServices(root, SplitUrl(root->location.get()).host) > 0) root->failure = 1;
    SettleServices(root, 0, false);
}

void ProcessServiceDescription(const HttpReply& reply, void* device, void* service) {
    if (!reply.done) return;
    UPnPDevice* root = RootOf(static_cast<UPnPDevice*>(device));
    const int status = reply.packet != nullptr ? reply.packet->statusCode : 0;
    const bool ok = reply.interrupt == 0 && status >= 200 && status <= 299;
    if (ok) ParseServiceDescription(reply.body, reply.length, static_cast<UPnPService*>(service));
    SettleServices(root, reply.interrupt, !ok);
}

}  // namespace norvale::cp

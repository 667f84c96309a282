#include "upnp/cp/DescriptionFetch.h"

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/StackAdapter.h"
#include "upnp/cp/StackLinks.h"
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

int QueueServices(UPnPDevice* device) {
    int failed = 0;
    for (UPnPDevice* child = device->firstEmbedded; child != nullptr; child = child->nextSibling) {
        failed += QueueServices(child);
    }
    for (UPnPService* service = device->firstService; service != nullptr; service = service->next) {
        UrlParts url = SplitUrl(service->SCPDURL.get());
        stack::Packet* get = BuildGetRequest(url.host.c_str(), url.port, url.path.c_str(), "GET");
        void* token = RootOf(device)->owner->Links().QueuePacket(
            url.host.c_str(), url.port, get, &ProcessServiceDescription, device, service);
        if (token == nullptr) ++failed;
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
    UPnPDevice* root = tree.release();
    root->pendingDescriptions = CountServices(root);
    if (root->pendingDescriptions == 0) {
        cp->CompleteDevice(root);
    } else {
        FetchServiceDescriptions(root);
    }
    return 0;
}

void FetchServiceDescriptions(UPnPDevice* root) {
    // One extra count keeps the tree alive while the requests are queued.
    ++root->pendingDescriptions;
    const int failed = QueueServices(root);
    for (int i = 0; i < failed; ++i) {
        if (root->failure == 0) root->failure = 1;
        --root->pendingDescriptions;
    }
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

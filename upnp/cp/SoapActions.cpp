#include "upnp/cp/SoapActions.h"

#include <string>

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/SoapText.h"
#include "upnp/cp/StackAdapter.h"
#include "upnp/cp/StackLinks.h"
#include "upnp/stack/Packet.h"

namespace norvale::cp {
namespace {

// One invocation, from the request to its single callback.
struct SoapCall {
    GetLEDStatusCallback onGet = nullptr;
    SetLEDStatusCallback onSet = nullptr;
    void* user = nullptr;
};

int StatusOf(const HttpReply& reply) {
    return reply.packet != nullptr ? reply.packet->statusCode : 0;
}

void Finish(UPnPService* service, SoapCall* call) {
    ReleaseDevice(service->device);
    delete call;
}

void OnGetResponse(const HttpReply& reply, void* servicePointer, void* callPointer) {
    if (!reply.done) return;
    auto* service = static_cast<UPnPService*>(servicePointer);
    auto* call = static_cast<SoapCall*>(callPointer);
    if (call->onGet != nullptr) {
        const int status = StatusOf(reply);
        int result = kSoapNoAnswer;
        int led = 0;
        if (reply.packet == nullptr) {
            result = kSoapNoAnswer;
        } else if (status >= 200 && status <= 299) {
            result = ParseLEDStatusResponse(reply.body, reply.length, &led) ? 0 : kSoapBadAnswer;
        } else {
            result = ParseSoapFault(reply.body, reply.length);
        }
        call->onGet(service, result, call->user, result == 0 ? led : 0);
    }
    Finish(service, call);
}

void OnSetResponse(const HttpReply& reply, void* servicePointer, void* callPointer) {
    if (!reply.done) return;
    auto* service = static_cast<UPnPService*>(servicePointer);
    auto* call = static_cast<SoapCall*>(callPointer);
    if (call->onSet != nullptr) {
        const int status = StatusOf(reply);
        int result = kSoapNoAnswer;
        if (reply.packet != nullptr) {
            result = status >= 200 && status <= 299 ? 0 : ParseSoapFault(reply.body, reply.length);
        }
        call->onSet(service, result, call->user);
    }
    Finish(service, call);
}

void Send(UPnPService* service, SoapCall* call, const char* action, const std::string& body,
          HttpHandler handler) {
    AddDeviceReference(service->device);
    UrlParts url = SplitUrl(service->controlURL.get());
    const std::string header = SoapRequestHeader(url.path.c_str(), url.host.c_str(), url.port,
                                                 service->serviceType.get(), action, body.size());
    UPnPDevice* root = RootOf(service->device);
    // Tagged with its tree: the tree's removal ends it, and nothing else does.
    root->owner->Links().QueueRaw(url.host.c_str(), url.port, header, body, handler, service, call,
                                  root);
}

}  // namespace

void SendGetLEDStatus(UPnPService* service, GetLEDStatusCallback callback, void* user) {
    if (service == nullptr) return;
    auto* call = new SoapCall{callback, nullptr, user};
    Send(service, call, "GetLEDStatus", GetLEDStatusBody(service->serviceType.get()),
         &OnGetResponse);
}

void SendSetLEDStatus(UPnPService* service, SetLEDStatusCallback callback, void* user, int status) {
    if (service == nullptr) return;
    auto* call = new SoapCall{nullptr, callback, user};
    Send(service, call, "SetLEDStatus", SetLEDStatusBody(service->serviceType.get(), status),
         &OnSetResponse);
}

void ControlPoint_GetLEDStatus(UPnPService* service, GetLEDStatusCallback callback, void* user) {
    SendGetLEDStatus(service, callback, user);
}

void ControlPoint_SetLEDStatus(UPnPService* service, SetLEDStatusCallback callback, int status,
                               void* user) {
    SendSetLEDStatus(service, callback, user, status);
}

}  // namespace norvale::cp

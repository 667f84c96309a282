#include "upnp/cp/UPnPDevice.h"

#include <cstdlib>
#include <cstring>

#include "upnp/stack/TextParse.h"

namespace norvale::cp {

void FreeText::operator()(char* text) const {
    std::free(text);
}

OwnedText CopyText(const char* text, std::size_t length) {
    return OwnedText(stack::CopyText({text, length}));
}

OwnedText CopyText(const char* text) {
    return text == nullptr ? nullptr : CopyText(text, std::strlen(text));
}

UPnPService::~UPnPService() {
    while (actions != nullptr) {
        UPnPAction* next = actions->next;
        delete actions;
        actions = next;
    }
    while (stateVariables != nullptr) {
        UPnPStateVariable* next = stateVariables->next;
        delete stateVariables;
        stateVariables = next;
    }
}

UPnPDevice::~UPnPDevice() {
    while (firstService != nullptr) {
        UPnPService* next = firstService->next;
        delete firstService;
        firstService = next;
    }
    // Nesting is bounded by the description parser, so recursion stays shallow.
    while (firstEmbedded != nullptr) {
        UPnPDevice* next = firstEmbedded->nextSibling;
        delete firstEmbedded;
        firstEmbedded = next;
    }
}

UPnPDevice* RootOf(UPnPDevice* device) {
    while (device != nullptr && device->parent != nullptr) device = device->parent;
    return device;
}

void FreeDeviceTree(UPnPDevice* root) {
    delete root;
}

int CountServices(const UPnPDevice* device) {
    int count = 0;
    for (const UPnPService* s = device->firstService; s != nullptr; s = s->next) ++count;
    for (const UPnPDevice* d = device->firstEmbedded; d != nullptr; d = d->nextSibling) {
        count += CountServices(d);
    }
    return count;
}

}  // namespace norvale::cp

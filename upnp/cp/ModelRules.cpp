#include "upnp/cp/ModelRules.h"

#include <cstdlib>
#include <cstring>

namespace norvale::cp {
namespace {

const char* ModelOf(const UPnPDevice* device) {
    return device == nullptr ? nullptr : device->modelNumber.get();
}

bool Is(const char* model, const char* code) {
    return std::strcmp(model, code) == 0;
}
bool Begins(const char* model, const char* code) {
    return std::strncmp(model, code, 6) == 0;
}

}  // namespace

int IsSupportedModel(UPnPDevice* device) {
    char* model = device == nullptr ? nullptr : device->modelNumber.get();
    if (model == nullptr) return 0;
    if (Is(model, "Z-Model-88")) std::memcpy(model, "QMA5KS0000", 11);
    if (Is(model, "QMR7TX") || Is(model, "QMR8TX")) return 1;
    if (Begins(model, "QMA5KS") || Begins(model, "QMZBEN") || Begins(model, "QMZBEP")) return 1;
    return 0;
}

int SupportsAction(const UPnPDevice* device, const wchar_t* actionName) {
    const char* model = ModelOf(device);
    if (model == nullptr || actionName == nullptr) return 0;
    char name[260] = {};
    if (std::wcstombs(name, actionName, sizeof name - 1) == static_cast<std::size_t>(-1)) {
        return 0;
    }
    bool found = false;
    const UPnPService* first = device->firstService;
    for (const UPnPAction* a = first ? first->actions : nullptr; a != nullptr; a = a->next) {
        if (a->name != nullptr && std::strcmp(a->name.get(), name) == 0) found = true;
    }
    if (Is(model, "QMR7TX") || Is(model, "QMR8TX")) return 0;
    return found ? 1 : 0;
}

int HidesConfigure(const UPnPDevice* device) {
    const char* model = ModelOf(device);
    if (model == nullptr) return 0;
    return Begins(model, "QMZBEN") || Begins(model, "QMZBEP") ? 1 : 0;
}

int ModelClass(const UPnPDevice* device) {
    const char* model = ModelOf(device);
    if (model == nullptr) return 0;
    if (Is(model, "QMR7TX")) return 3;
    if (Is(model, "QMR8TX")) return 2;
    if (Begins(model, "QMA5KS")) return 1;
    if (Begins(model, "QMZBEN") || Begins(model, "QMZBEP")) return 4;
    return 0;
}

}  // namespace norvale::cp

// Feeds one input to the three readers of device answers: the device
// description (as a whole tree), the service description of each service of
// that tree (or of a stand-alone service), and the SOAP fault and LED answers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "upnp/cp/DeviceDescription.h"
#include "upnp/cp/SoapText.h"

using namespace norvale::cp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const auto length = static_cast<std::ptrdiff_t>(size);
    std::unique_ptr<UPnPDevice> root = ParseDeviceDescription(
        text, length, "http://10.0.0.5:8080/desc.xml", "10.0.0.1", 1800, nullptr);
    std::vector<UPnPDevice*> devices;
    if (root != nullptr) {
        devices.push_back(root.get());
        for (std::size_t i = 0; i < devices.size(); ++i) {
            for (UPnPDevice* d = devices[i]->firstEmbedded; d != nullptr; d = d->nextSibling) {
                devices.push_back(d);
            }
        }
        for (UPnPDevice* device : devices) {
            for (UPnPService* s = device->firstService; s != nullptr; s = s->next) {
                ParseServiceDescription(text, length, s);
            }
        }
    }
    UPnPDevice device;
    UPnPService service;
    service.device = &device;
    ParseServiceDescription(text, length, &service);
    ParseSoapFault(text, length);
    int status = 0;
    ParseLEDStatusResponse(text, length, &status);
    return 0;
}

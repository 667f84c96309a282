#pragma once

#include <cstdint>
#include <memory>

namespace norvale::cp {

class ControlPoint;
struct UPnPDevice;
struct UPnPService;

// An owned, NUL-terminated 8-bit text; null means "absent". Device texts are
// stored exactly as they appear in the description (no trimming, no entity
// decoding).
struct FreeText {
    void operator()(char* text) const;
};
using OwnedText = std::unique_ptr<char[], FreeText>;

// A copy of `length` bytes of `text` plus a terminator (never null).
OwnedText CopyText(const char* text, std::size_t length);
// A copy of the NUL-terminated `text`; null for null.
OwnedText CopyText(const char* text);

// One action name from a service description.
struct UPnPAction {
    OwnedText name;  // null when the action element has no name child
    UPnPAction* next = nullptr;
};

// One state variable of a service. Lists hold the last in the document first.
struct UPnPStateVariable {
    UPnPStateVariable* next = nullptr;
    UPnPService* service = nullptr;  // back pointer, not owned
    OwnedText name;
    std::unique_ptr<OwnedText[]> allowedValues;  // allowedValueCount entries
    std::int32_t allowedValueCount = 0;
    OwnedText minimum;  // null when absent
    OwnedText maximum;
    OwnedText step;
};

// One service of a device. The URLs are absolute (resolved against the
// description's base). actions/stateVariables are filled from its SCPD.
struct UPnPService {
    UPnPService() = default;
    UPnPService(const UPnPService&) = delete;
    UPnPService& operator=(const UPnPService&) = delete;
    ~UPnPService();  // frees the action and state-variable lists

    std::int32_t maxVersion = 1;
    OwnedText serviceType;  // the SOAP namespace of the service's actions
    OwnedText serviceId;
    OwnedText controlURL;
    OwnedText eventSubURL;
    OwnedText SCPDURL;
    UPnPAction* actions = nullptr;                // head = last action in the SCPD
    UPnPStateVariable* stateVariables = nullptr;  // head = last variable in the SCPD
    UPnPDevice* device = nullptr;                 // the listing device, not owned
    UPnPService* next = nullptr;
};

// One device of a tree (root or embedded). The root owns the whole tree
// (embedded devices, services and texts) and is reference-counted by the
// control point (AddDeviceReference/ReleaseDevice); never delete a tree the
// control point tracks. Every list holds its entries in reverse document
// order: firstService is the service listed LAST in the description.
// Readers on other threads may read the texts of a device they hold a
// reference to; a complete tree is never edited, except modelNumber, which
// the model rules may rewrite in place to a text of the same length.
struct UPnPDevice {
    UPnPDevice() = default;
    UPnPDevice(const UPnPDevice&) = delete;
    UPnPDevice& operator=(const UPnPDevice&) = delete;
    ~UPnPDevice();  // frees embedded devices and services (not siblings)

    ControlPoint* owner = nullptr;
    OwnedText deviceType;
    OwnedText udn;              // UDN without "uuid:"; null when absent or too short
    OwnedText location;         // description URL (embedded: the parent's)
    OwnedText presentationURL;  // resolved; null when absent
    OwnedText friendlyName;
    OwnedText manufacturer;
    OwnedText manufacturerURL;
    OwnedText modelName;
    OwnedText modelDescription;
    OwnedText modelNumber;  // writable in place (same length), see IsSupportedModel
    OwnedText modelURL;
    std::int32_t maxVersion = 1;
    std::int32_t failure = 0;              // root: 1 SCPD not fetched, 5 SCPD not well-formed
    std::int32_t pendingDescriptions = 0;  // root: SCPDs still outstanding
    std::int32_t referenceCount = 0;       // root: guarded by the owner's referenceLock
    char interfaceAddress[16] = {};        // local IPv4 address the description came over
    std::int32_t maxAge = 0;               // seconds
    std::int32_t announced = 0;            // set once reported to deviceAdded
    std::int32_t removing = 0;             // root: its removal has begun
    std::int64_t lastRefresh = 0;          // root: seconds of the last refreshing NOTIFY
    OwnedText pendingLocation;             // root: LOCATION waiting to be taken over
    UPnPDevice* parent = nullptr;          // null for the root
    UPnPDevice* firstEmbedded = nullptr;   // owned
    UPnPService* firstService = nullptr;   // owned
    UPnPDevice* nextSibling = nullptr;     // owned by the parent's list
};

// The root of the tree `device` belongs to (never null for a non-null device).
UPnPDevice* RootOf(UPnPDevice* device);

// Frees a whole tree given its root (null is ignored).
void FreeDeviceTree(UPnPDevice* root);

// Number of services of `device` and all its embedded devices.
int CountServices(const UPnPDevice* device);

}  // namespace norvale::cp

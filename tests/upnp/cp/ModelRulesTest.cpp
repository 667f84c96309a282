#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "upnp/cp/ControlPoint.h"
#include "upnp/cp/ModelRules.h"

namespace norvale::cp {
namespace {

struct Fixture {
    UPnPDevice device;
    UPnPService* first = nullptr;

    explicit Fixture(const char* model) {
        if (model != nullptr) device.modelNumber = CopyText(model);
    }
    // Adds a service in front (as the description reader does) with actions.
    UPnPService* AddService(std::initializer_list<const char*> actions) {
        auto* service = new UPnPService;
        for (const char* name : actions) {
            auto* action = new UPnPAction;
            action->name = CopyText(name);
            action->next = service->actions;
            service->actions = action;
        }
        service->device = &device;
        service->next = device.firstService;
        device.firstService = service;
        return service;
    }
};

int Supported(const char* model) {
    Fixture f(model);
    return IsSupportedModel(&f.device);
}
int Class(const char* model) {
    Fixture f(model);
    return ModelClass(&f.device);
}
int Hides(const char* model) {
    Fixture f(model);
    return HidesConfigure(&f.device);
}

TEST(ModelRules, ExactCodesRejectLongerNamesButPrefixCodesAcceptThem) {
    EXPECT_EQ(1, Supported("QMR7TX"));
    EXPECT_EQ(1, Supported("QMR8TX"));
    EXPECT_EQ(0, Supported("QMR7TX1"));
    EXPECT_EQ(1, Supported("QMA5KS0000"));
    EXPECT_EQ(1, Supported("QMZBEP-2"));
    EXPECT_EQ(1, Supported("QMZBEN"));
    EXPECT_EQ(0, Supported("qma5ks0000"));
    EXPECT_EQ(0, Supported("QMA5K"));
    EXPECT_EQ(0, Supported(nullptr));
    EXPECT_EQ(0, IsSupportedModel(nullptr));
}

TEST(ModelRules, LegacyNameIsRewrittenInPlaceOnlyWhenExact) {
    Fixture legacy("Z-Model-88");
    const char* storage = legacy.device.modelNumber.get();
    EXPECT_EQ(1, IsSupportedModel(&legacy.device));
    EXPECT_STREQ("QMA5KS0000", legacy.device.modelNumber.get());
    EXPECT_EQ(storage, legacy.device.modelNumber.get());
    EXPECT_EQ(1, ModelClass(&legacy.device));

    Fixture longer("Z-Model-88X");
    EXPECT_EQ(0, IsSupportedModel(&longer.device));
    EXPECT_STREQ("Z-Model-88X", longer.device.modelNumber.get());
}

TEST(ModelRules, ActionIsLookedUpOnTheFirstServiceOnly) {
    Fixture nas("QMA5KS0001");
    nas.AddService({"GetLEDStatus", "SetLEDStatus"});  // listed first: ends up second
    nas.AddService({"Browse"});
    EXPECT_EQ(0, SupportsAction(&nas.device, L"GetLEDStatus"));

    Fixture other("QMA5KS0001");
    other.AddService({"Browse"});
    other.AddService({"SetLEDStatus", "GetLEDStatus"});
    EXPECT_EQ(1, SupportsAction(&other.device, L"GetLEDStatus"));
    EXPECT_EQ(0, SupportsAction(&other.device, L"getledstatus"));
    Fixture bare("QMA5KS0001");
    EXPECT_EQ(0, SupportsAction(&bare.device, L"GetLEDStatus"));
}

TEST(ModelRules, LedModelsWithoutIdentifyNeverOfferIt) {
    Fixture r8("QMR8TX");
    r8.AddService({"GetLEDStatus"});
    EXPECT_EQ(0, SupportsAction(&r8.device, L"GetLEDStatus"));
    Fixture none(nullptr);
    none.AddService({"GetLEDStatus"});
    EXPECT_EQ(0, SupportsAction(&none.device, L"GetLEDStatus"));
}

TEST(ModelRules, ClassesAndConfigureFollowTheTable) {
    EXPECT_EQ(3, Class("QMR7TX"));
    EXPECT_EQ(2, Class("QMR8TX"));
    EXPECT_EQ(0, Class("QMR8TXX"));
    EXPECT_EQ(1, Class("QMA5KSabc"));
    EXPECT_EQ(4, Class("QMZBEN1"));
    EXPECT_EQ(4, Class("QMZBEP1"));
    EXPECT_EQ(0, Class("Other"));
    EXPECT_EQ(1, Hides("QMZBEN9"));
    EXPECT_EQ(1, Hides("QMZBEP"));
    EXPECT_EQ(0, Hides("QMA5KS"));
    EXPECT_EQ(0, Hides(nullptr));
}

TEST(DeviceTypes, OnlyAReadableVersionOfAtLeastOneIsAnnounced) {
    auto matches = [](const std::string& type) {
        UPnPDevice device;
        device.deviceType = CopyText(type.c_str());
        return FindNthMatchingDevice(&device, 0) == &device;
    };
    EXPECT_TRUE(matches("urn:schemas-upnp-org:device:LuNAS:1"));
    EXPECT_TRUE(matches("urn:schemas-upnp-org:device:MediaRenderer:3"));
    for (const char* version : {"0", "-1", "4294967297", "1x", "1.5", ""}) {
        EXPECT_FALSE(matches(std::string("urn:schemas-upnp-org:device:LuNAS:") + version))
            << version;
    }
}

}  // namespace
}  // namespace norvale::cp

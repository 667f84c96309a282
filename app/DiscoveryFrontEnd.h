#pragma once

#include "app/DeviceTable.h"

namespace norvale::app {

// The user-interface side of the discovery host: the main window, or the
// command-line front end. The host calls every member on the user-interface
// thread (blocking the discovery thread meanwhile), in the order the device
// reports arrive. The host never knows which front end it serves.
class DiscoveryFrontEnd {
  public:
    virtual ~DiscoveryFrontEnd() = default;

    // The table the host fills. Must outlive the host's thread.
    virtual DeviceTable& Table() = 0;

    // Row 0 was just inserted and selected: show the action buttons for it
    // (the window also asks for its LED state here).
    virtual void RefreshActionButtons() {}
    // A row on the visible page changed and must be drawn again.
    virtual void RedrawRow(int /*index*/) {}
    // After every device report: scroll buttons follow the row count and page.
    virtual void RefreshScrollButtons() {}
    // A row was deleted: the list's top offset and paint follow the rule for
    // the rows left; the host selects row 0 afterwards when rows are left.
    virtual void AfterRowRemoved() {}
    // Every successful LED answer: the identify-LED caption follows it.
    virtual void SetIdentifyLedCaption(bool /*on*/) {}
    // Every LED answer, with the name and address of the device it came from:
    // resultCode 0 with `on` the reported state, or a failure (-1 no answer,
    // -2 no LEDStatus in the answer, else the device's error code; `on` is
    // false and the table does not change).
    virtual void LedStatusAnswered(const QString& /*name*/, const QString& /*address*/,
                                   int /*resultCode*/, bool /*on*/) {}
    // A device reported whose model is not supported (never a row), and its
    // departure. Only front ends that list every device care.
    virtual void UnsupportedDeviceAdded(const DeviceRow& /*device*/) {}
    virtual void UnsupportedDeviceRemoved(const DeviceRow& /*device*/) {}
    // The discovery thread has ended: every device reference is now invalid.
    virtual void DiscoveryStopped() {}
};

}  // namespace norvale::app

#pragma once

#include "upnp/cp/UPnPDevice.h"

namespace norvale::cp {

// The maker's model rules, all on the device's modelNumber, byte-exact and
// case-sensitive. Exact codes: "QMR7TX" (class 3), "QMR8TX" (class 2);
// prefix codes (first 6 bytes): "QMA5KS" (class 1), "QMZBEN", "QMZBEP"
// (class 4). The legacy name "Z-Model-88" stands for "QMA5KS0000".

// 1 when the device is one of the maker's supported models, else 0 (also for
// a null device or no modelNumber). Rewrites a modelNumber of exactly
// "Z-Model-88" in place to "QMA5KS0000" first, so every later reader sees it.
int IsSupportedModel(UPnPDevice* device);

// 1 when the device's FIRST service lists `actionName` (wide text, converted
// with the C library's wide-to-multibyte conversion, at most 259 bytes) and
// the model offers the identify LED ("QMR7TX" and "QMR8TX" never do); else 0.
int SupportsAction(const UPnPDevice* device, const wchar_t* actionName);

// 1 when the model hides its configuration page ("QMZBEN"/"QMZBEP" prefix).
int HidesConfigure(const UPnPDevice* device);

// The shortcut icon class 1..4 of the model, 0 when the model is not listed.
int ModelClass(const UPnPDevice* device);

}  // namespace norvale::cp

#pragma once

#include "upnp/cp/UPnPDevice.h"

namespace norvale::cp {

// Result codes of the LED actions: 0 the device answered 2xx (GetLEDStatus:
// with a LEDStatus value), -1 no answer (connection failed or closed, or the
// request was dropped because the device left), -2 (GetLEDStatus only) a 2xx
// answer without a usable GetLEDStatusResponse/LEDStatus, otherwise the
// errorCode of the SOAP fault, 500 when it cannot be read.
inline constexpr int kSoapNoAnswer = -1;
inline constexpr int kSoapBadAnswer = -2;

// Called once per request on the chain thread with the service, the result
// code, the caller's user value and (GetLEDStatus) the LED status (0 unless
// the result is 0). No control point lock is held.
using GetLEDStatusCallback = void (*)(UPnPService* service, int result, void* user, int ledStatus);
using SetLEDStatusCallback = void (*)(UPnPService* service, int result, void* user);

// Send "GetLEDStatus"/"SetLEDStatus" to `service` (normally the device's
// first service) through its control point's HTTP client. Callable from any
// thread while the caller holds the device (between deviceAdded and the
// return of deviceRemoved, or with its own reference); the request keeps a
// reference to the tree until its callback has returned. A null service
// does nothing and calls nothing; a null callback discards the outcome.
// Not after the chain has ended: the HTTP client is gone then.
void ControlPoint_GetLEDStatus(UPnPService* service, GetLEDStatusCallback callback,
                               void* user = nullptr);
void ControlPoint_SetLEDStatus(UPnPService* service, SetLEDStatusCallback callback, int status,
                               void* user = nullptr);
void SendGetLEDStatus(UPnPService* service, GetLEDStatusCallback callback, void* user);
void SendSetLEDStatus(UPnPService* service, SetLEDStatusCallback callback, void* user, int status);

}  // namespace norvale::cp

// Device-change handling: arrivals and removals rebuild the list; a camera returning in update
// mode is opened and the worker restarted; the start-up scan.
#pragma once

#include "core/update_session.h"
#include "platform/device_discovery.h"

namespace veltra {

enum class ArrivalVariant { kFull, kNoMirel, kNoRestart };

// Every handler works on the update session it is handed: the one the dialog procedure owns.
void OnDeviceChange(UpdateSession& update, const DeviceChange& change);
void SetDeviceArrivValueForVideoDevice(UpdateSession& update);
void SetDeviceArrivValueForWinUSBDevice(UpdateSession& update, ArrivalVariant variant);
void SetDeviceRemoveValueForVideoDevice(UpdateSession& update);
void SetDeviceRemoveValueForWinUSBDevice(UpdateSession& update);
// The start-up scan, before any update: the program's session.
int SetInitialDeviceValue();

}  // namespace veltra

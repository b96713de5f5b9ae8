// Device-change handling: arrivals and removals rebuild the list; a camera returning in update
// mode is opened and the worker restarted; the start-up scan.
#pragma once

#include "platform/device_discovery.h"

namespace veltra {

enum class ArrivalVariant { kFull, kNoMirel, kNoRestart };

void OnDeviceChange(const DeviceChange& change);
void SetDeviceArrivValueForVideoDevice();
void SetDeviceArrivValueForWinUSBDevice(ArrivalVariant variant);
void SetDeviceRemoveValueForVideoDevice();
void SetDeviceRemoveValueForWinUSBDevice();
int SetInitialDeviceValue();

}  // namespace veltra

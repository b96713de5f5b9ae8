// Device notifications on Windows, for every window of the program that receives them (the
// dialog, and veltra-update's hidden window): the registration for one interface class, and
// WM_DEVICECHANGE's broadcast read into the DeviceChange record the logic reads.
#pragma once

#include "platform/device_discovery.h"
#include "platform/types.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

// GUID_DEVINTERFACE_HID and GUID_DEVINTERFACE_USB_DEVICE, the classes the program registers for.
extern const GUID kHidInterfaceClass;
extern const GUID kUsbDeviceInterfaceClass;

// RegisterDeviceNotificationW for a window of the program and one device-interface class: the
// window is then sent WM_DEVICECHANGE for the class's arrivals and removals. False when refused.
bool RegisterInterfaceNotification(Handle window, DeviceInterfaceClass cls);

DeviceChange ToDeviceChange(WPARAM event, LPARAM header);

}  // namespace veltra

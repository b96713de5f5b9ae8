// The process-wide port instances. Installed once at start-up (the Windows entry, the demo, or a
// test fixture) before any program logic runs; the logic reaches the OS only through these.
#pragma once

#include "platform/camera_library.h"
#include "platform/device_discovery.h"
#include "platform/dialog_view.h"
#include "platform/hid_input.h"
#include "platform/system.h"
#include "platform/usb_transport.h"
#include "platform/vendor_library.h"

namespace veltra {

struct Ports {
  System* system = nullptr;
  UsbTransport* usb = nullptr;
  CameraLibrary* camera = nullptr;
  VendorLibrary* vendor = nullptr;
  DeviceDiscovery* discovery = nullptr;
  DialogView* dialog = nullptr;
  HidInput* hidInput = nullptr;
};

// The installed set. Every member must be set before the logic that needs it runs.
Ports& ports();
void InstallPorts(const Ports& set);

inline System& Sys() { return *ports().system; }
inline UsbTransport& Usb() { return *ports().usb; }
inline CameraLibrary& CameraLib() { return *ports().camera; }
inline VendorLibrary& VendorLib() { return *ports().vendor; }
inline DeviceDiscovery& Discovery() { return *ports().discovery; }
inline DialogView& Dialog() { return *ports().dialog; }
inline HidInput& HidIn() { return *ports().hidInput; }

}  // namespace veltra

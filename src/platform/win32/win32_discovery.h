// Device discovery on Windows: the DirectShow system device enumerator for video capture devices,
// SetupAPI for the present USB devices and video interfaces, GetVersionExW. Arrival and removal
// events come to the dialog's window as WM_DEVICECHANGE (it registers for them itself).
#pragma once

#include "platform/device_discovery.h"

namespace veltra {

class Win32Discovery : public DeviceDiscovery {
 public:
  // Looks SetupDiGetDevicePropertyW up in the loaded SetupAPI module once. Every Windows the
  // program supports (7 and later) has it; the serial read still asks whether it was found, and
  // leaves the serial empty without it, rather than trusting the version number alone.
  Win32Discovery();

  std::int32_t CreateSystemDeviceEnum(std::unique_ptr<CaptureDeviceWalk>* walk) override;
  std::unique_ptr<DeviceInterfaceSet> OpenInterfaceSet(InterfaceSetClass cls) override;
  bool DevicePropertyAvailable() override;
  OsVersion ReadOsVersion() override;
  // The hub's port connector properties (IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES, Windows 8 and
  // later) name the companion port and its hub; win32_companion_port.cpp.
  bool CompanionLocationPath(const wchar_t* location, wchar_t* companion,
                             std::uint32_t chars) override;

 private:
  // SetupDiGetDevicePropertyW, or nullptr (kept untyped so that this header needs no OS header).
  void* getDeviceProperty_ = nullptr;
};

}  // namespace veltra

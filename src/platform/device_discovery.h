// Device-discovery port: the OS's lists of video capture devices, present USB devices and video
// interfaces, the OS version, and the arrival/removal events by interface class.
// The shape of the enumeration calls is completed with the discovery passes (src/devices).
#pragma once

#include "platform/types.h"

namespace veltra {

// WM_DEVICECHANGE events and the broadcast device type the program looks at.
constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr std::uint32_t kDbtDevtypDeviceInterface = 5;

enum class DeviceInterfaceClass { kHid, kUsbDevice, kOther };

// One WM_DEVICECHANGE notification as the logic sees it (event = wParam; the broadcast header's
// device type and, for device-interface broadcasts, the interface class GUID).
struct DeviceChange {
  std::uint32_t event = 0;
  std::uint32_t deviceType = 0;
  DeviceInterfaceClass cls = DeviceInterfaceClass::kOther;
};

class DeviceDiscovery {
 public:
  virtual ~DeviceDiscovery() = default;
};

}  // namespace veltra

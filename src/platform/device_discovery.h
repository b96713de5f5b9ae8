// Device-discovery port: the OS's lists of video capture devices, present USB devices and video
// interfaces, the OS version, and the source of arrival/removal events.
// (Shape to be completed with the discovery pass; the logic calls only this header.)
#pragma once

#include "platform/types.h"

namespace veltra {

class DeviceDiscovery {
 public:
  virtual ~DeviceDiscovery() = default;
};

}  // namespace veltra

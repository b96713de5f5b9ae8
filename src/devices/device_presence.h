// Whether a device is still on the bus, asked of the OS's list of present USB devices, and the
// read of an interface's path that the walks over those lists share.
#pragma once

#include <cstdint>
#include <memory>

#include "devices/id_text.h"
#include "platform/device_discovery.h"

namespace veltra {

// The device path of the set's current interface (size query, then the read); nullptr when the
// buffer cannot be allocated or the read fails. A successful read makes the device that owns the
// interface current.
std::unique_ptr<wchar_t[]> ReadCurrentInterfacePath(DeviceInterfaceSet& set);

// Walks the set's interfaces in index order (at most kMaxEnumerationIndex) and reads each one's
// path; stops at the first for which match(index, path) is true, leaving what that read made
// current. False when none matches. Interfaces whose path cannot be read are passed over.
template <typename Match>
bool FindInterface(DeviceInterfaceSet& set, Match match) {
  for (std::uint32_t index = 0; index < kMaxEnumerationIndex && set.EnumInterface(index); ++index) {
    const std::unique_ptr<wchar_t[]> path = ReadCurrentInterfacePath(set);
    if (path != nullptr && match(index, path.get())) {
      return true;
    }
  }
  return false;
}

// True when a present USB device interface has this path (compared without case). A list the OS
// cannot give counts as present: whoever asks then keeps the outcome it has.
bool UsbDeviceInterfaceListed(const wchar_t* path);

}  // namespace veltra

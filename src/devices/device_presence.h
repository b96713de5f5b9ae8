// Whether a device is still on the bus, asked of the OS's list of present USB devices, and the
// read of an interface's path that the walks over those lists share.
#pragma once

#include <memory>

namespace veltra {

class DeviceInterfaceSet;

// The device path of the set's current interface (size query, then the read); nullptr when the
// buffer cannot be allocated or the read fails. A successful read makes the device that owns the
// interface current.
std::unique_ptr<wchar_t[]> ReadCurrentInterfacePath(DeviceInterfaceSet& set);

// True when a present USB device interface has this path (compared without case). A list the OS
// cannot give counts as present: whoever asks then keeps the outcome it has.
bool UsbDeviceInterfaceListed(const wchar_t* path);

}  // namespace veltra

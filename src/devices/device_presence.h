// Whether a device is still on the bus, asked of the OS's list of present USB devices.
#pragma once

namespace veltra {

// True when a present USB device interface has this path (compared without case). A list the OS
// cannot give counts as present: whoever asks then keeps the outcome it has.
bool UsbDeviceInterfaceListed(const wchar_t* path);

}  // namespace veltra

// A camera's USB serial (its unique ID), cut from the parent instance ID of its video interface.
#pragma once

#include "core/camera_identity.h"
#include "platform/types.h"

namespace veltra {

// Resolves the unique ID of the camera at devicePath (upper-cased in place) into uniqueId (at
// least 11 characters; the caller clears it first): the serial cut to 10 characters, or "00" for
// a device without one. 1 when the camera's video interface was found (uniqueId stays as it was
// when the serial cannot be read), 0 when it was not found, on systems 5.1 / 5.2, and for a path
// that is not an interface of a composite device (no "MI_").
int EnumerateImageDevice(wchar_t* devicePath, wchar_t* uniqueId);
// Resolves the unique ID from the path of a USB device interface (\\?\USB#VID_x&PID_y#serial#{...},
// a camera waiting in its update mode): the serial part cut to 10 characters, upper case, or "00"
// when Windows made it up. 1 when the path has that form, 0 otherwise (uniqueId untouched).
int UniqueIDFromUsbDevicePath(const wchar_t* devicePath, wchar_t* uniqueId);
// Reads who the device at a listed record's path is: its whole USB serial and the location path
// of its USB device (with the companion port's). devicePath is a camera's capture path (the
// serial comes from its video interface's parent) or a USB device interface path (a device in an
// update mode or a boot ROM: the serial is the path's instance part). False when the device
// cannot be found among the present USB devices; what was read stays in identity. ownSerial is
// set for a capture path.
bool ReadDeviceIdentity(const wchar_t* devicePath, CameraIdentity* identity);
// Writes the instance key of an interface path (upper-cased in place) into key (at least 11
// characters); key is left as it was when the path has no "MI_".
void GetUSBInstanceID(wchar_t* devicePath, wchar_t* key);

}  // namespace veltra

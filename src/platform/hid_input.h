// HID input-report port: the answers a device sends on its HID interface, read through a handle
// of the program's own. Windows gives every open handle of a HID device its own queue of input
// reports, so this handle reads the answers to the reports the camera library writes through its
// handle, without taking anything from the library. On Windows the adapter opens the interface
// with overlapped I/O; on the bench it reads the virtual device's answers and logs each read.
#pragma once

#include "platform/types.h"

namespace veltra {

class HidInput {
 public:
  virtual ~HidInput() = default;

  // Opens a read handle on the HID interface whose parent is the USB device with this device
  // interface path (\\?\USB#VID_x&PID_y#instance#{...}), and empties its queue of input reports,
  // so that the first read takes the answer to the next report written. kNullHandle when none
  // could be opened (no such interface, or another handle holds it without sharing).
  virtual Handle OpenHidInput(const wchar_t* parentDevicePath) = 0;
  virtual void CloseHidInput(Handle input) = 0;
  // Waits up to timeoutMs for the next input report, reads it whole and copies its first bytes
  // into report (report ID in byte 0, at most length bytes: the answers the program reads are
  // short packets, whatever the report length the device declares). Returns the bytes copied, or
  // 0 when no report came within the time-out or the read failed (the device left).
  virtual std::uint32_t ReadInputReport(Handle input, std::uint8_t* report, std::uint32_t length,
                                        std::uint32_t timeoutMs) = 0;

 protected:
  HidInput() = default;
  HidInput(const HidInput&) = default;
  HidInput& operator=(const HidInput&) = default;
};

}  // namespace veltra

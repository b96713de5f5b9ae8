// The USB transport on Windows: device interfaces opened with CreateFileW, the WinUSB default
// pipe for the DFU requests, and the Cypress driver's I/O control for the FX3 boot loader.
#pragma once

#include "platform/usb_transport.h"

namespace veltra {

class Win32UsbTransport : public UsbTransport {
 public:
  Handle OpenDevice(const wchar_t* path) override;
  void CloseDevice(Handle device) override;
  bool WinUsbInitialize(Handle device, Handle* interfaceHandle) override;
  void WinUsbFree(Handle interfaceHandle) override;
  bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                       std::uint32_t* transferred) override;
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override;
};

}  // namespace veltra

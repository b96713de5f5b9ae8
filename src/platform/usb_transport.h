// USB transport port. Every byte the program sends to a device in DFU mode or to the Cypress FX3
// boot loader passes through here, so one decorator can log and fault all of it.
#pragma once

#include "platform/types.h"

namespace veltra {

struct SetupPacket {
  std::uint8_t bmRequestType = 0;
  std::uint8_t bRequest = 0;
  std::uint16_t wValue = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wLength = 0;
};

// Flags and access the program opens device interfaces with (CreateFileW).
constexpr std::uint32_t kGenericReadWrite = 0xC0000000;
constexpr std::uint32_t kShareReadWrite = 3;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kAttributeNormalOverlapped = 0x40000080;

// The Cypress driver's EP0 control-transfer I/O control code.
constexpr std::uint32_t kIoctlCypressEp0Transfer = 0x220020;

class UsbTransport {
 public:
  virtual ~UsbTransport() = default;

  // CreateFileW(path, GENERIC_READ|GENERIC_WRITE, FILE_SHARE_READ|FILE_SHARE_WRITE, NULL,
  // OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL|FILE_FLAG_OVERLAPPED, NULL). kInvalidHandle on failure,
  // with the last-error code set.
  virtual Handle OpenDevice(const wchar_t* path) = 0;
  // CloseHandle.
  virtual void CloseDevice(Handle device) = 0;

  // WinUsb_Initialize on an opened device; false on failure (last-error code set).
  virtual bool WinUsbInitialize(Handle device, Handle* interfaceHandle) = 0;
  // WinUsb_Free.
  virtual void WinUsbFree(Handle interfaceHandle) = 0;
  // WinUsb_ControlTransfer on the default pipe: setup packet, data stage of setup.wLength bytes
  // (out or in by bmRequestType bit 7), no OVERLAPPED. *transferred receives the byte count.
  virtual bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                               std::uint32_t* transferred) = 0;

  // DeviceIoControl(device, ioctl, record, length, record, length, &returned): the Cypress
  // driver's request envelope, used as both input and output buffer. One blocking call for the
  // caller; an adapter whose handle is overlapped waits for the request itself, with an end.
  virtual bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                               std::uint32_t length, std::uint32_t* returned) = 0;
};

}  // namespace veltra

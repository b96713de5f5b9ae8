// Camera-control library port: every operation of the maker's library that the program uses.
// The library keeps the open camera: an Init call chooses the camera on which later
// argument-less calls act. Results are the library's 32-bit integers; each caller states what it
// relies on (see the comments). On Windows the adapter forwards to the DLL's cdecl exports; on the
// bench it answers from the virtual cameras and logs each call.
#pragma once

#include "platform/types.h"

namespace veltra {

class CameraLibrary {
 public:
  virtual ~CameraLibrary() = default;

  // Generic extension unit. Non-zero: the camera has the maker's UVC extension unit.
  virtual std::int32_t InitExtensionUnit(const wchar_t* path) = 0;
  virtual std::int32_t DeinitExtensionUnit() = 0;

  // Family tests: exactly 1 means the camera at the path is of that family.
  virtual std::int32_t IsPescaDeviceAvail(const wchar_t* path) = 0;
  virtual std::int32_t IsTarsaDeviceAvail(const wchar_t* path) = 0;
  virtual std::int32_t IsMirel_DeviceAvail(const wchar_t* path) = 0;
  virtual std::int32_t DeinitExtUnit() = 0;
  // Family channels: non-zero when open.
  virtual std::int32_t InitPescaExtensionUnit(const wchar_t* path) = 0;
  virtual std::int32_t InitTarsaExtensionUnit(const wchar_t* path) = 0;
  virtual std::int32_t InitMirelExtensionUnit(const wchar_t* path) = 0;

  // Mode switches into update mode; 0 means the command failed.
  virtual std::int32_t SetExtensionUnitValueForPesca(std::int32_t selector, std::int32_t value) = 0;
  virtual std::int32_t FallbacktoFWTarsa() = 0;
  virtual std::int32_t FirmwareUpdate(std::uint8_t imageType) = 0;

  // Versions: non-zero when the outputs were filled.
  virtual std::int32_t GetPescaFirmwareVersion(std::int32_t selector, std::uint8_t* buffer4) = 0;
  virtual std::int32_t GetTarsaFirmwareVersion(std::uint8_t* buffer4) = 0;
  virtual std::int32_t GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                               std::uint16_t* build) = 0;
  virtual std::int32_t ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2, std::uint16_t* v3,
                                           std::uint16_t* v4) = 0;

  // Resets: non-zero when issued. SendHIDCommandWithFirstByte(4) resets the camera opened by
  // InitExtensionUnit; its result is ignored.
  virtual std::int32_t ResetTarsa() = 0;
  virtual std::int32_t ResetDeviceMirel() = 0;
  virtual std::int32_t SendHIDCommandWithFirstByte(std::uint8_t command) = 0;

  // CX3 camera HID command channel.
  virtual std::int32_t SetPreparseDataAndAttributes() = 0;      // non-zero: HID interface open
  virtual std::int32_t DevicestateCX3SNI(std::uint8_t* reply64) = 0;  // 0: firmware answers
  virtual std::int32_t SetHidReport(const std::uint8_t* report, std::int32_t length) = 0;
  virtual std::int32_t GetHidReport(std::uint8_t* reply64) = 0;  // exactly 1: a reply was read

  // HID boot-loader channel (NXP ROM and flash loader).
  virtual std::int32_t Init_HIDHandle(const wchar_t* path) = 0;  // non-zero: HID handle open
  // Writes one output report (report ID in byte 0). flag 1 = command, 0 = data. Non-zero: sent.
  virtual std::int32_t sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                                     std::int32_t flag) = 0;

  // Listing filters: the vendor/product ID texts are four hex digits.
  virtual std::int32_t IsDFUDeviceVID(const wchar_t* vid) = 0;
  virtual std::int32_t IsRestrictedCameraPID(const wchar_t* pid) = 0;
};

}  // namespace veltra

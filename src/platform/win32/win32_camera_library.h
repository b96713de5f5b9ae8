// The camera-control library port on Windows: each operation forwards to the export of the same
// name in OrloFWSW.dll, which the program binds to at load time.
#pragma once

#include "platform/camera_library.h"

namespace veltra {

class Win32CameraLibrary : public CameraLibrary {
 public:
  std::int32_t InitExtensionUnit(const wchar_t* path) override;
  std::int32_t DeinitExtensionUnit() override;
  std::int32_t IsPescaDeviceAvail(const wchar_t* path) override;
  std::int32_t IsTarsaDeviceAvail(const wchar_t* path) override;
  std::int32_t IsMirel_DeviceAvail(const wchar_t* path) override;
  std::int32_t DeinitExtUnit() override;
  std::int32_t InitPescaExtensionUnit(const wchar_t* path) override;
  std::int32_t InitTarsaExtensionUnit(const wchar_t* path) override;
  std::int32_t InitMirelExtensionUnit(const wchar_t* path) override;
  std::int32_t SetExtensionUnitValueForPesca(std::int32_t selector, std::int32_t value) override;
  std::int32_t FallbacktoFWTarsa() override;
  std::int32_t FirmwareUpdate(std::uint8_t imageType) override;
  std::int32_t GetPescaFirmwareVersion(std::int32_t selector, std::uint8_t* buffer4) override;
  std::int32_t GetTarsaFirmwareVersion(std::uint8_t* buffer4) override;
  std::int32_t GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                       std::uint16_t* build) override;
  std::int32_t ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2, std::uint16_t* v3,
                                   std::uint16_t* v4) override;
  std::int32_t ResetTarsa() override;
  std::int32_t ResetDeviceMirel() override;
  std::int32_t SendHIDCommandWithFirstByte(std::uint8_t command) override;
  std::int32_t SetPreparseDataAndAttributes() override;
  std::int32_t DevicestateCX3SNI(std::uint8_t* reply64) override;
  std::int32_t SetHidReport(const std::uint8_t* report, std::int32_t length) override;
  std::int32_t GetHidReport(std::uint8_t* reply64) override;
  std::int32_t Init_HIDHandle(const wchar_t* path) override;
  std::int32_t sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                             std::int32_t flag) override;
  std::int32_t IsDFUDeviceVID(const wchar_t* vid) override;
  std::int32_t IsRestrictedCameraPID(const wchar_t* pid) override;
};

}  // namespace veltra

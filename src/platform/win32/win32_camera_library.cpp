#include "platform/win32/win32_camera_library.h"

#include "platform/win32/orlo_fwsw_api.h"

// The exports share their names with the port's operations; the leading :: picks the library's.
namespace veltra {

std::int32_t Win32CameraLibrary::InitExtensionUnit(const wchar_t* path) {
  return ::InitExtensionUnit(path);
}
std::int32_t Win32CameraLibrary::DeinitExtensionUnit() {
  return ::DeinitExtensionUnit();
}

std::int32_t Win32CameraLibrary::IsPescaDeviceAvail(const wchar_t* path) {
  return ::IsPescaDeviceAvail(path);
}
std::int32_t Win32CameraLibrary::IsTarsaDeviceAvail(const wchar_t* path) {
  return ::IsTarsaDeviceAvail(path);
}
std::int32_t Win32CameraLibrary::IsMirel_DeviceAvail(const wchar_t* path) {
  return ::IsMirel_DeviceAvail(path);
}
std::int32_t Win32CameraLibrary::DeinitExtUnit() {
  return ::DeinitExtUnit();
}
std::int32_t Win32CameraLibrary::InitPescaExtensionUnit(const wchar_t* path) {
  return ::InitPescaExtensionUnit(path);
}
std::int32_t Win32CameraLibrary::InitTarsaExtensionUnit(const wchar_t* path) {
  return ::InitTarsaExtensionUnit(path);
}
std::int32_t Win32CameraLibrary::InitMirelExtensionUnit(const wchar_t* path) {
  return ::InitMirelExtensionUnit(path);
}

std::int32_t Win32CameraLibrary::SetExtensionUnitValueForPesca(std::int32_t selector,
                                                               std::int32_t value) {
  return ::SetExtensionUnitValueForPesca(selector, value);
}
std::int32_t Win32CameraLibrary::FallbacktoFWTarsa() {
  return ::FallbacktoFWTarsa();
}
std::int32_t Win32CameraLibrary::FirmwareUpdate(std::uint8_t imageType) {
  return ::FirmwareUpdate(imageType);
}

std::int32_t Win32CameraLibrary::GetPescaFirmwareVersion(std::int32_t selector,
                                                         std::uint8_t* buffer4) {
  return ::GetPescaFirmwareVersion(selector, buffer4);
}
std::int32_t Win32CameraLibrary::GetTarsaFirmwareVersion(std::uint8_t* buffer4) {
  return ::GetTarsaFirmwareVersion(buffer4);
}
std::int32_t Win32CameraLibrary::GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                                         std::uint16_t* build) {
  return ::GetFirmwareVersionMirel(major, minor, build);
}
std::int32_t Win32CameraLibrary::ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2,
                                                     std::uint16_t* v3, std::uint16_t* v4) {
  return ::ReadFirmwareVersion(v1, v2, v3, v4);
}

std::int32_t Win32CameraLibrary::ResetTarsa() {
  return ::ResetTarsa();
}
std::int32_t Win32CameraLibrary::ResetDeviceMirel() {
  return ::ResetDeviceMirel();
}
std::int32_t Win32CameraLibrary::SendHIDCommandWithFirstByte(std::uint8_t command) {
  return ::SendHIDCommandWithFirstByte(command);
}

std::int32_t Win32CameraLibrary::SetPreparseDataAndAttributes() {
  return ::SetPreparseDataAndAttributes();
}
std::int32_t Win32CameraLibrary::DevicestateCX3SNI(std::uint8_t* reply64) {
  return ::DevicestateCX3SNI(reply64);
}
std::int32_t Win32CameraLibrary::SetHidReport(const std::uint8_t* report, std::int32_t length) {
  return ::SetHidReport(report, length);
}
std::int32_t Win32CameraLibrary::GetHidReport(std::uint8_t* reply64) {
  return ::GetHidReport(reply64);
}

std::int32_t Win32CameraLibrary::Init_HIDHandle(const wchar_t* path) {
  return ::Init_HIDHandle(path);
}
std::int32_t Win32CameraLibrary::sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                                               std::int32_t flag) {
  return ::sendNXPHidCmd(report, length, flag);
}

std::int32_t Win32CameraLibrary::IsDFUDeviceVID(const wchar_t* vid) {
  return ::IsDFUDeviceVID(vid);
}
std::int32_t Win32CameraLibrary::IsRestrictedCameraPID(const wchar_t* pid) {
  return ::IsRestrictedCameraPID(pid);
}

}  // namespace veltra

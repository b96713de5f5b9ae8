// A stand-in OrloFWSW.dll for running the Windows build where no camera and no maker's library
// exist (wine, a bare test machine). It exports every operation the program binds to and answers
// as a library that finds no camera: every Init and Is call returns 0, every command reports that
// it was not carried out, no buffer is written.
#define ORLO_FWSW_BUILDING
#include "platform/win32/orlo_fwsw_api.h"

namespace {
constexpr std::int32_t kNo = 0;
// DevicestateCX3SNI reports 0 when the camera's firmware answers; anything else means it did not.
constexpr std::int32_t kNoAnswer = 1;
}  // namespace

extern "C" {

std::int32_t InitExtensionUnit(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t DeinitExtensionUnit() {
  return kNo;
}

std::int32_t IsPescaDeviceAvail(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t IsTarsaDeviceAvail(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t IsMirel_DeviceAvail(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t DeinitExtUnit() {
  return kNo;
}
std::int32_t InitPescaExtensionUnit(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t InitTarsaExtensionUnit(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t InitMirelExtensionUnit(const wchar_t* /*path*/) {
  return kNo;
}

std::int32_t SetExtensionUnitValueForPesca(std::int32_t /*selector*/, std::int32_t /*value*/) {
  return kNo;
}
std::int32_t FallbacktoFWTarsa() {
  return kNo;
}
std::int32_t FirmwareUpdate(std::uint8_t /*imageType*/) {
  return kNo;
}

std::int32_t GetPescaFirmwareVersion(std::int32_t /*selector*/, std::uint8_t* /*buffer4*/) {
  return kNo;
}
std::int32_t GetTarsaFirmwareVersion(std::uint8_t* /*buffer4*/) {
  return kNo;
}
std::int32_t GetFirmwareVersionMirel(std::uint8_t* /*major*/, std::uint8_t* /*minor*/,
                                     std::uint16_t* /*build*/) {
  return kNo;
}
std::int32_t ReadFirmwareVersion(std::uint8_t* /*v1*/, std::uint8_t* /*v2*/, std::uint16_t* /*v3*/,
                                 std::uint16_t* /*v4*/) {
  return kNo;
}

std::int32_t ResetTarsa() {
  return kNo;
}
std::int32_t ResetDeviceMirel() {
  return kNo;
}
std::int32_t SendHIDCommandWithFirstByte(std::uint8_t /*command*/) {
  return kNo;
}

std::int32_t SetPreparseDataAndAttributes() {
  return kNo;
}
std::int32_t DevicestateCX3SNI(std::uint8_t* /*reply64*/) {
  return kNoAnswer;
}
std::int32_t SetHidReport(const std::uint8_t* /*report*/, std::int32_t /*length*/) {
  return kNo;
}
std::int32_t GetHidReport(std::uint8_t* /*reply64*/) {
  return kNo;
}

std::int32_t Init_HIDHandle(const wchar_t* /*path*/) {
  return kNo;
}
std::int32_t sendNXPHidCmd(const std::uint8_t* /*report*/, std::int32_t /*length*/,
                           std::int32_t /*flag*/) {
  return kNo;
}

std::int32_t IsDFUDeviceVID(const wchar_t* /*vid*/) {
  return kNo;
}
std::int32_t IsRestrictedCameraPID(const wchar_t* /*pid*/) {
  return kNo;
}

}  // extern "C"

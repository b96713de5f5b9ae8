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

// An operation that finds no camera: its parameters as the interface declares them, unread.
#define NO_CAMERA(name, ...)       \
  std::int32_t name(__VA_ARGS__) { \
    return kNo;                    \
  }

extern "C" {

NO_CAMERA(InitExtensionUnit, const wchar_t*)
NO_CAMERA(DeinitExtensionUnit)
NO_CAMERA(IsPescaDeviceAvail, const wchar_t*)
NO_CAMERA(IsTarsaDeviceAvail, const wchar_t*)
NO_CAMERA(IsMirel_DeviceAvail, const wchar_t*)
NO_CAMERA(DeinitExtUnit)
NO_CAMERA(InitPescaExtensionUnit, const wchar_t*)
NO_CAMERA(InitTarsaExtensionUnit, const wchar_t*)
NO_CAMERA(InitMirelExtensionUnit, const wchar_t*)
NO_CAMERA(SetExtensionUnitValueForPesca, std::int32_t, std::int32_t)
NO_CAMERA(FallbacktoFWTarsa)
NO_CAMERA(FirmwareUpdate, std::uint8_t)
NO_CAMERA(GetPescaFirmwareVersion, std::int32_t, std::uint8_t*)
NO_CAMERA(GetTarsaFirmwareVersion, std::uint8_t*)
NO_CAMERA(GetFirmwareVersionMirel, std::uint8_t*, std::uint8_t*, std::uint16_t*)
NO_CAMERA(ReadFirmwareVersion, std::uint8_t*, std::uint8_t*, std::uint16_t*, std::uint16_t*)
NO_CAMERA(ResetTarsa)
NO_CAMERA(ResetDeviceMirel)
NO_CAMERA(SendHIDCommandWithFirstByte, std::uint8_t)
NO_CAMERA(SetPreparseDataAndAttributes)
std::int32_t DevicestateCX3SNI(std::uint8_t*) {
  return kNoAnswer;
}
NO_CAMERA(SetHidReport, const std::uint8_t*, std::int32_t)
NO_CAMERA(GetHidReport, std::uint8_t*)
NO_CAMERA(Init_HIDHandle, const wchar_t*)
NO_CAMERA(sendNXPHidCmd, const std::uint8_t*, std::int32_t, std::int32_t)
NO_CAMERA(IsDFUDeviceVID, const wchar_t*)
NO_CAMERA(IsRestrictedCameraPID, const wchar_t*)

}  // extern "C"

// The C interface of the maker's camera-control library OrloFWSW.dll, as this program binds to
// it at load time. Every export is cdecl (the caller removes the arguments) and returns a 32-bit
// integer; paths and IDs are NUL-terminated UTF-16 texts. OrloFWSW.def lists the same names for
// the import library, and the stand-in library of the Windows test runs is built from them too.
#pragma once

#include <cstdint>

#if defined(ORLO_FWSW_BUILDING)
#define ORLO_FWSW_API __declspec(dllexport)
#else
#define ORLO_FWSW_API __declspec(dllimport)
#endif

extern "C" {

ORLO_FWSW_API std::int32_t __cdecl InitExtensionUnit(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl DeinitExtensionUnit();

ORLO_FWSW_API std::int32_t __cdecl IsPescaDeviceAvail(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl IsTarsaDeviceAvail(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl IsMirel_DeviceAvail(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl DeinitExtUnit();
ORLO_FWSW_API std::int32_t __cdecl InitPescaExtensionUnit(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl InitTarsaExtensionUnit(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl InitMirelExtensionUnit(const wchar_t* path);

ORLO_FWSW_API std::int32_t __cdecl SetExtensionUnitValueForPesca(std::int32_t selector,
                                                                 std::int32_t value);
ORLO_FWSW_API std::int32_t __cdecl FallbacktoFWTarsa();
ORLO_FWSW_API std::int32_t __cdecl FirmwareUpdate(std::uint8_t imageType);

ORLO_FWSW_API std::int32_t __cdecl GetPescaFirmwareVersion(std::int32_t selector,
                                                           std::uint8_t* buffer4);
ORLO_FWSW_API std::int32_t __cdecl GetTarsaFirmwareVersion(std::uint8_t* buffer4);
ORLO_FWSW_API std::int32_t __cdecl GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                                           std::uint16_t* build);
ORLO_FWSW_API std::int32_t __cdecl ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2,
                                                       std::uint16_t* v3, std::uint16_t* v4);

ORLO_FWSW_API std::int32_t __cdecl ResetTarsa();
ORLO_FWSW_API std::int32_t __cdecl ResetDeviceMirel();
ORLO_FWSW_API std::int32_t __cdecl SendHIDCommandWithFirstByte(std::uint8_t command);

ORLO_FWSW_API std::int32_t __cdecl SetPreparseDataAndAttributes();
ORLO_FWSW_API std::int32_t __cdecl DevicestateCX3SNI(std::uint8_t* reply64);
ORLO_FWSW_API std::int32_t __cdecl SetHidReport(const std::uint8_t* report, std::int32_t length);
ORLO_FWSW_API std::int32_t __cdecl GetHidReport(std::uint8_t* reply64);

ORLO_FWSW_API std::int32_t __cdecl Init_HIDHandle(const wchar_t* path);
ORLO_FWSW_API std::int32_t __cdecl sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                                                 std::int32_t flag);

ORLO_FWSW_API std::int32_t __cdecl IsDFUDeviceVID(const wchar_t* vid);
ORLO_FWSW_API std::int32_t __cdecl IsRestrictedCameraPID(const wchar_t* pid);

}  // extern "C"

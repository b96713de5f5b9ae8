// The USB identities the program knows, written once: vendor and product ID as the device table
// holds them (four upper-case hex digits), the camera family, the mode the device is in and the
// route an update of it takes. Discovery, the update dispatch, the device-change handling, the
// version read and the reset name their IDs from here.
#pragma once

#include <cstdint>

#include "loaders/nxp_reports.h"

namespace veltra {

enum class KnownFamily { kAny, kPesca, kTarsa, kMirel, kSunplus, kBootLoader };
enum class KnownMode { kNormal, kUpdate, kBootRom, kFlashLoader };
enum class KnownRoute { kModeSwitch, kDfu, kFx3Loader, kNxpLoader, kSunplusLibrary, kNone };

struct KnownDevice {
  std::uint16_t vid;
  std::uint16_t pid;  // 0: every product of the vendor
  const wchar_t* vidText;
  const wchar_t* pidText;
  KnownFamily family;
  KnownMode mode;
  KnownRoute route;
};

// Vendors.
constexpr const wchar_t* kVidMaker = L"7E51";
constexpr const wchar_t* kVidCypress = L"04B4";
constexpr const wchar_t* kVidNxp = L"1FC9";
constexpr const wchar_t* kVidSunplus = L"1BCF";

// Products.
constexpr const wchar_t* kPidUpdateMode = L"DF00";
constexpr const wchar_t* kPidPescaUpdateMode = L"DF01";
constexpr const wchar_t* kPidFlashLoader = L"DF02";
constexpr const wchar_t* kPidFx3Rom = L"00F3";
constexpr const wchar_t* kPidRt1060Rom = L"0135";
constexpr const wchar_t* kPidPesca = L"C123";
constexpr const wchar_t* kPidPescaSecond = L"C129";
constexpr const wchar_t* kPidTarsa = L"C05C";
constexpr const wchar_t* kPidMirel = L"C181";
// The maker's camera built on an NXP RT1060: its update goes through the chip's ROM and the flash
// loader, which takes raw *.bin images.
constexpr const wchar_t* kPidNxpCamera = L"C2A0";
constexpr const wchar_t* kPidSunplusCamera = L"0B12";

constexpr KnownDevice kKnownDevices[] = {
    {0x7E51, 0x0000, kVidMaker, L"", KnownFamily::kAny, KnownMode::kNormal,
     KnownRoute::kModeSwitch},
    {0x7E51, 0xC123, kVidMaker, kPidPesca, KnownFamily::kPesca, KnownMode::kNormal,
     KnownRoute::kModeSwitch},
    {0x7E51, 0xC129, kVidMaker, kPidPescaSecond, KnownFamily::kPesca, KnownMode::kNormal,
     KnownRoute::kModeSwitch},
    {0x7E51, 0xC05C, kVidMaker, kPidTarsa, KnownFamily::kTarsa, KnownMode::kNormal,
     KnownRoute::kModeSwitch},
    {0x7E51, 0xC181, kVidMaker, kPidMirel, KnownFamily::kMirel, KnownMode::kNormal,
     KnownRoute::kSunplusLibrary},
    {0x1BCF, 0x0B12, kVidSunplus, kPidSunplusCamera, KnownFamily::kSunplus, KnownMode::kNormal,
     KnownRoute::kSunplusLibrary},
    {0x7E51, 0xDF00, kVidMaker, kPidUpdateMode, KnownFamily::kAny, KnownMode::kUpdate,
     KnownRoute::kDfu},
    {0x7E51, 0xDF01, kVidMaker, kPidPescaUpdateMode, KnownFamily::kPesca, KnownMode::kUpdate,
     KnownRoute::kDfu},
    {kFlashLoaderVid, kFlashLoaderPid, kVidMaker, kPidFlashLoader, KnownFamily::kBootLoader,
     KnownMode::kFlashLoader, KnownRoute::kNxpLoader},
    {0x04B4, 0x00F3, kVidCypress, kPidFx3Rom, KnownFamily::kBootLoader, KnownMode::kBootRom,
     KnownRoute::kFx3Loader},
    {0x1FC9, 0x0135, kVidNxp, kPidRt1060Rom, KnownFamily::kBootLoader, KnownMode::kBootRom,
     KnownRoute::kNxpLoader},
};

}  // namespace veltra

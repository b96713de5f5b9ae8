// The window messages the program's dialog procedures handle, with their Win32 values, so that the
// portable procedures and the Windows adapter speak the same numbers. The application messages
// (WM_APP_*) and control IDs are the application's (app/resource_ids.h).
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace veltra {

constexpr std::uint32_t kWmClose = 0x0010;
constexpr std::uint32_t kWmInitDialog = 0x0110;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kWmTimer = 0x0113;
// lParam of WM_DEVICECHANGE, as the portable procedure receives it: a pointer to the DeviceChange
// record the adapter built from the broadcast header (platform/device_discovery.h).
constexpr std::uint32_t kWmDeviceChange = 0x0219;

// Combo-box notification in the high word of WM_COMMAND's wParam.
constexpr std::uint16_t kCbnSelChange = 1;

// Dialog procedure results.
constexpr std::intptr_t kDlgTrue = 1;
constexpr std::intptr_t kDlgFalse = 0;

constexpr std::uint16_t LowWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>(value & 0xFFFF);
}
constexpr std::uint16_t HighWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}
// wParam of a WM_COMMAND: control ID in the low word, notification code in the high word.
constexpr std::uintptr_t CommandParam(int id, std::uint16_t notification = 0) {
  return (static_cast<std::uintptr_t>(notification) << 16) |
         (static_cast<std::uintptr_t>(id) & 0xFFFF);
}

// A portable dialog procedure: the window it runs for, then the message and its parameters.
using DialogProcedure = std::intptr_t (*)(Handle window, std::uint32_t message,
                                          std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace veltra

// The walk over the present interfaces of one device-interface class that the Windows adapters
// make for themselves (the HID interface of a camera, the USB hubs): the size query, the
// DWORD-aligned detail record and the device data of each interface.
#pragma once

#include "platform/win32/win32_windows.h"
// clang-format off
#include <setupapi.h>
// clang-format on

#include <cstddef>
#include <vector>

namespace veltra {

// Calls visit(set, device, path) for each present interface of the class whose detail could be
// read, at most maxInterfaces of them, until visit returns true (done). The set is destroyed
// before the walk returns.
template <typename Visit>
void ForEachPresentInterface(const GUID& cls, DWORD maxInterfaces, Visit visit) {
  HDEVINFO set =
      ::SetupDiGetClassDevsW(&cls, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    return;
  }
  constexpr DWORD kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  for (DWORD index = 0; index < maxInterfaces; ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (::SetupDiEnumDeviceInterfaces(set, nullptr, &cls, index, &data) == FALSE) {
      break;
    }
    DWORD required = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
    if (required <= kHeader) {
      continue;
    }
    // The detail record is DWORD-aligned; one more character keeps the path terminated.
    std::vector<DWORD> block((required + sizeof(WCHAR) + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (::SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, &device) ==
        FALSE) {
      continue;
    }
    if (visit(set, device, static_cast<const wchar_t*>(detail->DevicePath))) {
      break;
    }
  }
  ::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace veltra

#include "platform/win32/win32_device_change.h"

// clang-format off
#include "platform/win32/win32_windows.h"
#include <dbt.h>
// clang-format on

#include "platform/win32/win32_dialog_cast.h"

namespace veltra {

const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const GUID kUsbDeviceInterfaceClass = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

bool RegisterInterfaceNotification(Handle window, DeviceInterfaceClass cls) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid =
      cls == DeviceInterfaceClass::kHid ? kHidInterfaceClass : kUsbDeviceInterfaceClass;
  // The registration lasts as long as the window: it ends with the process.
  return RegisterDeviceNotificationW(FromInteger<HWND>(window), &filter,
                                     DEVICE_NOTIFY_WINDOW_HANDLE) != nullptr;
}

DeviceChange ToDeviceChange(WPARAM event, LPARAM header) {
  DeviceChange change;
  change.event = static_cast<std::uint32_t>(event);
  const auto* broadcast = FromInteger<const DEV_BROADCAST_HDR*>(header);
  if (broadcast == nullptr) {
    return change;
  }
  change.deviceType = broadcast->dbch_devicetype;
  if (broadcast->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
    const auto* device = FromInteger<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    if (IsEqualGUID(device->dbcc_classguid, kHidInterfaceClass)) {
      change.cls = DeviceInterfaceClass::kHid;
    } else if (IsEqualGUID(device->dbcc_classguid, kUsbDeviceInterfaceClass)) {
      change.cls = DeviceInterfaceClass::kUsbDevice;
    }
    change.path = device->dbcc_name;  // zero-terminated within the broadcast's size
  }
  return change;
}

}  // namespace veltra

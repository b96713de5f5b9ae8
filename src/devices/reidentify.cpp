// Putting the selection back on the updated camera after the list was rebuilt (every rebuild
// selects entry 0), or noticing that the camera chosen for an update has gone.
#include "devices/reidentify.h"

#include <algorithm>

#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/id_text.h"
#include "devices/usb_serial.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// Unique IDs are compared on their first 10 characters.
constexpr std::size_t kUniqueIdChars = 11;

void SelectEntry(int index) {
  g_nLastSelectedIndex = index;
  Dialog().ComboSetCurSel(index);
}

// Whether the record's path is one of the paths the last update saved; traces each comparison.
bool WasSaved(const UpdateSession& update, const DeviceRecord& record, int savedCount) {
  for (int j = 0; j < savedCount; ++j) {
    if (TextEqualsNoCase(record.devicePath, update.savedDevicePaths[j])) {
      DebugPrint(1, L"DBT_DEVICEARRIVAL: MatchUniqueIDForUpdatedDeviceDFU :Device macthed\r\n");
      return true;
    }
    DebugPrint(1, L"DBT_DEVICEARRIVAL: MatchUniqueIDForUpdatedDeviceDFU :Device not macthed\r\n");
  }
  return false;
}

// The record under the update's path when the unique ID names no one camera, or -1.
int CameraWithoutSerialUnderUpdatePath(const UpdateSession& update) {
  if (UniqueIDNamesOneCamera(update.USBUniqueID)) {
    return -1;
  }
  const int count = ListedDeviceCount();
  for (int i = 0; i < count; ++i) {
    if (ListedUnderUpdatePath(update, i)) {
      return i;
    }
  }
  return -1;
}

}  // namespace

bool ListedUnderUpdatePath(const UpdateSession& update, int i) {
  return update.szUpdateDevicePath[0] != L'\0' &&
         TextEqualsNoCase(g_DeviceTable[i].devicePath, update.szUpdateDevicePath);
}

int MatchUniqueIDForUpdatedDeviceHID(const UpdateSession& update) {
  try {
    const int byPath = CameraWithoutSerialUnderUpdatePath(update);
    if (byPath >= 0) {
      CameraLib().DeinitExtensionUnit();
      CameraLib().InitExtensionUnit(g_DeviceTable[byPath].devicePath);
      DebugPrint(1, L"MatchUniqueIDForUpdatedDeviceHID :: matched by path\r\n");
      SelectEntry(byPath);
      return 1;  // the matched camera's extension unit stays open
    }
    wchar_t wanted[kUniqueIdChars];
    CopyChars(wanted, kUniqueIdChars, update.USBUniqueID, kUniqueIdChars - 1);
    const int count = ListedDeviceCount();
    for (int i = 0; i < count; ++i) {
      DeviceRecord& record = g_DeviceTable[i];
      CameraLib().DeinitExtensionUnit();
      // A camera whose generic extension unit does not open (the Pesca and Tarsa families reach
      // theirs through their own channels) still has its serial: it is tested like any other,
      // so that the cameras listed after it are tested too.
      CameraLib().InitExtensionUnit(record.devicePath);
      wchar_t uCameraUniqueID[kUniqueIdChars] = {};
      if (EnumerateImageDevice(record.devicePath, uCameraUniqueID) != 0) {
        RawTrace(L"MatchUniqueIDForUpdatedDeviceHID :: EnumerateImageDevice for DFU Success\r\n");
      } else {
        RawTrace(L"EnumerateImageDevice Failed\r\n");
      }
      if (TextEquals(wanted, uCameraUniqueID)) {
        DebugPrint(1, L"g_USBUniqueID Serial Number = %ls\r\n", wanted);
        DebugPrint(1, L"uCameraUniqueID Serial Number = %ls\r\n", uCameraUniqueID);
        SelectEntry(i);
        return 1;  // the matched camera's extension unit stays open
      }
    }
    return 0;
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception MatchUniqueIDForUpdatedDeviceHID...\r\n");
    return 0;
  }
}

// The camera that came back is the first listed one whose path was not on the bus when the
// update started. Only the paths saved by the last update count; older entries of the saved
// table belong to earlier updates.
int MatchUniqueIDForUpdatedDeviceDFU(const UpdateSession& update) {
  const int savedCount = std::clamp(update.nSavedDeviceCount.load(), 0, kMaxDevices);
  const int count = ListedDeviceCount();
  for (int i = 0; i < count; ++i) {
    if (!WasSaved(update, g_DeviceTable[i], savedCount)) {
      SelectEntry(i);
      return 1;
    }
  }
  return 1;
}

void ArmUniqueIDMatchFromUpdateMode(UpdateSession& update, const wchar_t* devicePath) {
  wchar_t serial[kUniqueIdChars] = {};
  if (UniqueIDFromUsbDevicePath(devicePath, serial) == 0) {
    return;  // not a USB device path: nothing to find the camera by
  }
  CopyText(update.USBUniqueID, serial);
  DebugPrint(1, L"Update mode serial number = %ls\r\n", update.USBUniqueID);
  update.bMatchByUniqueID = 1;
}

int UpdateDeviceRemoved(UpdateSession& update) {
  try {
    const int count = ListedDeviceCount();
    for (int i = 0; i < count; ++i) {
      const DeviceRecord& record = g_DeviceTable[i];
      if (!TextEqualsNoCase(record.devicePath, update.szUpdateDevicePath)) {
        continue;
      }
      DebugPrint(1, L"DBT_REMOVED: UpdateDeviceRemoved :Device matched\r\n");
      SelectEntry(i);
      const bool extensionUnit = CameraLib().InitExtensionUnit(record.devicePath) != 0;
      Dialog().EnableItem(IDC_BTN_FW_UPDATE, true);
      Dialog().EnableItem(IDC_BTN_READFW_VERSION, extensionUnit);
      return 1;
    }
    // The camera the file was chosen for is gone: call the pending update off.
    update.bUpdateDeviceGone = 1;
    Dialog().EndDialog(Window::kConfirmDialog, 0);
    Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
    return 0;
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception UpdateDeviceRemoved...\r\n");
    return 0;
  }
}

}  // namespace veltra

// Arrival of a USB-device interface. Besides the rebuild, this is where an update resumes: a
// camera told to switch into update mode leaves the bus and comes back as a new USB device, is
// recognised as the one path that was not on the bus when the update started, is opened, and the
// update worker is started again.
#include "camera/device_change.h"
#include "camera/device_change_steps.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/known_devices.h"
#include "devices/ui_state.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "platform/ports.h"

namespace veltra {

using namespace camera;  // this folder's own helpers

namespace {

// The USB stack needs a moment after the arrival before the new device can be enumerated and
// opened; the flash loader's HID interface needs a moment more.
constexpr std::uint32_t kArrivalSettleMs = 2000;
constexpr std::uint32_t kHidLoaderSettleMs = 2000;

// Whether record i's path was on the bus when the update started. Both sides are upper-cased in
// place, so the table and the saved paths hold upper-case paths afterwards.
bool WasOnBusBefore(int i, int count) {
  UpperInPlace(g_DeviceTable[i].devicePath);
  for (int j = 0; j < count; ++j) {
    UpperInPlace(CurrentUpdate().savedDevicePaths[j]);
    if (TextEquals(g_DeviceTable[i].devicePath, CurrentUpdate().savedDevicePaths[j])) {
      DebugPrint(1, L"DBT_DEVICEARRIVAL:Device macthed\r\n");
      return true;
    }
    DebugPrint(1, L"DBT_DEVICEARRIVAL:Device not macthed\r\n");
  }
  return false;
}

// Opens the returning camera the way its update mode speaks: the flash loader over HID, every
// other update mode over WinUSB. A failure is left to the worker, which then reports the update
// as failed.
void OpenReturningCamera(int i, ArrivalVariant variant) {
  const wchar_t* path = g_DeviceTable[i].devicePath;
  if (ProductIdIs(i, kPidFlashLoader)) {
    Sys().Sleep(kHidLoaderSettleMs);
    if (CameraLib().Init_HIDHandle(path) == 0 && variant == ArrivalVariant::kNoMirel) {
      DebugPrint(1, L"Init_HIDHandle Failed \r\n");
    }
  } else {
    InitializeDevice(path);
  }
}

// Looks for the camera whose path is new since the update started. The variants that resume the
// download take the first new entry, open it and select it; the one that does not keeps looking,
// so that the last new entry ends up in g_nLastSelectedIndex.
void FindReturningCamera(ArrivalVariant variant) {
  int count = g_nDeviceCount.load();
  if (count > kMaxDevices) {
    count = kMaxDevices;
  }
  for (int i = 0; i < count; ++i) {
    if (WasOnBusBefore(i, count)) {
      continue;
    }
    g_nLastSelectedIndex = i;
    ReleaseDfuHandles();
    const std::uint8_t imageType = g_imageType.load();
    if (ProductIdIs(i, kPidPescaUpdateMode) && (imageType == 1 || imageType == 2)) {
      CurrentUpdate().bWriteFirstPart =
          1;  // a combined image goes in two passes, the first one now
    }
    if (variant == ArrivalVariant::kNoRestart) {
      continue;
    }
    OpenReturningCamera(i, variant);
    Dialog().ComboSetCurSel(i);
    return;
  }
}

// The update-mode part of the arrival: runs only while an update is under way.
void ResumeUpdate(ArrivalVariant variant) {
  const int fromHidMode = CurrentUpdate().bUpdatedFromHIDMode.load();
  const int fromDfu = CurrentUpdate().bIsStartUpdatedFromDFU.load();
  if (fromHidMode == 0 && fromDfu == 0) {
    return;
  }
  DebugPrint(1, L"g_bUpdatedFromHIDMode = %d and g_bIsStartUpdatedFromDFU = %d \r\n", fromHidMode,
             fromDfu);
  DebugPrint(1, L"DBT_DEVICEARRIVAL:Calling InitializeDevice for DFU\r\n");

  FindReturningCamera(variant);

  DebugPrint(1, L"Initialize_Device success and Device arrival \r\n");
  Dialog().ShowItem(IDC_STATIC_MODE_SWITCH, true);
  Dialog().ShowItem(IDC_STATIC_UPDATING, true);
  Dialog().ShowItem(IDC_STATIC_STATUS, true);
  Dialog().ShowItem(IDC_PROGRESS_BAR, true);
  SetUIState(UI_STATE_UPDATING);
  Dialog().EnableItem(IDC_BTN_EXIT, false);
  if (variant != ArrivalVariant::kNoRestart) {
    StartUpdateWorker(CurrentUpdate());
  }
}

}  // namespace

void SetDeviceArrivValueForWinUSBDevice(ArrivalVariant variant) {
  try {
    if (CurrentUpdate().bDownloadInProgress.load() != 0) {
      return;
    }
    Sys().Sleep(kArrivalSettleMs);
    if (RunDiscovery(DiscoveryOrder::kUsbDevicesFirst)) {
      // Something came back: the camera did switch, so the mode-switch time-out is moot.
      Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
      CurrentUpdate().bAwaitingModeSwitch = 0;
      RebuildDeviceList(variant == ArrivalVariant::kNoRestart ? ListForm::kNoCypress
                                                              : ListForm::kFull);
      ReopenCameraLibrary(variant == ArrivalVariant::kFull);
      CheckUpdateDeviceStillListed();
      BringToFront();
      // The list fill has just started a boot-loader download itself; a second worker must not
      // be started for the same device.
      if (g_bLoaderThreadStarted.exchange(0) != 0) {
        return;
      }
    } else {
      RemoveDeviceNameInCombbox();
      SetUIState(UI_STATE_NO_DEVICE);
    }
    ResumeUpdate(variant);
  } catch (...) {
    DebugPrint(1, L"SetDeviceArrivValueForWinUSBDevice exception...\r\n");
  }
}

}  // namespace veltra

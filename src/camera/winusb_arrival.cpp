// Arrival of a USB-device interface. Besides the rebuild, this is where an update resumes: a
// camera told to switch into update mode leaves the bus and comes back as a new USB device, is
// recognised by the one rule of devices/reidentify.h, is opened, and the update worker is started
// again.
#include "camera/device_change.h"
#include "camera/device_change_steps.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/reidentify.h"
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

// Opens the returning camera the way its update mode speaks: the flash loader over HID, every
// other update mode over WinUSB. A failure is left to the worker, which then reports the update
// as failed.
void OpenReturningCamera(DfuLink& link, int i, ArrivalVariant variant) {
  const wchar_t* path = Controller().List().DeviceTable[i].devicePath;
  if (ProductRuleAt(i).mode == DeviceMode::kFlashLoader) {
    Sys().Sleep(kHidLoaderSettleMs);
    if (CameraLib().Init_HIDHandle(path) == 0 && variant == ArrivalVariant::kNoMirel) {
      DebugPrint(1, L"Init_HIDHandle Failed \r\n");
    }
  } else {
    InitializeDevice(link, path);
  }
}

// The update-mode part of the arrival: runs only while an update is under way. The camera that
// is back in its update mode is opened and selected, and the worker started for its pass, by
// whichever arrival finds it first: which handler an arrival reaches depends on the entry
// selected before it, and on a desk with the camera alone that is the boot ROM it has just
// left. While the pass's worker runs, nothing is opened, freed or started.
void ResumeUpdate(UpdateSession& update, ArrivalVariant variant) {
  const int fromHidMode = update.bUpdatedFromHIDMode.load();
  const int fromDfu = update.bIsStartUpdatedFromDFU.load();
  if (fromHidMode == 0 && fromDfu == 0) {
    return;
  }
  DebugPrint(1, L"g_bUpdatedFromHIDMode = %d and g_bIsStartUpdatedFromDFU = %d \r\n", fromHidMode,
             fromDfu);
  DebugPrint(1, L"DBT_DEVICEARRIVAL:Calling InitializeDevice for DFU\r\n");

  const bool workerRunning = update.bWorkerRunning.load() != 0;
  const FoundCamera returning =
      workerRunning ? FoundCamera{} : FindUpdatedCamera(update.camera, ListedAs::kUpdateMode);
  if (returning.result == CameraFound::kMoreThanOne) {
    // Two devices in update mode answer alike to the camera: writing either could be writing
    // another camera.
    DebugPrint(1, L"DBT_DEVICEARRIVAL:more than one device may be the updated camera\r\n");
    update.Observer().OnReturnWaitOver();
    update.EndFailed();
    update.bCameraLeft = 0;
    update.Observer().OnDone(UpdateOutcome::kDownloadFailed, kTextMoreThanOneCamera);
    return;
  }
  const int found = returning.index;
  if (found < 0 && !workerRunning && fromHidMode != 0 && update.bCameraLeft.load() != 0 &&
      UpdatedCameraRunsItsFirmware(update)) {
    // It left and came back as it was: there is no update mode to wait for any more. Another
    // camera without a serial shares its made-up ID, so that ID alone never says it is back.
    DebugPrint(1, L"DBT_DEVICEARRIVAL:Updated device back without update mode\r\n");
    update.bCameraLeft = 0;
    EndUpdateWithoutUpdateMode(update);
    return;
  }
  if (found >= 0) {
    // The camera is back: the bound on its return is met.
    update.Observer().OnReturnWaitOver();
    update.CameraBack();
    update.bCameraLeft = 0;
    CopyText(update.szTakenDevicePath, Controller().List().DeviceTable[found].devicePath);
    Controller().List().nLastSelectedIndex = found;
    ReleaseDfuHandles(update.link);
    const std::uint8_t imageType = SelectedImageType(update);
    if (IsPescaUpdateMode(ProductRuleAt(found)) && (imageType == 1 || imageType == 2)) {
      // A combined image goes in two passes, the first one now.
      update.SetWriteFirstPart(true);
    }
    // The route is the returning camera's: written through the flash loader only when it is one.
    update.bNXPMode = ProductRuleAt(found).mode == DeviceMode::kFlashLoader ? 1 : 0;
    OpenReturningCamera(update.link, found, variant);
    update.Observer().OnEntrySelected(found);
    DebugPrint(1, L"Initialize_Device success and Device arrival \r\n");
  }
  // The rebuild showed the ready state; the update is still under way.
  update.Observer().OnUpdateResumes();
  if (found >= 0) {
    StartUpdateWorker(update);
  }
}

}  // namespace

void SetDeviceArrivValueForWinUSBDevice(UpdateSession& update, ArrivalVariant variant) {
  try {
    if (update.DownloadInProgress()) {
      return;
    }
    Sys().Sleep(kArrivalSettleMs);
    if (RunDiscovery(update, DiscoveryOrder::kUsbDevicesFirst)) {
      // The bound on the camera's return stays: only the camera found (below) meets it.
      RebuildDeviceList(
          update, variant == ArrivalVariant::kNoRestart ? ListForm::kNoCypress : ListForm::kFull);
      ReopenCameraLibrary(update, variant == ArrivalVariant::kFull);
      // Which of the two arrivals of a camera back in its normal mode comes here depends on the
      // entry selected before them; either may be the one that finds it.
      ReselectUpdatedCamera(update);
      ConcludeNxpRestart(update);
      CheckUpdateDeviceStillListed(update);
      BringToFront(update);
      // The list fill has just started a boot-loader download itself; a second worker must not
      // be started for the same device.
      if (Controller().BootLoader().bLoaderThreadStarted.exchange(0) != 0) {
        return;
      }
    } else {
      RemoveDeviceNameInCombbox(update);
      update.Observer().OnUiState(UiState::kNoDevice);
    }
    ResumeUpdate(update, variant);
  } catch (...) {
    DebugPrint(1, L"SetDeviceArrivValueForWinUSBDevice exception...\r\n");
  }
}

}  // namespace veltra

// The device list (combo box 1012): one entry per device-table record, rebuilt from scratch after
// every discovery. The rebuild is also where a camera found waiting in a chip vendor's boot loader
// is taken over: an FX3 boot ROM or an RT1060 ROM record starts its download thread at once and
// shows as an empty entry instead of a selectable camera.
#include <algorithm>

#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "devices/device_table.h"
#include "devices/id_text.h"
#include "devices/known_devices.h"
#include "devices/reidentify.h"
#include "dfu/dfu_requests.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/nxp_download.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kBootLoaderTrace = L"\r\n***Device In Cypress BootLoader ***\r\n";

// The boot-loader tests upper-case the record's texts in place, as every later reader of the
// table sees them: the product ID always, the vendor ID only when the product ID matched.
bool IsBootLoaderRecord(DeviceRecord& record, const wchar_t* vid, const wchar_t* pid) {
  UpperInPlace(record.pidText);
  if (!TextEquals(record.pidText, pid)) {
    return false;
  }
  UpperInPlace(record.vidText);
  return TextEquals(record.vidText, vid);
}

using LoaderBody = std::uint32_t (*)(BootLoaderStep& step, UpdateSession& update);

// Starts a boot-loader download thread on the list's step; false when no thread could be
// created.
bool StartLoaderThread(UpdateSession& update, LoaderBody body) {
  BootLoaderStep& step = g_bootLoaderStep;
  step.bLoaderThreadStarted = 1;
  const Handle thread = Sys().StartThread([body, &step, &update] { return body(step, update); });
  update.KeepFirmwareThread(thread);
  if (thread == kNullHandle) {
    update.Observer().OnDone(UpdateOutcome::kNoWorkerThread, nullptr);
    return false;
  }
  return true;
}

void SelectPath(const DeviceRecord& record) {
  CopyText(g_szSelectedDevicePath, record.devicePath);
  RawTrace(g_szSelectedDevicePath);
}

// The FX3 boot ROM: load the boot image and write it into the controller's RAM through the
// Cypress driver, on the handle Initialize_USBHanlde records.
void TakeOverFx3(UpdateSession& update, const DeviceRecord& record) {
  LoadFX3BootImage(g_bootLoaderStep.loaderImage);
  ReleaseDfuHandles(update.link);
  // The handle of an earlier take-over (a ROM that has left since) is closed, not leaked.
  CloseFx3Handle(update.link);
  SelectPath(record);
  Initialize_USBHanlde(update.link, g_szSelectedDevicePath);
  DebugPrint(1, kBootLoaderTrace);
  StartLoaderThread(update, &DoDownloadCypress);
}

// The RT1060 ROM: send the flash loader over the ROM's HID channel. The busy flag is armed here,
// before the thread runs, so that the next rebuild does not start a second download.
void TakeOverRt1060(UpdateSession& update, const DeviceRecord& record) {
  BootLoaderStep& step = g_bootLoaderStep;
  step.bLoaderDownloadBusy = 1;
  SelectPath(record);
  LoadNXPFlashLoader(step.loaderImage);
  CameraLib().DeinitExtensionUnit();
  SelectPath(record);
  if (CameraLib().Init_HIDHandle(g_szSelectedDevicePath) == 0) {
    DebugPrint(1, L"\rInit_HIDHandle Failed\r\n");
    // No download runs that would ever clear it; left set, every later rebuild would stop here.
    step.bLoaderDownloadBusy = 0;
    return;
  }
  DebugPrint(1, kBootLoaderTrace);
  if (!StartLoaderThread(update, &DoDownloadNXPCypress)) {
    step.bLoaderDownloadBusy = 0;  // same reason: nothing would clear it
  }
}

// Selects entry 0 and takes the selection from it. With no entry the list reports -1, and the
// selected path is cleared rather than taken from outside the table.
void SelectFirstEntry() {
  g_nLastSelectedIndex = 0;
  Dialog().ComboSetCurSel(0);
  const int selected = Dialog().ComboGetCurSel();
  g_nSelectedIndex = selected;
  DebugPrint(1, L"Current selected index = %d \r\n", selected);
  const int count = std::min(g_nDeviceCount.load(), kMaxDevices);
  if (selected >= 0 && selected < count) {
    CopyText(g_szSelectedDevicePath, g_DeviceTable[selected].devicePath);
  } else {
    g_szSelectedDevicePath[0] = L'\0';
  }
  RawTrace(g_szSelectedDevicePath);
}

// The take-over of the camera's own boot ROM meets the bound on its return (the loaded program's
// wait has its own); a ROM of another device leaves it running.
void StopBoundForOwnRom(const UpdateSession& update, int i) {
  if (update.AwaitingModeSwitch() &&
      FindUpdatedCamera(update.camera, ListedAs::kBootRom).index == i) {
    Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
  }
}

void RebuildList(UpdateSession& update, bool fx3TakeOver) {
  try {
    DebugPrint(1, L"IDC_COMBO_DEVICELIST AddDeviceNameInCombbox\r\n");
    Dialog().ComboReset();
    const int count = std::min(g_nDeviceCount.load(), kMaxDevices);
    for (int i = 0; i < count; ++i) {
      DeviceRecord& record = g_DeviceTable[i];
      wchar_t entry[kPathChars] = {};
      if (fx3TakeOver && IsBootLoaderRecord(record, kVidCypress, kPidFx3Rom)) {
        if (g_bootLoaderStep.bLoaderDownloadBusy != 0) {
          break;  // a download runs: nothing from this record on is listed
        }
        StopBoundForOwnRom(update, i);
        TakeOverFx3(update, record);
      } else if (IsBootLoaderRecord(record, kVidNxp, kPidRt1060Rom)) {
        if (g_bootLoaderStep.bLoaderDownloadBusy != 0) {
          break;
        }
        StopBoundForOwnRom(update, i);
        TakeOverRt1060(update, record);
      } else {
        FormatText(entry, kPathChars, L"%ls(VID_%ls,PID_%ls_%d)", record.friendlyName,
                   record.vidText, record.pidText, i);
      }
      RawTrace(entry);
      RawTrace(entry);
      Dialog().ComboAddString(entry);
    }
    SelectFirstEntry();
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception AddDeviceNameInCombbox...\r\n");
  }
}

}  // namespace

void AddDeviceNameInCombbox(UpdateSession& update) {
  RebuildList(update, true);
}

void AddDeviceNameInCombboxNoCypress(UpdateSession& update) {
  RebuildList(update, false);
}

void RemoveDeviceNameInCombbox() {
  DebugPrint(1, L"IDC_COMBO_DEVICELIST RemoveDeviceNameInCombbox\r\n");
  Dialog().ComboReset();
}

}  // namespace veltra

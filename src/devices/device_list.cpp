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

// The ROM is the updated camera's when it is of the kind the update's route leads to, the update
// waits for its camera, the camera has left, and the one rule that finds the camera takes this
// ROM. Any other ROM is loaded all the same, but its outcome never ends, stalls or re-arms the
// update.
bool RomOfTheUpdate(const UpdateSession& update, const wchar_t* path, UpdateRom kind) {
  if (Controller().BootLoader().updateRom.load() != kind ||
      update.bUpdatedFromHIDMode.load() == 0 || update.bCameraLeft.load() == 0) {
    return false;
  }
  const FoundCamera found = FindUpdatedCamera(update.camera, ListedAs::kBootRom);
  return found.result == CameraFound::kFound && found.index >= 0 &&
         found.index < Controller().List().Listed() &&
         TextEqualsNoCase(Controller().List().DeviceTable[found.index].devicePath, path);
}

// Tells the dialog, once this rebuild is over, what stopped a take-over.
void PostNotice(std::uintptr_t problem, bool fx3, bool ofUpdate, std::uint32_t length) {
  const std::uintptr_t wParam =
      problem | (fx3 ? kNoticeFx3File : 0) | (ofUpdate ? kNoticeOfUpdate : 0);
  Dialog().PostToDialog(WM_APP_LOADER_NOTICE, wParam, static_cast<std::intptr_t>(length));
}

// The take-over of the camera's own boot ROM meets the bound on its return (the loaded program's
// wait has its own); a ROM of another device leaves it running. Only a take-over that starts its
// download stops it: one refused before (a loader file that cannot be used, a channel that does
// not open) leaves the minute to end the update with its message.
void StopBoundForOwnRom(const UpdateSession& update, const DeviceRecord& record) {
  if (!update.AwaitingModeSwitch()) {
    return;
  }
  const FoundCamera found = FindUpdatedCamera(update.camera, ListedAs::kBootRom);
  if (found.result == CameraFound::kFound && found.index >= 0 &&
      found.index < Controller().List().Listed() &&
      TextEqualsNoCase(Controller().List().DeviceTable[found.index].devicePath,
                       record.devicePath)) {
    Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
  }
}

// Starts a boot-loader download thread on the list's step. The busy flag is set before the
// thread exists, so that a second ROM in the same rebuild waits for its turn instead of taking
// the loader buffer and the handle from under the first. False when no thread could be created:
// the ROM is then held and the user told after the rebuild.
bool StartLoaderThread(UpdateSession& update, const DeviceRecord& record, LoaderBody body,
                       UpdateRom kind) {
  BootLoaderStep& step = Controller().BootLoader();
  BeginLoaderDownload(step, record.devicePath, RomOfTheUpdate(update, record.devicePath, kind));
  step.bLoaderThreadStarted = 1;
  StopBoundForOwnRom(update, record);
  const Handle thread = Sys().StartThread([body, &step, &update] { return body(step, update); });
  update.KeepFirmwareThread(thread);
  if (thread == kNullHandle) {
    step.bLoaderDownloadBusy = 0;
    step.bLoaderThreadStarted = 0;
    ReleasePayload(step.loaderImage);
    CloseFx3Handle(step.fx3Link);
    HoldBootRom(step, record.devicePath);
    PostNotice(kNoticeNoThread, false, step.romOfUpdate.load() != 0, 0);
    return false;
  }
  return true;
}

void SelectPath(const DeviceRecord& record) {
  CopyText(Controller().List().szSelectedDevicePath, record.devicePath);
  RawTrace(Controller().List().szSelectedDevicePath);
}

// A loader file that cannot be used: nothing is sent, the ROM is held, and the user is told once
// the rebuild is over.
void RefuseLoaderFile(UpdateSession& update, const DeviceRecord& record, LoaderFileProblem problem,
                      bool fx3, std::uint32_t length) {
  BootLoaderStep& step = Controller().BootLoader();
  ReleasePayload(step.loaderImage);
  HoldBootRom(step, record.devicePath);
  PostNotice(static_cast<std::uintptr_t>(problem), fx3,
             RomOfTheUpdate(update, record.devicePath, fx3 ? UpdateRom::kFx3 : UpdateRom::kRt1060),
             length);
}

// The FX3 boot ROM: load the boot image and write it into the controller's RAM through the
// Cypress driver, on a handle of the take-over's own (the update's DFU connection stays as it is).
void TakeOverFx3(UpdateSession& update, const DeviceRecord& record) {
  BootLoaderStep& step = Controller().BootLoader();
  const LoaderFileProblem problem = LoadFX3BootImage(step.loaderImage);
  if (problem != LoaderFileProblem::kNone) {
    RefuseLoaderFile(update, record, problem, true, 0);
    return;
  }
  // The handle of an earlier take-over, should one be left, is closed, not leaked.
  CloseFx3Handle(step.fx3Link);
  SelectPath(record);
  Initialize_USBHanlde(step.fx3Link, Controller().List().szSelectedDevicePath);
  DebugPrint(1, kBootLoaderTrace);
  StartLoaderThread(update, record, &DoDownloadCypress, UpdateRom::kFx3);
}

// The RT1060 ROM: send the flash loader over the ROM's HID channel.
void TakeOverRt1060(UpdateSession& update, const DeviceRecord& record) {
  BootLoaderStep& step = Controller().BootLoader();
  SelectPath(record);
  std::uint32_t length = 0;
  const LoaderFileProblem problem = LoadNXPFlashLoader(step.loaderImage, &length);
  if (problem != LoaderFileProblem::kNone) {
    RefuseLoaderFile(update, record, problem, false, length);
    return;
  }
  CameraLib().DeinitExtensionUnit();
  SelectPath(record);
  if (CameraLib().Init_HIDHandle(Controller().List().szSelectedDevicePath) == 0) {
    DebugPrint(1, L"\rInit_HIDHandle Failed\r\n");
    ReleasePayload(step.loaderImage);
    HoldBootRom(step, record.devicePath);
    return;
  }
  DebugPrint(1, kBootLoaderTrace);
  StartLoaderThread(update, record, &DoDownloadNXPCypress, UpdateRom::kRt1060);
}

// A held ROM that this rebuild no longer finds has left the bus: it is taken over when it comes
// again.
void ReleaseRomsThatLeft(BootLoaderStep& step, int count) {
  auto gone = [count](const std::wstring& held) {
    for (int i = 0; i < count; ++i) {
      if (TextEqualsNoCase(Controller().List().DeviceTable[i].devicePath, held.c_str())) {
        return false;
      }
    }
    return true;
  };
  step.heldRoms.erase(std::remove_if(step.heldRoms.begin(), step.heldRoms.end(), gone),
                      step.heldRoms.end());
}

// Selects entry 0 and takes the selection from it. With no entry the list reports -1, and the
// selected path is cleared rather than taken from outside the table.
void SelectFirstEntry() {
  Controller().List().nLastSelectedIndex = 0;
  Dialog().ComboSetCurSel(0);
  const int selected = Dialog().ComboGetCurSel();
  Controller().List().nSelectedIndex = selected;
  DebugPrint(1, L"Current selected index = %d \r\n", selected);
  const int count = Controller().List().Listed();
  if (selected >= 0 && selected < count) {
    CopyText(Controller().List().szSelectedDevicePath,
             Controller().List().DeviceTable[selected].devicePath);
  } else {
    Controller().List().szSelectedDevicePath[0] = L'\0';
  }
  RawTrace(Controller().List().szSelectedDevicePath);
}

void RebuildList(UpdateSession& update, bool fx3TakeOver) {
  try {
    DebugPrint(1, L"IDC_COMBO_DEVICELIST AddDeviceNameInCombbox\r\n");
    Dialog().ComboReset();
    const int count = Controller().List().Listed();
    for (int i = 0; i < count; ++i) {
      DeviceRecord& record = Controller().List().DeviceTable[i];
      wchar_t entry[kPathChars] = {};
      const bool fx3Rom = fx3TakeOver && IsBootLoaderRecord(record, kVidCypress, kPidFx3Rom);
      if (fx3Rom || IsBootLoaderRecord(record, kVidNxp, kPidRt1060Rom)) {
        // One ROM is loaded at a time: while a download runs, or while this ROM is held after a
        // failed take-over, it shows as an empty entry and waits; the records after it are
        // listed all the same (the updated camera may be among them).
        if (Controller().BootLoader().bLoaderDownloadBusy.load() == 0 &&
            !BootRomHeld(Controller().BootLoader(), record.devicePath)) {
          fx3Rom ? TakeOverFx3(update, record) : TakeOverRt1060(update, record);
        }
      } else {
        FormatText(entry, kPathChars, L"%ls(VID_%ls,PID_%ls_%d)", record.friendlyName,
                   record.vidText, record.pidText, i);
      }
      RawTrace(entry);
      RawTrace(entry);
      Dialog().ComboAddString(entry);
    }
    ReleaseRomsThatLeft(Controller().BootLoader(), count);
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

bool BootRomHeld(const BootLoaderStep& step, const wchar_t* path) {
  return std::any_of(step.heldRoms.begin(), step.heldRoms.end(), [path](const std::wstring& held) {
    return TextEqualsNoCase(held.c_str(), path);
  });
}

void HoldBootRom(BootLoaderStep& step, const wchar_t* path) {
  if (path != nullptr && path[0] != L'\0' && !BootRomHeld(step, path)) {
    step.heldRoms.emplace_back(path);
  }
}

void ReleaseBootRomThatLeft(BootLoaderStep& step, const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') {
    return;
  }
  if (step.bLoaderDownloadBusy.load() != 0 && TextEqualsNoCase(step.romPath.c_str(), path)) {
    step.romLeftDuringLoad = 1;
  }
  {
    std::lock_guard<std::mutex> lock(step.endedMutex);
    for (EndedLoad& load : step.ended) {
      load.romLeft = load.romLeft || TextEqualsNoCase(load.romPath.c_str(), path);
    }
  }
  step.heldRoms.erase(std::remove_if(step.heldRoms.begin(), step.heldRoms.end(),
                                     [path](const std::wstring& held) {
                                       return TextEqualsNoCase(held.c_str(), path);
                                     }),
                      step.heldRoms.end());
}

void RemoveDeviceNameInCombbox() {
  DebugPrint(1, L"IDC_COMBO_DEVICELIST RemoveDeviceNameInCombbox\r\n");
  Dialog().ComboReset();
}

}  // namespace veltra

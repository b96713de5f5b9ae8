// The device list: one entry per device-table record, rebuilt from scratch after every discovery.
// The rebuild is also where a camera found waiting in a chip vendor's boot loader is taken over:
// an FX3 boot ROM or an RT1060 ROM record is made ready for its download, which the caller starts
// once the rebuild is over, and shows as an empty entry instead of a selectable camera.
#include <algorithm>

#include "core/debug_trace.h"
#include "core/text.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/id_text.h"
#include "devices/reidentify.h"
#include "dfu/dfu_requests.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/nxp_download.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kBootLoaderTrace = L"\r\n***Device In Cypress BootLoader ***\r\n";

// A chip vendor's boot ROM whose loader is `route`. The boot-loader tests upper-case the record's
// texts in place, as every later reader of the table sees them: the product ID always, the vendor
// ID only when the product ID is that of such a ROM.
bool IsBootLoaderRecord(DeviceRecord& record, UpdateRoute route) {
  const auto romOfRoute = [route](const DeviceRule& rule) {
    return rule.mode == DeviceMode::kBootRom && rule.route == route;
  };
  UpperInPlace(record.pidText);
  if (!romOfRoute(DeviceRules().LookupProduct(record.pidText))) {
    return false;
  }
  UpperInPlace(record.vidText);
  return romOfRoute(DeviceRules().Lookup(record.vidText, record.pidText));
}

using LoaderBody = decltype(TakeOver::body);

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

// Tells the dialog what stopped a take-over; it tells the user once this rebuild is over.
void PostNotice(UpdateSession& update, std::uintptr_t problem, bool fx3, bool ofUpdate,
                std::uint32_t length) {
  const std::uintptr_t wParam =
      problem | (fx3 ? kNoticeFx3File : 0) | (ofUpdate ? kNoticeOfUpdate : 0);
  update.Observer().OnTakeOverProblem(wParam, length);
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
    update.Observer().OnReturnWaitOver();
  }
}

// Makes a boot-loader download ready on the list's step. The busy flag is set before the thread
// exists, so that a second ROM in the same rebuild waits for its turn instead of taking the
// loader buffer and the handle from under the first.
TakeOver ReadyLoaderThread(UpdateSession& update, const DeviceRecord& record, LoaderBody body,
                           UpdateRom kind) {
  BootLoaderStep& step = Controller().BootLoader();
  BeginLoaderDownload(step, record.devicePath, RomOfTheUpdate(update, record.devicePath, kind));
  step.bLoaderThreadStarted = 1;
  StopBoundForOwnRom(update, record);
  return TakeOver{body, record.devicePath};
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
  PostNotice(update, static_cast<std::uintptr_t>(problem), fx3,
             RomOfTheUpdate(update, record.devicePath, fx3 ? UpdateRom::kFx3 : UpdateRom::kRt1060),
             length);
}

// The FX3 boot ROM: load the boot image and write it into the controller's RAM through the
// Cypress driver, on a handle of the take-over's own (the update's DFU connection stays as it is).
std::optional<TakeOver> TakeOverFx3(UpdateSession& update, const DeviceRecord& record) {
  BootLoaderStep& step = Controller().BootLoader();
  const LoaderFileProblem problem = LoadFX3BootImage(step.loaderImage);
  if (problem != LoaderFileProblem::kNone) {
    RefuseLoaderFile(update, record, problem, true, 0);
    return std::nullopt;
  }
  // The handle of an earlier take-over, should one be left, is closed, not leaked.
  CloseFx3Handle(step.fx3Link);
  SelectPath(record);
  Initialize_USBHanlde(step.fx3Link, Controller().List().szSelectedDevicePath);
  DebugPrint(1, kBootLoaderTrace);
  return ReadyLoaderThread(update, record, &DoDownloadCypress, UpdateRom::kFx3);
}

// The RT1060 ROM: send the flash loader over the ROM's HID channel.
std::optional<TakeOver> TakeOverRt1060(UpdateSession& update, const DeviceRecord& record) {
  BootLoaderStep& step = Controller().BootLoader();
  SelectPath(record);
  std::uint32_t length = 0;
  const LoaderFileProblem problem = LoadNXPFlashLoader(step.loaderImage, &length);
  if (problem != LoaderFileProblem::kNone) {
    RefuseLoaderFile(update, record, problem, false, length);
    return std::nullopt;
  }
  CameraLib().DeinitExtensionUnit();
  SelectPath(record);
  if (CameraLib().Init_HIDHandle(Controller().List().szSelectedDevicePath) == 0) {
    DebugPrint(1, L"\rInit_HIDHandle Failed\r\n");
    ReleasePayload(step.loaderImage);
    HoldBootRom(step, record.devicePath);
    return std::nullopt;
  }
  DebugPrint(1, kBootLoaderTrace);
  return ReadyLoaderThread(update, record, &DoDownloadNXPCypress, UpdateRom::kRt1060);
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

// Selects entry 0 and takes the selection from it. With no entry nothing is selected (-1), and
// the selected path is cleared rather than taken from outside the table.
void SelectFirstEntry(UpdateSession& update) {
  Controller().List().nLastSelectedIndex = 0;
  update.Observer().OnEntrySelected(0);
  // The list holds one entry per record: entry 0 exists when a record does.
  const int selected = Controller().List().Listed() > 0 ? 0 : -1;
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

std::optional<TakeOver> RebuildList(UpdateSession& update, bool fx3TakeOver) {
  std::optional<TakeOver> takeOver;
  try {
    DebugPrint(1, L"IDC_COMBO_DEVICELIST AddDeviceNameInCombbox\r\n");
    update.Observer().OnListCleared();
    const int count = Controller().List().Listed();
    for (int i = 0; i < count; ++i) {
      DeviceRecord& record = Controller().List().DeviceTable[i];
      wchar_t entry[kPathChars] = {};
      const bool fx3Rom = fx3TakeOver && IsBootLoaderRecord(record, UpdateRoute::kFx3Loader);
      if (fx3Rom || IsBootLoaderRecord(record, UpdateRoute::kNxpLoader)) {
        // One ROM is loaded at a time: while a download runs, or while this ROM is held after a
        // failed take-over, it shows as an empty entry and waits; the records after it are
        // listed all the same (the updated camera may be among them).
        if (Controller().BootLoader().bLoaderDownloadBusy.load() == 0 &&
            !BootRomHeld(Controller().BootLoader(), record.devicePath)) {
          takeOver = fx3Rom ? TakeOverFx3(update, record) : TakeOverRt1060(update, record);
        }
      } else {
        FormatText(entry, kPathChars, L"%ls(VID_%ls,PID_%ls_%d)", record.friendlyName,
                   record.vidText, record.pidText, i);
      }
      RawTrace(entry);
      RawTrace(entry);
      update.Observer().OnListEntry(entry);
    }
    ReleaseRomsThatLeft(Controller().BootLoader(), count);
    SelectFirstEntry(update);
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception AddDeviceNameInCombbox...\r\n");
  }
  return takeOver;
}

}  // namespace

std::optional<TakeOver> AddDeviceNameInCombbox(UpdateSession& update) {
  return RebuildList(update, true);
}

std::optional<TakeOver> AddDeviceNameInCombboxNoCypress(UpdateSession& update) {
  return RebuildList(update, false);
}

bool StartTakeOver(UpdateSession& update, const TakeOver& takeOver) {
  BootLoaderStep& step = Controller().BootLoader();
  const LoaderBody body = takeOver.body;
  const Handle thread = Sys().StartThread([body, &step, &update] { return body(step, update); });
  update.KeepFirmwareThread(thread);
  if (thread == kNullHandle) {
    DebugPrint(1, L"StartTakeOver: no thread for the boot loader download, error %u\r\n",
               static_cast<unsigned>(Sys().GetLastError()));
    step.bLoaderDownloadBusy = 0;
    step.bLoaderThreadStarted = 0;
    ReleasePayload(step.loaderImage);
    CloseFx3Handle(step.fx3Link);
    HoldBootRom(step, takeOver.romPath.c_str());
    PostNotice(update, kNoticeNoThread, false, step.romOfUpdate.load() != 0, 0);
    return false;
  }
  return true;
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

void RemoveDeviceNameInCombbox(UpdateSession& update) {
  DebugPrint(1, L"IDC_COMBO_DEVICELIST RemoveDeviceNameInCombbox\r\n");
  update.Observer().OnListCleared();
}

}  // namespace veltra

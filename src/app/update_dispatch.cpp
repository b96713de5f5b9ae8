// The confirmation dialog 130 and the update dispatch behind its OK: by the selected camera's
// family the update starts with a mode-switch command (the device-change handling takes over when
// the camera comes back in update mode), with the update worker at once (a camera already in
// update mode), through the Sunplus library, or with the HID erase and reset of a CX3 camera.
//
// The waits stay on the dialog thread, in the order of the steps; on the bench they cost nothing.
#include <cstring>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "app/ui_state.h"
#include "camera/update_worker.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/reidentify.h"
#include "devices/selected_record.h"
#include "devices/usb_serial.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "loaders/loader_checks.h"
#include "loaders/sunplus_download.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::uint32_t kAfterConfirmWaitMs = 1000;
constexpr std::uint32_t kAfterStartWaitMs = 5000;
constexpr std::uint32_t kModeSwitchTimeoutMs = 60000;
constexpr std::uint32_t kEraseBlinkMs = 200;
constexpr int kIdCancelButton = 2;  // IDCANCEL: Esc

constexpr const wchar_t* kTextEnteringUpdateMode = L"Device Entering into Firmware update mode";
constexpr const wchar_t* kTraceSwitchFailed = L"Alert : Check FirmwareUpdate\r\n";
// The Sunplus route's messages: the longest names the program's folder.
constexpr std::size_t kSunplusTextChars = 640;
constexpr const wchar_t* kTextMirelNotOpened =
    L"The camera could not be opened for its update. Nothing was written to the camera.\r\n"
    L"Please re-plug the camera and try again.";

// The CX3 camera's HID command reports and its reply status byte.
constexpr std::uint8_t kReportErase[4] = {0xAA, 0x01, 0x00, 0x00};
constexpr std::uint8_t kReportReset[4] = {0xAA, 0x02, 0x00, 0x00};
constexpr std::int32_t kReportLength = 4;
constexpr std::size_t kReplyBytes = 64;
constexpr std::size_t kReplyStatus = 1;
constexpr std::uint8_t kStatusDone = 0;
constexpr std::uint8_t kStatusResetFailed = 3;
constexpr int kErasePolls = 100;
constexpr std::uint32_t kErasePollMs = 10;
constexpr int kResetAttempts = 10;
constexpr std::uint32_t kResetWaitMs = 100;

enum class Family { kPesca, kTarsa, kGeneric };

// Shows the mode-switch notice, the status line and the bar.
void ShowUpdateControls() {
  Dialog().ShowItem(IDC_STATIC_MODE_SWITCH, true);
  Dialog().ShowItem(IDC_STATIC_STATUS, true);
  Dialog().ShowItem(IDC_PROGRESS_BAR, true);
}

// A camera running its normal firmware is told to enter its update mode. The removal that
// follows is ignored, and the camera is found again by its USB serial when it returns.
void ModeSwitch(UpdateSession& update, Family family) {
  Controller().BootLoader().updateRom = UpdateRom::kRt1060;  // an NXP camera restarts in its ROM
  update.bMatchByUniqueID = 1;
  update.USBUniqueID[0] = L'\0';
  EnumerateImageDevice(Controller().List().szSelectedDevicePath, update.USBUniqueID);
  DebugPrint(1, L"Firmware update button ::EnumerateImageDevice For Serial Number =%ls \r\n",
             update.USBUniqueID);
  update.bUpdatedFromHIDMode = 1;
  SetUIState(update, UiState::kUpdating);
  update.Advance(UpdatePhase::kAwaitingModeSwitch);

  std::int32_t result = 0;
  switch (family) {
    case Family::kPesca:
      result = CameraLib().SetExtensionUnitValueForPesca(5, 1);
      break;
    case Family::kTarsa:
      result = CameraLib().FallbacktoFWTarsa();
      break;
    case Family::kGeneric:
      result = CameraLib().FirmwareUpdate(SelectedImageType(update));
      update.bCameraStartsAfresh = result == kFirmwareUpdateFreshStart ? 1 : 0;
      break;
  }
  // A failed command is only traced: a camera may switch all the same. Timer 2 ends the update
  // with a message if the camera does not come back, for every family.
  if (result == 0) {
    DebugPrint(1, kTraceSwitchFailed);
  }
  Dialog().SetTimer(IDT_TIMER_FOR_HD_ISSUE, kModeSwitchTimeoutMs);
  if (family == Family::kGeneric) {
    Dialog().SetItemText(IDC_STATIC_UPDATING, L"");
  } else {
    Dialog().ShowItem(IDC_STATIC_UPDATING, false);
  }
  Dialog().SetItemText(IDC_STATIC_STATUS, kTextErasing);
  Dialog().ShowItem(IDC_STATIC_MODE_SWITCH, true);
  Dialog().ShowItem(IDC_PROGRESS_BAR, true);
  Dialog().SetTimer(IDT_BLINK_ERASE, kEraseBlinkMs);
  if (family == Family::kTarsa) {
    Sys().Sleep(kAfterStartWaitMs);
  }
}

// The camera is already in its update mode and its WinUSB interface is open: the worker starts
// at once. A "DF01" camera given a two-pass image starts with the first part.
void DirectDfuStart(UpdateSession& update, DeviceRecord* record) {
  const std::uint8_t type = SelectedImageType(update);
  update.BeginInUpdateMode(IsPescaUpdateMode(RecordProductRule(record)) &&
                           (type == 1 || type == 2));
  ArmUniqueIDMatchFromUpdateMode(update, PathOf(record));
  SetUIState(update, UiState::kUpdating);
  StartUpdateWorker(update);
  ShowUpdateControls();
}

// The loader file a camera will need once it has left its firmware (the CX3 camera erased, the
// NXP camera switched into its ROM) is checked before the camera hears anything. false, with the
// file and the reason shown, when it cannot be used: the update does not start and the camera
// keeps running its firmware.
bool LoaderFileReady(LoaderFile file) {
  wchar_t refusal[kLoaderRefusalChars] = {};
  if (CheckLoaderFile(file, refusal)) {
    return true;
  }
  DebugPrint(1, L"Loader file refused before the update: %ls\r\n", refusal);
  Dialog().ShowItem(IDC_STATIC_UPDATING, false);
  Dialog().MessageBox(refusal, kCaptionError, kMbIconError);
  return false;
}

// The CX3 camera erases its flash and resets on HID command reports; the empty camera then falls
// back to its boot ROM, which the device list takes over. False when the erase reply could not be
// read (the update stops there).
bool Cx3EraseAndReset(UpdateSession& update) {
  // The erased camera falls back to its boot ROM, which only the boot image brings back.
  if (!LoaderFileReady(LoaderFile::kFx3BootImage)) {
    return true;
  }
  Controller().BootLoader().updateRom =
      UpdateRom::kFx3;  // the erased camera falls back to its FX3 ROM
  CameraLibrary& library = CameraLib();
  // The serial finds the camera again when it is back from its boot ROM with the new firmware.
  EnumerateImageDevice(Controller().List().szSelectedDevicePath, update.USBUniqueID);
  DebugPrint(1, L"Firmware update button ::EnumerateImageDevice For Serial Number =%ls \r\n",
             update.USBUniqueID);
  std::uint8_t reply[kReplyBytes] = {};
  library.SetPreparseDataAndAttributes();
  library.DevicestateCX3SNI(reply);

  library.SetHidReport(kReportErase, kReportLength);
  bool erased = false;
  for (int poll = 0; poll < kErasePolls && !erased; ++poll) {
    Sys().Sleep(kErasePollMs);
    std::memset(reply, 0, sizeof reply);
    if (library.GetHidReport(reply) != 1) {
      DebugPrint(1, L"Flash Erase failed\r\n");
      // The camera did not answer its erase: the update ends here, and the user is told.
      Dialog().SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
      Dialog().MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
      return false;
    }
    erased = reply[kReplyStatus] == kStatusDone;
  }

  if (erased) {
    DebugPrint(1, L"Flash erase completed, attempting to reset the device\n");
    bool left = false;
    for (int attempt = 0; attempt < kResetAttempts && !left; ++attempt) {
      library.SetHidReport(kReportReset, kReportLength);
      Sys().Sleep(kResetWaitMs);
      std::memset(reply, 0, sizeof reply);
      if (library.GetHidReport(reply) != 1) {
        // No reply: the camera has left the bus to restart.
        update.bMatchByUniqueID = 1;
        update.bUpdatedFromHIDMode = 1;
        DebugPrint(1, L"Device reset completed. Exiting. \n");
        left = true;
      } else if (reply[kReplyStatus] == kStatusResetFailed) {
        DebugPrint(1, L"Reset Failed, Attempting to reset again...\n");
      }
    }
    // The program has no console: the line goes to the trace.
    if (!left) {
      DebugPrint(1, L"Reset Failed\n");
    }
  }
  // The camera's boot ROM is expected next; timer 2 ends the update with a message when nothing
  // arrives (an erase that never completed, a reset that never took).
  update.Advance(UpdatePhase::kAwaitingModeSwitch);
  Dialog().SetTimer(IDT_TIMER_FOR_HD_ISSUE, kModeSwitchTimeoutMs);
  ShowUpdateControls();
  return true;
}

// Pesca: mode switch through the family channel, the CX3 route for a foreign vendor, or a direct
// start when the camera is already in update mode.
bool DispatchPesca(UpdateSession& update, DeviceRecord* record) {
  update.bPescaDevice = 1;
  CameraLib().DeinitExtUnit();
  if (CameraLib().InitPescaExtensionUnit(PathOf(record)) != 0) {
    if (RecordVendorIs(record, DeviceVendor::kMaker)) {
      ModeSwitch(update, Family::kPesca);
      return true;
    }
    return Cx3EraseAndReset(update);
  }
  if (InitializeDevice(update.link, PathOf(record)) != 0) {
    DirectDfuStart(update, record);
  }
  return true;
}

void DispatchTarsa(UpdateSession& update, DeviceRecord* record) {
  CameraLib().DeinitExtUnit();
  if (!RecordVendorIs(record, DeviceVendor::kMaker)) {
    return;
  }
  if (CameraLib().InitTarsaExtensionUnit(PathOf(record)) == 0) {
    return;
  }
  ModeSwitch(update, Family::kTarsa);
}

// Cameras of the Sunplus route on the bus: the chip vendor's ID, or the Mirel family's answer.
int CountSunplusRouteCameras() {
  const int count = Controller().List().Listed();
  int cameras = 0;
  for (int i = 0; i < count; ++i) {
    DeviceRecord& record = Controller().List().DeviceTable[i];
    if (RecordVendorIs(&record, DeviceVendor::kSunplus) ||
        CameraLib().IsMirel_DeviceAvail(record.devicePath) == 1) {
      ++cameras;
    }
  }
  return cameras;
}

// A start of the Sunplus route that did not happen is told, with its reason.
void TellSunplusNotStarted(UpdateSession& update, SunplusStart start) {
  wchar_t text[kSunplusTextChars] = {};
  SunplusStartText(start, text, kSunplusTextChars);
  update.Observer().OnDone(UpdateOutcome::kLibraryNotReady, text);
}

void DispatchMirel(UpdateSession& update, DeviceRecord* record) {
  // The Sunplus library opens a camera of its own choosing, not the selected one: with two of
  // them on the bus the firmware could land in the other camera.
  if (CountSunplusRouteCameras() > 1) {
    DebugPrint(1, L"More than one Sunplus camera connected\r\n");
    Dialog().MessageBox(kTextMoreThanOneCamera, kCaptionAlert, kMbIconWarning);
    return;
  }
  CameraLib().DeinitExtUnit();
  if ((!RecordVendorIs(record, DeviceVendor::kMaker) &&
       !RecordVendorIs(record, DeviceVendor::kSunplus)) ||
      CameraLib().InitMirelExtensionUnit(PathOf(record)) == 0) {
    update.Observer().OnDone(UpdateOutcome::kLibraryNotReady, kTextMirelNotOpened);
    return;
  }
  const SunplusStart start = DownloadMirelFirmware(update);
  if (start != SunplusStart::kStarted) {
    TellSunplusNotStarted(update, start);
    return;
  }
  // The library writes: nothing else may be started on the camera (RESET, READ F/W VERSION,
  // EXIT, another update) until its thread has told how the download ended.
  SetUIState(update, UiState::kUpdating);
  Dialog().SetItemText(IDC_STATIC_STATUS, kTextErasing);
}

bool DispatchOther(UpdateSession& update, DeviceRecord* record) {
  Dialog().SetItemText(IDC_STATIC_UPDATING, kTextEnteringUpdateMode);
  Dialog().ShowItem(IDC_STATIC_UPDATING, true);
  const wchar_t* path = PathOf(record);
  if (CameraLib().InitExtensionUnit(path) != 0) {
    if (RecordVendorIs(record, DeviceVendor::kMaker)) {
      // The NXP camera's switch drops it into the RT1060 ROM, which only the flash loader leaves.
      const DeviceRule& product = RecordProductRule(record);
      if (product.mode == DeviceMode::kNormal && product.route == UpdateRoute::kNxpLoader &&
          !LoaderFileReady(LoaderFile::kNxpFlashLoader)) {
        return true;
      }
      ModeSwitch(update, Family::kGeneric);
      return true;
    }
    return Cx3EraseAndReset(update);
  }
  if (CameraLib().Init_HIDHandle(path) != 0) {
    // A boot loader that answers over HID: the flash loader of an NXP-based camera.
    SetUIState(update, UiState::kUpdating);
    if (RecordProductRule(record).mode == DeviceMode::kFlashLoader) {
      // The camera's return after the flash loader's session is recognised by this serial.
      ArmUniqueIDMatchFromUpdateMode(update, path);
      update.bNXPMode = 1;
    }
    StartUpdateWorker(update);
    ShowUpdateControls();
    return true;
  }
  if (InitializeDevice(update.link, path) == 0) {
    return true;
  }
  DirectDfuStart(update, record);
  Sys().Sleep(kAfterStartWaitMs);
  return true;
}

// OK of the confirmation dialog. False only when the CX3 erase could not be read.
bool DispatchUpdate(UpdateSession& update) {
  update.bUpdateDeviceGone = 1;
  Dialog().EndDialog(Window::kConfirmDialog, IDC_BTN_CONFIRM_OK);
  Sys().Sleep(kAfterConfirmWaitMs);
  if (Sys().GetFileAttributes(update.szFirmwarePath) == kInvalidFileAttributes) {
    Dialog().MessageBox(kTextCheckFilePath, kCaptionAlert, kMbIconWarning);
    return true;
  }
  // A running Sunplus download still uses the vendor library and the camera-control library's
  // view of the bus; no other update may start under it.
  if (update.bSunplusDownloadBusy.load() != 0) {
    DebugPrint(1, L"Sunplus download already running\r\n");
    TellSunplusNotStarted(update, SunplusStart::kBusy);
    return true;
  }
  // A new update starts from nothing an earlier one left: no re-selection of the camera updated
  // before, no pass (a camera opened in its update mode for an MCU or FPGA file would leave the
  // next two-pass image to skip its first part), no NXP route (every later update would be
  // written through a flash loader), no fresh-start answer of another camera (a later two-pass
  // image would skip its first part).
  update.BeginUpdate();
  Controller().BootLoader().updateRom = UpdateRom::kNone;
  Controller().List().nSelectedIndex = Dialog().ComboGetCurSel();
  ReleaseDfuHandles(update.link);
  CameraLib().DeinitExtensionUnit();

  DeviceRecord* record = SelectedRecord();
  if (record == nullptr) {
    return true;  // the list was emptied meanwhile: nothing to update
  }
  // Who the camera is: what finds it again in each mode it passes through.
  update.camera = CameraIdentity{};
  update.szTakenDevicePath[0] = L'\0';
  if (!ReadDeviceIdentity(PathOf(record), &update.camera)) {
    DebugPrint(1, L"DispatchUpdate :: the camera's serial and place could not all be read\r\n");
  }
  CopyText(update.szTakenDevicePath, PathOf(record));
  CameraLibrary& library = CameraLib();
  if (library.IsPescaDeviceAvail(Controller().List().szSelectedDevicePath) == 1) {
    return DispatchPesca(update, record);
  }
  if (library.IsTarsaDeviceAvail(Controller().List().szSelectedDevicePath) == 1) {
    DispatchTarsa(update, record);
    return true;
  }
  if (library.IsMirel_DeviceAvail(Controller().List().szSelectedDevicePath) == 1) {
    DispatchMirel(update, record);
    return true;
  }
  return DispatchOther(update, record);
}

}  // namespace

std::intptr_t ConfirmDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t /*lParam*/) {
  switch (message) {
    case kWmInitDialog:
      CurrentUpdate().hConfirmDlg = window;
      return kDlgTrue;
    case kWmClose:
      Dialog().EndDialog(Window::kConfirmDialog, 0);
      return kDlgTrue;
    case kWmCommand:
      if (LowWord(wParam) == IDC_BTN_CONFIRM_OK) {
        return DispatchUpdate(CurrentUpdate()) ? kDlgTrue : kDlgFalse;
      }
      // Esc closes it like the close box: no update.
      if (LowWord(wParam) == kIdCancelButton) {
        Dialog().EndDialog(Window::kConfirmDialog, 0);
        return kDlgTrue;
      }
      return kDlgFalse;
    default:
      return kDlgFalse;
  }
}

}  // namespace veltra

// The main dialog's start-up step and its commands: Browse, READ F/W VERSION, F/W UPDATE (up to
// the confirmation dialog; the dispatch is in update_dispatch.cpp), RESET, EXIT and the device
// list's selection change.
#include "app/main_commands.h"

#include "app/model_check.h"
#include "app/refresher.h"
#include "app/resource_ids.h"
#include "app/ui_state.h"
#include "camera/device_change.h"
#include "camera/selected_device.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/selected_record.h"
#include "devices/usb_serial.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "image/loader_files.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kIconFileName = L"Orlomark.ico";
constexpr const wchar_t* kTextNotificationFailed = L"Register Dev. Notification Failed!";
constexpr const wchar_t* kTextFileReadingFailed = L"File Reading failed ";
constexpr const wchar_t* kTextResetBusy = L"Please wait...Device Reset in progress";
constexpr const wchar_t* kTextReadBusy = L"Please wait...ReadFirmwarVersion in progress";
constexpr const wchar_t* kTextChooseFile = L"Choose File!";
constexpr const wchar_t* kTextUnknownImageType =
    L"This firmware file cannot be used: its image type is %d, and only image types 1, 2 and 3 "
    L"can be written.\r\nPlease choose another firmware file.";
constexpr std::size_t kMessageChars = 256;
// OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR
constexpr std::uint32_t kOpenFileFlags = 0x1808;
constexpr const wchar_t* kTextUnsuitableFirmware =
    L"The firmware that you are trying to upload might not be suitable for this device. This can "
    L"cause the device to become unresponsive. Do you want to proceed?";

// The selected camera as the refresher is handed it, by value.
SelectedCamera SelectedCameraCopy() {
  return camera::TakeSelectedCamera(Controller().List().nSelectedIndex);
}

void WakeRefresher() {
  if (Controller().Refresher().hUIEvent != kNullHandle) {
    Sys().SetEventObject(Controller().Refresher().hUIEvent);
  }
}

void TraceSelectedIndex() {
  DebugPrint(1, L"Current selected index = %d \r\n", Controller().List().nSelectedIndex);
}

// Copies the selected record's path into the selection's szSelectedDevicePath and writes it to
// the trace.
void TakeSelectedPath() {
  FormatText(Controller().List().szSelectedDevicePath, kPathChars, L"%ls",
             PathOf(SelectedRecord()));
  RawTrace(Controller().List().szSelectedDevicePath);
}

// True when the chosen file may go to the selected camera (possibly after the user said so).
bool ModelCheckPasses(const UpdateSession& update, const DeviceRecord& record) {
  if (FileNamedForCamera(record.friendlyName, update.szFirmwareTitle)) {
    return true;
  }
  return Dialog().MessageBox(kTextUnsuitableFirmware, kCaptionProgram, kMbYesNo | kMbIconWarning) !=
         kIdNo;
}

}  // namespace

int SetInitialVaue() {
  try {
    DialogView& dialog = Dialog();
    dialog.SetItemText(IDC_STATIC_STATUS, L"");
    dialog.ShowItem(IDC_STATIC_NO_DEVICE, false);
    dialog.ShowItem(IDC_STATIC_CONNECTED, false);
    dialog.ShowItem(IDC_STATIC_UPDATING, false);
    dialog.ShowItem(IDC_PROGRESS_BAR, false);
    dialog.SetSmallIconFromFile(kIconFileName);

    // The loader files lie next to the executable (their reads find its folder again).
    wchar_t exePath[kPathChars] = {};
    Sys().GetModuleFileName(exePath, kPathChars);
    DebugPrint(1, L"EXE file  Path length GetLastError() = %d\r\n", ExeDirLength(exePath));

    if (!dialog.RegisterDeviceNotification(DeviceInterfaceClass::kHid)) {
      dialog.MessageBox(kTextNotificationFailed, kCaptionError, kMbIconError);
      SetUIState(CurrentUpdate(), UiState::kNoDevice);
      return 0;
    }
    if (!dialog.RegisterDeviceNotification(DeviceInterfaceClass::kUsbDevice)) {
      dialog.MessageBox(kTextNotificationFailed, kCaptionError, kMbIconError);
    }
    return SetInitialDeviceValue() != 0 ? 1 : 0;
  } catch (...) {
    DebugPrint(1, L"SetInitialVaue exception...\r\n");
    return 0;
  }
}

int Browse(UpdateSession& update, bool binFirst) {
  update.bCombinedImage = 0;

  OpenFileRequest request;
  request.binFirst = binFirst;
  request.flags = kOpenFileFlags;
  wchar_t path[kPathChars] = {};
  if (!Dialog().OpenFileDialog(request, path, kPathChars, update.szFirmwareTitle, kPathChars)) {
    return kBrowseCancelled;
  }
  Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, path);
  FileProblem problem;
  const int result = SelectFirmwareFile(update, path, &problem);
  if (problem.kind == FileProblem::Kind::kCannotOpen) {
    Dialog().MessageBox(kTextCheckFilePath, kCaptionError, kMbIconExclamation);
  } else if (problem.kind == FileProblem::Kind::kUnknownImageType) {
    wchar_t text[kMessageChars] = {};
    FormatText(text, kMessageChars, kTextUnknownImageType, static_cast<int>(problem.imageType));
    Dialog().MessageBox(text, kCaptionError, kMbIconError);
  }
  return result;
}

void OnBrowseCommand(UpdateSession& update) {
  const int result = Browse(update, RecordTakesNxpImage(SelectedRecord()));
  if (result == kBrowseCancelled) {
    return;  // cancelled: nothing changes
  }
  if (result != kBrowseDone) {
    // The failed selection holds no image; an earlier good choice must not leave F/W UPDATE
    // armed with nothing to send, nor the path box naming a file that was not taken.
    Dialog().EnableItem(IDC_BTN_FW_UPDATE, false);
    Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
    if (result == kBrowseFailed) {
      Dialog().MessageBox(kTextFileReadingFailed, kCaptionError, kMbOk);
    }
    return;
  }
  // The file belongs to the selected camera: from now on every rebuild checks it is still there.
  update.bUpdateDeviceGone = 0;
  FormatText(update.szUpdateDevicePath, kPathChars, L"%ls", PathOf(SelectedRecord()));
  Dialog().EnableItem(IDC_BTN_FW_UPDATE, true);
}

void OnReadVersionCommand() {
  if (Controller().Commands().bResetBusy.load() == 0) {
    Controller().List().nSelectedIndex = Dialog().ComboGetCurSel();
    Controller().Commands().RequestReadVersion(SelectedCameraCopy());
    WakeRefresher();
  } else {
    Dialog().MessageBox(kTextResetBusy, kCaptionAlert, kMbOk);
  }
}

void OnUpdateCommand(UpdateSession& update) {
  CopyText(update.szFirmwarePath, Dialog().GetItemText(IDC_EDIT_FIRMWARE_PATH).c_str());
  if (update.szFirmwarePath[0] == L'\0') {
    Dialog().MessageBox(kTextChooseFile, kCaptionAlert, kMbIconWarning);
    return;
  }
  update.bPescaDevice = 0;
  Controller().List().nSelectedIndex = Dialog().ComboGetCurSel();
  const DeviceRecord* record = SelectedRecord();
  if (record == nullptr) {
    // Nothing selected (the list is empty): there is no camera to update.
    TraceSelectedIndex();
    return;
  }
  if (!ModelCheckPasses(update, *record)) {
    return;
  }
  TraceSelectedIndex();
  TakeSelectedPath();
  Dialog().DialogBoxModal(IDD_CONFIRM_DIALOG);
}

void OnResetCommand() {
  Controller().List().nSelectedIndex = Dialog().ComboGetCurSel();
  if (Controller().Commands().bReadVersionBusy.load() != 0) {
    // The refresher reads the camera's version: the reset is refused whole, so that one thread
    // at a time addresses the camera.
    Dialog().MessageBox(kTextReadBusy, kCaptionAlert, kMbOk);
    TraceSelectedIndex();
    return;
  }
  TraceSelectedIndex();
  // Both resets go out from the refresher thread on a connection of its own; the handles the
  // update's connection kept from an earlier command are let go here, as the dialog's own reset
  // once did before it opened the camera afresh.
  ReleaseDfuHandles(CurrentUpdate().link);
  Controller().Commands().RequestReset(SelectedCameraCopy());
  WakeRefresher();
}

void OnSelectionChange(UpdateSession& update) {
  Controller().List().nSelectedIndex = Dialog().ComboGetCurSel();
  TraceSelectedIndex();
  if (Controller().List().nSelectedIndex != Controller().List().nLastSelectedIndex) {
    // A file chosen for another camera is dropped.
    Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
    Dialog().EnableItem(IDC_BTN_FW_UPDATE, false);
  }
  Controller().List().nLastSelectedIndex = Controller().List().nSelectedIndex;
  TakeSelectedPath();
  // The user's own pick ends the re-selection of the camera updated last.
  if (update.bUpdatedFromHIDMode.load() == 0 && update.bIsStartUpdatedFromDFU.load() == 0) {
    update.bMatchByUniqueID = 0;
  }

  CameraLib().DeinitExtensionUnit();
  ReleaseDfuHandles(update.link);
  if (CameraLib().InitExtensionUnit(Controller().List().szSelectedDevicePath) != 0) {
    update.USBUniqueID[0] = L'\0';
    EnumerateImageDevice(Controller().List().szSelectedDevicePath, update.USBUniqueID);
    DebugPrint(1, L"EnumerateImageDevice Serial number %ls \r\n", update.USBUniqueID);
    Dialog().EnableItem(IDC_BTN_READFW_VERSION, true);
    DebugPrint(1, L"UVC Extension is supported \r\n");
  } else if (InitializeDevice(update.link, Controller().List().szSelectedDevicePath) != 0) {
    Dialog().EnableItem(IDC_BTN_READFW_VERSION, false);
    DebugPrint(1, L"UVC Extension is not supported for this device\r\n");
  }
  Dialog().EnableItem(IDC_BTN_RESET, RecordVendorIs(SelectedRecord(), DeviceVendor::kMaker));
}

void OnExitCommand() {
  // EXIT or the close box again while the stop below handles the dialog's messages: the first
  // one is still ending the program. Touched on the dialog thread only.
  static bool exiting = false;
  if (exiting) {
    return;
  }
  exiting = true;
  // A version read or a reset on the refresher thread still uses the camera: the thread ends
  // first (the dialog keeps handling its messages meanwhile), then the camera is released.
  StopUpdateUIThread();
  CameraLib().DeinitExtensionUnit();
  ReleaseDfuHandles(CurrentUpdate().link);
  Dialog().EndProgram();
  exiting = false;
}

}  // namespace veltra

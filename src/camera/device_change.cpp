// Device-change handling: every WM_DEVICECHANGE reaches OnDeviceChange, which tells arrivals from
// removals and HID interfaces from USB-device interfaces and runs one of the handlers. Each
// handler rebuilds the device table and list from scratch. The start-up scan runs the same
// rebuild once. The WinUSB arrival, which also resumes an update, lives in winusb_arrival.cpp.
#include "camera/device_change.h"

#include "camera/device_change_steps.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/reidentify.h"
#include "dfu/download_engines.h"
#include "loaders/fx3_download.h"
#include "platform/ports.h"

namespace veltra {

using namespace camera;  // this folder's own helpers

namespace {

enum class ArrivalHandler { kVideo, kWinUsbFull, kWinUsbNoMirel, kWinUsbNoRestart };

// Arrivals are dispatched on the product ID of the camera that was selected before the event
// (the table still holds the last enumeration), not on the device that arrived: while a camera
// re-enumerates through its update modes, the selected entry tells which route it is on. The
// device rules tell what the product ID is: the NXP chip's ROM, the Tarsa family, the flash
// loader.
enum class ArrivalKind { kNxpRom, kTarsa, kFlashLoader, kOther };
ArrivalKind KindOf(const DeviceRule& rule) {
  if (rule.mode == DeviceMode::kBootRom && rule.route == UpdateRoute::kNxpLoader) {
    return ArrivalKind::kNxpRom;
  }
  if (rule.family == DeviceFamily::kTarsa) {
    return ArrivalKind::kTarsa;
  }
  if (rule.mode == DeviceMode::kFlashLoader) {
    return ArrivalKind::kFlashLoader;
  }
  return ArrivalKind::kOther;
}

struct ArrivalRule {
  ArrivalKind kind;
  DeviceInterfaceClass cls;
  ArrivalHandler handler;
};
constexpr ArrivalRule kArrivalRules[] = {
    {ArrivalKind::kNxpRom, DeviceInterfaceClass::kHid, ArrivalHandler::kWinUsbNoRestart},
    {ArrivalKind::kTarsa, DeviceInterfaceClass::kHid, ArrivalHandler::kWinUsbNoRestart},
    {ArrivalKind::kFlashLoader, DeviceInterfaceClass::kUsbDevice, ArrivalHandler::kWinUsbNoMirel},
    {ArrivalKind::kTarsa, DeviceInterfaceClass::kUsbDevice, ArrivalHandler::kWinUsbNoMirel},
    {ArrivalKind::kNxpRom, DeviceInterfaceClass::kUsbDevice, ArrivalHandler::kWinUsbNoRestart},
};

ArrivalHandler ChooseArrivalHandler(DeviceInterfaceClass cls) {
  const ArrivalKind kind = KindOf(ProductRuleAt(Controller().List().nSelectedIndex));
  for (const ArrivalRule& rule : kArrivalRules) {
    if (rule.cls == cls && rule.kind == kind) {
      return rule.handler;
    }
  }
  return cls == DeviceInterfaceClass::kHid ? ArrivalHandler::kVideo : ArrivalHandler::kWinUsbFull;
}

void RunArrivalHandler(UpdateSession& update, ArrivalHandler handler) {
  switch (handler) {
    case ArrivalHandler::kVideo:
      SetDeviceArrivValueForVideoDevice(update);
      break;
    case ArrivalHandler::kWinUsbFull:
      SetDeviceArrivValueForWinUSBDevice(update, ArrivalVariant::kFull);
      break;
    case ArrivalHandler::kWinUsbNoMirel:
      SetDeviceArrivValueForWinUSBDevice(update, ArrivalVariant::kNoMirel);
      break;
    case ArrivalHandler::kWinUsbNoRestart:
      SetDeviceArrivValueForWinUSBDevice(update, ArrivalVariant::kNoRestart);
      break;
  }
}

// The Pesca and Tarsa channels; a camera of either family has its own version read, so READ F/W
// VERSION is allowed again when one opens.
void OpenFamilyChannels(UpdateObserver& view, const wchar_t* path) {
  if (CameraLib().InitPescaExtensionUnit(path) != 0) {
    view.OnVersionReadAllowed(true);
  }
  if (CameraLib().InitTarsaExtensionUnit(path) != 0) {
    view.OnVersionReadAllowed(true);
  }
}

// A removal the update expects: data is being sent, the camera switches into its update mode, or
// the NXP chip restarts after the flash loader's session. The list keeps the camera meanwhile.
bool RemovalIsPartOfTheUpdate(const UpdateSession& update) {
  return update.DownloadInProgress() || update.bUpdatedFromHIDMode.load() != 0 ||
         update.AwaitingRestart();
}

// A removal while the update waits for its camera: the camera has left, to come back in its
// update mode or, when the switch did not take, as it was. A camera restarts on its own time, so
// the departure that ends a pass may come while the pass's worker still runs its last steps.
void NoteDepartureDuringUpdate(UpdateSession& update) {
  if (update.bUpdatedFromHIDMode.load() != 0) {
    update.bCameraLeft = 1;
  }
}

void ShowNoDevice(UpdateSession& update) {
  RemoveDeviceNameInCombbox(update);
  update.Observer().OnUiState(UiState::kNoDevice);
}

// What both removals do once devices are listed again: rebuild, find the camera chosen for an
// update again, and re-open the library on the camera last selected.
void RefreshAfterRemoval(UpdateSession& update, bool traceHidCall) {
  RebuildDeviceList(update, ListForm::kFull);
  CheckUpdateDeviceStillListed(update);
  if (traceHidCall) {
    DebugPrint(1, L"DBT_DEVICEREMOVECOMPLETE:Calling InitExtensionUnit for HID\r\n");
  }
  if (CameraLib().InitExtensionUnit(DevicePathAt(Controller().List().nLastSelectedIndex)) == 0) {
    update.Observer().OnVersionReadAllowed(false);
    DebugPrint(1, L"UVC Extension is not supported \r\n");
  }
  BringToFront(update);
}

}  // namespace

// ---- building blocks ---------------------------------------------------------------------------

namespace camera {

bool RunDiscovery(UpdateSession& update, DiscoveryOrder order) {
  // Both passes always run; each appends what it finds.
  bool found = false;
  if (order == DiscoveryOrder::kUsbDevicesFirst) {
    found = DeviceConnect(update.Observer()) != 0;
    found = (GetAvailableDevices() != 0) || found;
  } else {
    found = GetAvailableDevices() != 0;
    found = (DeviceConnect(update.Observer()) != 0) || found;
  }
  EndWarningWaitOnceCameraLeft(update);
  return found;
}

void EndWarningWaitOnceCameraLeft(UpdateSession& update) {
  // Only after a Pesca camera's success: that is when the Warning dialog waits (or is about to).
  if (update.bPescaDevice.load() == 0 || update.Phase() != UpdatePhase::kEndedOk ||
      update.bUpdatedCameraGone.load() != 0) {
    return;
  }
  // Two devices in update mode that answer alike to the camera cannot tell whether it has left:
  // the wait goes on, bounded by its three minutes.
  if (FindUpdatedCamera(update.camera, ListedAs::kUpdateMode).result != CameraFound::kNone) {
    return;
  }
  DebugPrint(1, L"the updated camera has left its update mode\r\n");
  // The flag first, so that a Warning dialog coming up meanwhile sees it (WarningDialogProc).
  update.bUpdatedCameraGone = 1;
  update.Observer().OnUpdatedCameraLeft();
}

void RebuildDeviceList(UpdateSession& update, ListForm form) {
  RemoveDeviceNameInCombbox(update);
  const std::optional<TakeOver> takeOver = form == ListForm::kNoCypress
                                               ? AddDeviceNameInCombboxNoCypress(update)
                                               : AddDeviceNameInCombbox(update);
  // The boot ROM the rebuild found is taken over now that the list is whole: the rest of the
  // handling looks at whether its download started.
  if (takeOver) {
    StartTakeOver(update, *takeOver);
  }
  update.Observer().OnUiState(UiState::kDeviceReady);
}

void ReopenCameraLibrary(UpdateSession& update, bool withMirel) {
  UpdateObserver& view = update.Observer();
  if (CameraLib().InitExtensionUnit(Controller().List().szSelectedDevicePath) == 0) {
    view.OnVersionReadAllowed(false);
  }
  const wchar_t* path = DevicePathAt(Controller().List().nSelectedIndex);
  OpenFamilyChannels(view, path);
  if (withMirel && CameraLib().InitMirelExtensionUnit(path) != 0) {
    view.OnVersionReadAllowed(true);
  }
}

void BringToFront(UpdateSession& update) {
  update.Observer().OnDevicesChanged();
}

void CheckUpdateDeviceStillListed(UpdateSession& update) {
  if (update.bUpdateDeviceGone.load() == 0) {
    UpdateDeviceRemoved(update);
  }
}

void ReselectUpdatedCamera(const UpdateSession& update) {
  // While the update is under way the serial finds the camera in its update mode instead.
  if (update.bMatchByUniqueID.load() == 0 || update.bUpdatedFromHIDMode.load() != 0 ||
      update.bIsStartUpdatedFromDFU.load() != 0) {
    return;
  }
  // Found, it stays armed: the camera's further arrivals (a HID arrival per collection, after
  // its USB-device arrival) each rebuild the list, and each rebuild selects entry 0.
  if (MatchUniqueIDForUpdatedDeviceHID(update) != 0) {
    return;
  }
  // The match opened the library on each camera it tried; give it back to the selected one.
  CameraLib().DeinitExtensionUnit();
  CameraLib().InitExtensionUnit(Controller().List().szSelectedDevicePath);
}

}  // namespace camera

// ---- dispatch ----------------------------------------------------------------------------------

void OnDeviceChange(UpdateSession& update, const DeviceChange& change) {
  if (change.event == kDbtDeviceRemoveComplete) {
    DebugPrint(1, L"DBT_DEVICEREMOVECOMPLETE \r\n");
    if (change.deviceType != kDbtDevtypDeviceInterface) {
      return;
    }
    ReleaseBootRomThatLeft(Controller().BootLoader(),
                           change.path.c_str());  // taken over when it returns
    // A departure the update expects leaves the table as the list shows it: no handler
    // enumerates, and a table emptied here would leave the list naming cameras the program no
    // longer knows should the update end without another notification.
    if (RemovalIsPartOfTheUpdate(update)) {
      NoteDepartureDuringUpdate(update);
      return;
    }
    Controller().List().nDeviceCount = 0;  // every handler enumerates into an empty table
    if (change.cls == DeviceInterfaceClass::kHid) {
      SetDeviceRemoveValueForVideoDevice(update);
    } else if (change.cls == DeviceInterfaceClass::kUsbDevice) {
      SetDeviceRemoveValueForWinUSBDevice(update);
    }
    return;
  }
  if (change.event == kDbtDeviceArrival) {
    DebugPrint(1, L"DEVICEARRIVAL COUNT  \r\n");
    DebugPrint(1, L"DBT_DEVICEARRIVAL \r\n");
    if (change.deviceType != kDbtDevtypDeviceInterface) {
      return;
    }
    // While data is sent every arrival handler stands aside; the table stays as the list shows it
    // (the HID arrivals of a device come during the download, and nothing may follow them).
    if (update.DownloadInProgress()) {
      return;
    }
    Controller().List().nDeviceCount = 0;
    if (change.cls == DeviceInterfaceClass::kOther) {
      return;
    }
    if (change.cls == DeviceInterfaceClass::kHid) {
      DebugPrint(1, L"SetDeviceArrivValueForVideoDevice \r\n");
    }
    RunArrivalHandler(update, ChooseArrivalHandler(change.cls));
  }
}

// ---- handlers ----------------------------------------------------------------------------------

void SetDeviceArrivValueForVideoDevice(UpdateSession& update) {
  try {
    if (update.DownloadInProgress()) {
      return;
    }
    DebugPrint(1, L"DBT_DEVICEARRIVAL:Calling InitExtensionUnit for HID\r\n");
    if (!RunDiscovery(update, DiscoveryOrder::kCaptureDevicesFirst)) {
      ShowNoDevice(update);
      return;
    }
    RebuildDeviceList(update, ListForm::kFull);
    // The camera that was updated is back in its normal mode: select it again, by its USB serial
    // when the update began in normal mode, by its saved path when it began in download mode.
    ReselectUpdatedCamera(update);
    ConcludeNxpRestart(update);
    CheckUpdateDeviceStillListed(update);
    if (update.bIsStartUpdatedFromDFU.exchange(0) != 0) {
      MatchUniqueIDForUpdatedDeviceDFU(update);
    }
    BringToFront(update);
  } catch (...) {
    DebugPrint(1, L"SetDeviceArrivValueForVideoDevice exception...\r\n");
  }
}

// The removal handlers run only for departures the update does not expect; the dispatch notes
// the others and leaves the table alone.
void SetDeviceRemoveValueForVideoDevice(UpdateSession& update) {
  try {
    if (!RunDiscovery(update, DiscoveryOrder::kCaptureDevicesFirst)) {
      ShowNoDevice(update);
      return;
    }
    RefreshAfterRemoval(update, true);
  } catch (...) {
    DebugPrint(1, L"SetDeviceRemoveValueForVideoDevice exception...\r\n");
  }
}

void SetDeviceRemoveValueForWinUSBDevice(UpdateSession& update) {
  try {
    DebugPrint(1, L"DBT_DEVICEREMOVECOMPLETE:Calling InitExtensionUnit for LIB_USB_GUID\r\n");
    // The discovery ends the Warning dialog's wait once the updated camera has left, whether or
    // not other cameras stay on the bus.
    if (!RunDiscovery(update, DiscoveryOrder::kCaptureDevicesFirst)) {
      ShowNoDevice(update);
    } else {
      RefreshAfterRemoval(update, false);
    }
    // A boot-loader download started by the list fill is still running: keep EXIT off.
    if (Controller().BootLoader().bLoaderThreadStarted.load() != 0) {
      update.Observer().OnTakeOverRunning();
    }
  } catch (...) {
    DebugPrint(1, L"SetDeviceRemoveValueForWinUSBDevice exception...\r\n");
  }
}

int SetInitialDeviceValue() {
  // The start-up scan runs before any notification: the program's session is found here.
  UpdateSession& update = CurrentUpdate();
  Controller().List().nDeviceCount = 0;
  if (!RunDiscovery(update, DiscoveryOrder::kCaptureDevicesFirst)) {
    update.Observer().OnUiState(UiState::kNoDevice);
    return 0;
  }
  RebuildDeviceList(update, ListForm::kFull);
  UpdateObserver& view = update.Observer();
  if (CameraLib().InitExtensionUnit(Controller().List().szSelectedDevicePath) == 0) {
    view.OnVersionReadAllowed(false);
    DebugPrint(1, L"UVC Extension is not supported \r\n");
  }
  const wchar_t* path = DevicePathAt(Controller().List().nSelectedIndex);
  OpenFamilyChannels(view, path);
  // A Sunplus-based camera answers the Mirel channel but has no version read of its own.
  if (CameraLib().InitMirelExtensionUnit(path) != 0 && !SunplusCameraListed()) {
    view.OnVersionReadAllowed(true);
  }
  BringToFront(update);
  return 1;
}

}  // namespace veltra

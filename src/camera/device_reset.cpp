// The reset of the selected camera, run on the refresher thread when RESET was pressed. The route
// is chosen by what the camera answers to: the generic extension unit, the reset call of its
// family, or, for a camera in download mode, the DFU reset request over WinUSB. The user sees
// nothing: the camera leaves the bus and the device-change handling rebuilds the list.
#include "camera/device_reset.h"

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "devices/device_rules.h"
#include "dfu/dfu_requests.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// The command byte that makes a camera opened through the extension unit restart.
constexpr std::uint8_t kHidResetCommand = 4;

void ResetInDownloadMode(DfuLink& link, const wchar_t* path) {
  // Open the camera afresh: handles left from an earlier command may belong to a device that
  // has since gone.
  ReleaseDfuHandles(link);
  InitializeDevice(link, path);  // a failure shows in the reset request that follows
  if (SendDeviceResetCommand(link) == 0) {
    DebugPrint(1, L"Check RESET IN DFU SendDeviceResetCommand failed\r\n");
  }
}

// The reset the dialog sent itself: through the extension unit, or the DFU reset request.
void ResetDirectly(DfuLink& link, const wchar_t* path) {
  CameraLib().DeinitExtensionUnit();
  if (CameraLib().InitExtensionUnit(path) != 0) {
    CameraLib().SendHIDCommandWithFirstByte(kHidResetCommand);
    return;
  }
  ResetInDownloadMode(link, path);
}

}  // namespace

void ResetCamera(const SelectedCamera& camera) {
  DfuLink link;
  ResetDirectly(link, camera.record.devicePath);
  ResetSelectedDevice(camera, link);
  ReleaseDfuHandles(link);
}

void ResetSelectedDevice(const SelectedCamera& camera, DfuLink& link) {
  try {
    DebugPrint(1, L"Current selected index = %d \r\n", camera.index);
    CameraLib().DeinitExtensionUnit();

    const wchar_t* path = camera.record.devicePath;
    const DeviceFamily family = DeviceRules().LookupProduct(camera.record.pidText).family;
    if (CameraLib().InitExtensionUnit(path) != 0) {
      CameraLib().SendHIDCommandWithFirstByte(kHidResetCommand);
    } else if (family == DeviceFamily::kTarsa) {
      if (CameraLib().ResetTarsa() == 0) {
        DebugPrint(1, L"Check RESET IN DFU failed\r\n");
      }
    } else if (family == DeviceFamily::kMirel) {
      if (CameraLib().ResetDeviceMirel() == 0) {
        DebugPrint(1, L"Check RESET IN DFU failed\r\n");
      }
    } else {
      ResetInDownloadMode(link, path);
    }
    Controller().Commands().bResetBusy = 0;
  } catch (...) {
    // The busy flag stays set: the reset did not finish.
    DebugPrint(1, L"ResetSelectedDevice exception\r\n");
  }
}

}  // namespace veltra

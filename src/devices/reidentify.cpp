// Finding the camera being updated among the listed devices (the one rule), putting the
// selection back on it after the list was rebuilt (every rebuild selects entry 0), or noticing
// that the camera chosen for an update has gone.
#include "devices/reidentify.h"

#include <vector>

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/id_text.h"
#include "devices/usb_serial.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// A unique ID: the serial cut to 10 characters, and the terminator.
constexpr std::size_t kUniqueIdChars = 11;

void SelectEntry(const UpdateSession& update, int index) {
  Controller().List().nLastSelectedIndex = index;
  update.Observer().OnEntrySelected(index);
}

// The device rules tell how each listed device may be found again; a device they do not know is
// a camera running its firmware.
bool IsCandidate(const DeviceRecord& record, ListedAs kind) {
  return DeviceRules().Lookup(record.vidText, record.pidText).foundAgainAs == kind;
}

bool SamePlace(const CameraIdentity& camera, const CameraIdentity& device) {
  if (device.location[0] == L'\0') {
    return false;
  }
  return (camera.location[0] != L'\0' && TextEqualsNoCase(device.location, camera.location)) ||
         (camera.companion[0] != L'\0' && TextEqualsNoCase(device.location, camera.companion)) ||
         (device.companion[0] != L'\0' && TextEqualsNoCase(device.companion, camera.location));
}

FoundCamera OneOf(const std::vector<int>& hits) {
  if (hits.empty()) {
    return FoundCamera{};
  }
  if (hits.size() > 1) {
    return FoundCamera{CameraFound::kMoreThanOne, -1};
  }
  return FoundCamera{CameraFound::kFound, hits.front()};
}

}  // namespace

FoundCamera FindUpdatedCamera(const CameraIdentity& camera, ListedAs kind) {
  std::vector<int> bySerial;
  std::vector<int> byPlace;
  std::vector<int> bySerialAndPlace;
  // A serial read in an update mode may be the family's fixed one, carried by a bystander too:
  // it counts only when nothing tells the camera's place.
  const bool serialCounts =
      camera.serial[0] != L'\0' && (camera.ownSerial || camera.location[0] == L'\0');
  const int count = Controller().List().Listed();
  for (int i = 0; i < count; ++i) {
    const DeviceRecord& record = Controller().List().DeviceTable[i];
    if (!IsCandidate(record, kind)) {
      continue;
    }
    CameraIdentity device;
    ReadDeviceIdentity(record.devicePath, &device);
    const bool serial = serialCounts && TextEqualsNoCase(device.serial, camera.serial);
    const bool place = SamePlace(camera, device);
    DebugPrint(1, L"FindUpdatedCamera :: %ls serial %ls, location %ls: %ls%ls\r\n",
               record.devicePath, device.serial, device.location, serial ? L"serial " : L"",
               place ? L"place" : L"");
    if (serial) {
      bySerial.push_back(i);
    }
    if (place) {
      byPlace.push_back(i);
    }
    if (serial && place) {
      bySerialAndPlace.push_back(i);
    }
  }
  if (bySerial.size() > 1) {
    // A serial several devices carry names none of them: the place decides among them.
    const FoundCamera found = OneOf(bySerialAndPlace);
    return found.result == CameraFound::kNone ? FoundCamera{CameraFound::kMoreThanOne, -1} : found;
  }
  if (bySerial.size() == 1) {
    return OneOf(bySerial);
  }
  return OneOf(byPlace);
}

int MatchUniqueIDForUpdatedDeviceHID(const UpdateSession& update) {
  try {
    const FoundCamera found = FindUpdatedCamera(update.camera, ListedAs::kNormalMode);
    if (found.result != CameraFound::kFound) {
      return 0;
    }
    CameraLib().DeinitExtensionUnit();
    CameraLib().InitExtensionUnit(Controller().List().DeviceTable[found.index].devicePath);
    DebugPrint(1, L"MatchUniqueIDForUpdatedDeviceHID :: the updated camera is entry %d\r\n",
               found.index);
    SelectEntry(update, found.index);
    return 1;  // the matched camera's extension unit stays open
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception MatchUniqueIDForUpdatedDeviceHID...\r\n");
    return 0;
  }
}

// The camera updated from its update mode, back running its firmware: found by the same rule.
int MatchUniqueIDForUpdatedDeviceDFU(const UpdateSession& update) {
  const FoundCamera found = FindUpdatedCamera(update.camera, ListedAs::kNormalMode);
  if (found.result == CameraFound::kFound) {
    SelectEntry(update, found.index);
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
    const int count = Controller().List().Listed();
    for (int i = 0; i < count; ++i) {
      const DeviceRecord& record = Controller().List().DeviceTable[i];
      if (!TextEqualsNoCase(record.devicePath, update.szUpdateDevicePath)) {
        continue;
      }
      DebugPrint(1, L"DBT_REMOVED: UpdateDeviceRemoved :Device matched\r\n");
      SelectEntry(update, i);
      const bool extensionUnit = CameraLib().InitExtensionUnit(record.devicePath) != 0;
      update.Observer().OnFileCameraListed(extensionUnit);
      return 1;
    }
    // The camera the file was chosen for is gone: call the pending update off.
    update.bUpdateDeviceGone = 1;
    update.Observer().OnFileCameraGone();
    return 0;
  } catch (...) {
    Sys().SetLastError(kLastErrorDeviceException);
    RawTrace(L"Exception UpdateDeviceRemoved...\r\n");
    return 0;
  }
}

}  // namespace veltra

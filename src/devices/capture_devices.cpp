// GetAvailableDevices: the first discovery pass, over the OS's video capture devices. It keeps the
// cameras the camera-control library serves (and the Sunplus-based camera the library does not
// know) and appends one table record per camera.
#include <memory>
#include <string>

#include "core/debug_trace.h"
#include "core/text.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/id_text.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kDevicePathProperty = L"DevicePath";
constexpr const wchar_t* kFriendlyNameProperty = L"FriendlyName";
// The Sunplus-based camera is listed by its own IDs: the library does not serve its vendor ID.

// Cuts the four characters after marker ("vid_" / "pid_") out of a lower-cased path.
bool ExtractId(const wchar_t* path, const wchar_t* marker, wchar_t (&out)[kIdTextChars]) {
  const wchar_t* digits = PastMarker(path, marker, 4);
  if (digits == nullptr) {
    return false;
  }
  CopyChars(out, kIdTextChars, digits, 4);
  return true;
}

// Records the camera in the slot at the current count once its friendly name is read; a camera
// whose name cannot be read stays in the uncommitted slot, where the next camera overwrites it.
void RecordCamera(CaptureDeviceWalk& walk, DeviceRecord& slot, const wchar_t* path) {
  DebugPrint(1, L"Available Imaging DevicePath = %ls\r\n", path);
  CopyText(slot.devicePath, path);
  std::wstring name;
  if (!walk.ReadProperty(kFriendlyNameProperty, &name)) {
    return;
  }
  DebugPrint(1, L"FriendlyName =%ls\r\n", name.c_str());
  CopyText(slot.friendlyName, name.c_str());
  DebugPrint(1, L"%ls", slot.friendlyName);
  const int count = ++Controller().List().nDeviceCount;
  DebugPrint(1, L" Number of Device available = %d\r\n", count);
}

// Judges the capture device under the current property bag. Returns 1 when it passed the filter
// (whether or not its name could be read).
int JudgeCaptureDevice(CaptureDeviceWalk& walk) {
  std::wstring value;
  if (!walk.ReadProperty(kDevicePathProperty, &value)) {
    return 0;
  }
  wchar_t path[kPathChars];
  CopyText(path, value.c_str());
  LowerInPlace(path);
  if (path[0] == L'\0') {
    return 0;
  }
  DebugPrint(1, L"Available Imaging DevicePath = %ls\r\n", path);

  // Cleared for every device: a path without the markers is judged with empty IDs rather than
  // with the IDs of the device listed before it.
  wchar_t vid[kIdTextChars] = {};
  wchar_t pid[kIdTextChars] = {};
  if (ExtractId(path, L"vid_", vid)) {
    DebugPrint(1, L"extrctd_vid = %ls\r\n", vid);
  }
  if (ExtractId(path, L"pid_", pid)) {
    DebugPrint(1, L"extrctd_pid = %ls\r\n", pid);
  }

  const int count = Controller().List().nDeviceCount;
  if (count < 0 || count >= kMaxDevices) {
    // The table has no slot left: the camera is not listed.
    DebugPrint(1, L"Device table full: %ls not listed\r\n", path);
    return 0;
  }
  DeviceRecord& slot = Controller().List().DeviceTable[count];
  CopyText(slot.vidText, vid);
  CopyText(slot.pidText, pid);

  if (CameraLib().IsDFUDeviceVID(slot.vidText) != 0) {
    if (CameraLib().IsRestrictedCameraPID(slot.pidText) != 0) {
      return 0;
    }
    RecordCamera(walk, slot, path);
    return 1;
  }
  const bool sunplus =
      DeviceRules().Lookup(slot.vidText, slot.pidText).family == DeviceFamily::kSunplus;
  if (sunplus) {
    RecordCamera(walk, slot, path);
  }
  DebugPrint(1, L"Imaging  \r\n");
  return sunplus ? 1 : 0;
}

}  // namespace

int GetAvailableDevices() {
  try {
    std::unique_ptr<CaptureDeviceWalk> walk;
    if (HrFailed(Discovery().CreateSystemDeviceEnum(&walk)) || walk == nullptr) {
      RawTrace(L"CLSID_SystemDeviceEnum failed....\r\n");
      return 0;
    }
    if (walk->CreateClassEnumerator() != kSOk) {
      return 0;  // S_FALSE: no video input device at all
    }
    int result = 0;
    walk->Reset();
    for (std::uint32_t n = 0; n < kMaxEnumerationIndex && walk->NextMoniker(); ++n) {
      if (HrFailed(walk->BindPropertyBag())) {
        // Ends the whole pass; what was committed stays in the table.
        return 0;
      }
      if (JudgeCaptureDevice(*walk) != 0) {
        result = 1;
      }
      walk->ReleaseMoniker();
    }
    return result;
  } catch (...) {
    DebugPrint(1, L"GetAvailableDevices gets Failed....\r\n");
    return 0;
  }
}

}  // namespace veltra

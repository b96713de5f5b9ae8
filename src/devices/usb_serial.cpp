// A camera's unique ID: the serial number of the USB device that carries its video interface.
// The device path changes whenever the camera re-enumerates in another mode; the serial does not.
// The video interface is found among the present video-class interfaces by the instance key cut
// from the path, and the serial is cut from its parent's instance ID (USB\VID_x&PID_y\serial).
#include "devices/usb_serial.h"

#include <cwchar>
#include <memory>

#include "core/debug_trace.h"
#include "core/text.h"
#include "devices/device_presence.h"
#include "devices/id_text.h"
#include "platform/ports.h"

namespace veltra {

namespace {

// "…&MI_00#7&2A2B3C4D&0&0000#…": the key starts after "MI_", the interface number and "#".
constexpr std::size_t kInstanceKeyOffset = 6;
constexpr std::size_t kInstanceKeyChars = 10;
constexpr std::size_t kInstanceKeyBufferChars = 15;
// "USB\VID_7E51&PID_C1D0\ABC1234567": the serial starts after "PID_", four digits and "\".
constexpr std::size_t kSerialOffset = 9;
constexpr std::size_t kSerialChars = 10;
// Unique IDs are at most 10 characters and a terminator.
constexpr std::size_t kUniqueIdChars = 11;

// "\\?\USB#VID_7E51&PID_DF00#ABC1234567#{…}": a USB device's own interface path, whose third
// part is the device's instance ID: its serial, or an ID Windows made up.
constexpr wchar_t kUsbDevicePathPrefix[] = L"\\\\?\\USB#";

// Writes the unique ID for a serial text: "00" when it holds "&" (made up by Windows), else the
// serial itself.
void StoreUniqueId(const wchar_t* serial, wchar_t* uniqueId) {
  if (const wchar_t* amp = std::wcschr(serial, L'&')) {
    DebugPrint(1, L" found at position %d\n", static_cast<int>(amp - serial) + 1);
    FormatText(uniqueId, kUniqueIdChars, L"%02X", 0);
  } else {
    DebugPrint(1, L"Doesnot contain special character\n");
    CopyText(uniqueId, kUniqueIdChars, serial);
  }
  RawTrace(uniqueId);
  RawTrace(L"\n");
}

// Windows made up the parent's instance ID (the device reports no serial): such IDs contain "&".
// Every such camera gets the same unique ID, "00".
void ResolveSerial(DeviceInterfaceSet& set, wchar_t* uniqueId) {
  if (!Discovery().DevicePropertyAvailable()) {
    return;  // systems before version 6 have no device-property function
  }
  wchar_t parent[kPathChars] = {};
  if (!set.GetParentInstanceId(parent, kPathChars)) {
    return;
  }
  parent[kPathChars - 1] = L'\0';
  DebugPrint(1, L"Parent Property value: %ls\r\n", parent);
  UpperInPlace(parent);
  const wchar_t* start = PastMarker(parent, L"PID_", kSerialOffset);
  if (start == nullptr) {
    return;
  }
  wchar_t serial[kUniqueIdChars] = {};
  CopyChars(serial, kUniqueIdChars, start, kSerialChars);
  StoreUniqueId(serial, uniqueId);
}

bool IsVersion51Or52(const OsVersion& version) {
  return version.ok && version.major == 5 && (version.minor == 1 || version.minor == 2);
}

}  // namespace

int UniqueIDFromUsbDevicePath(const wchar_t* devicePath, wchar_t* uniqueId) {
  wchar_t path[kPathChars] = {};
  CopyText(path, kPathChars, devicePath);
  UpperInPlace(path);
  const std::size_t prefixChars = std::wcslen(kUsbDevicePathPrefix);
  if (std::wcsncmp(path, kUsbDevicePathPrefix, prefixChars) != 0) {
    return 0;
  }
  const wchar_t* ids = path + prefixChars;
  const wchar_t* instance = std::wcschr(ids, L'#');
  if (instance == nullptr) {
    return 0;
  }
  ++instance;
  const wchar_t* end = std::wcschr(instance, L'#');
  if (end == nullptr || end == instance) {
    return 0;
  }
  wchar_t serial[kUniqueIdChars] = {};
  const auto length = static_cast<std::size_t>(end - instance);
  CopyChars(serial, kUniqueIdChars, instance, length < kSerialChars ? length : kSerialChars);
  StoreUniqueId(serial, uniqueId);
  return 1;
}

void GetUSBInstanceID(wchar_t* devicePath, wchar_t* key) {
  UpperInPlace(devicePath);
  const wchar_t* start = PastMarker(devicePath, L"MI_", kInstanceKeyOffset);
  if (start == nullptr) {
    return;
  }
  wchar_t buffer[kInstanceKeyBufferChars];
  CopyChars(buffer, kInstanceKeyBufferChars, start, kInstanceKeyChars);
  RawTrace(L"ImagingDevice USB InstanceID =");
  CopyText(key, kInstanceKeyChars + 1, buffer);
  RawTrace(key);
}

int EnumerateImageDevice(wchar_t* devicePath, wchar_t* uniqueId) {
  try {
    const OsVersion version = Discovery().ReadOsVersion();
    wchar_t targetKey[kPathChars] = {};
    GetUSBInstanceID(devicePath, targetKey);
    if (targetKey[0] == L'\0') {
      // Not an interface of a composite device: nothing identifies its video interface.
      return 0;
    }
    std::unique_ptr<DeviceInterfaceSet> set =
        Discovery().OpenInterfaceSet(InterfaceSetClass::kVideo);
    if (set == nullptr) {
      return 0;
    }
    for (std::uint32_t index = 0; index < kMaxEnumerationIndex; ++index) {
      if (!set->EnumInterface(index)) {
        return 0;
      }
      const SetupCall size = set->GetInterfaceDetail(nullptr, 0);
      std::unique_ptr<wchar_t[]> detail = AllocateChars(size.requiredChars);
      if (detail == nullptr) {
        return 0;
      }
      // A failed read leaves the path empty: that interface has no key and matches nothing. A
      // successful one makes the device that owns the interface current, whose parent instance
      // ID holds the serial; the device at the same index may be another one.
      set->GetInterfaceDetail(detail.get(), size.requiredChars);
      wchar_t currentKey[kPathChars] = {};
      GetUSBInstanceID(detail.get(), currentKey);
      if (!TextEqualsNoCase(currentKey, targetKey)) {
        continue;
      }
      if (IsVersion51Or52(version)) {
        return 0;
      }
      ResolveSerial(*set, uniqueId);
      return 1;
    }
    return 0;
  } catch (...) {
    RawTrace(L"Exception EnumerateImageDevice...\r\n");
    return 0;
  }
}

namespace {

// A USB device's instance, "VID_x&PID_y\instance", from a parent instance ID
// ("USB\VID_x&PID_y\instance") or a USB device interface path
// ("\\?\USB#VID_x&PID_y#instance#{...}"). Upper case; false when the text has neither form.
bool InstanceFromParentId(const wchar_t* parentId, wchar_t* instance, std::size_t chars) {
  constexpr wchar_t kPrefix[] = L"USB\\";
  wchar_t text[kPathChars] = {};
  CopyText(text, kPathChars, parentId);
  UpperInPlace(text);
  const std::size_t prefixChars = std::wcslen(kPrefix);
  if (std::wcsncmp(text, kPrefix, prefixChars) != 0) {
    return false;
  }
  CopyText(instance, chars, text + prefixChars);
  return std::wcschr(instance, L'\\') != nullptr;
}

bool InstanceFromUsbDevicePath(const wchar_t* devicePath, wchar_t* instance, std::size_t chars) {
  wchar_t path[kPathChars] = {};
  CopyText(path, kPathChars, devicePath);
  UpperInPlace(path);
  const std::size_t prefixChars = std::wcslen(kUsbDevicePathPrefix);
  if (std::wcsncmp(path, kUsbDevicePathPrefix, prefixChars) != 0) {
    return false;
  }
  wchar_t* ids = path + prefixChars;
  wchar_t* first = std::wcschr(ids, L'#');
  if (first == nullptr) {
    return false;
  }
  wchar_t* second = std::wcschr(first + 1, L'#');
  if (second == nullptr || second == first + 1) {
    return false;
  }
  *first = L'\0';
  if (std::wcsstr(ids, L"&MI_") != nullptr) {
    return false;  // an interface of a composite device (a camera's capture path), not the device
  }
  *first = L'\\';
  *second = L'\0';
  CopyText(instance, chars, ids);
  return true;
}

// The serial an instance carries whole: the part after its "\", unless Windows made it up.
void SerialOfInstance(const wchar_t* instance, wchar_t* serial, std::size_t chars) {
  serial[0] = L'\0';
  const wchar_t* slash = std::wcschr(instance, L'\\');
  if (slash == nullptr || std::wcschr(slash + 1, L'&') != nullptr) {
    return;
  }
  CopyText(serial, chars, slash + 1);
}

// The parent instance ID of the camera's video interface (found by the capture path's key).
bool ParentIdOfCamera(const wchar_t* capturePath, wchar_t* parent, std::size_t chars) {
  if (!Discovery().DevicePropertyAvailable()) {
    return false;
  }
  wchar_t path[kPathChars] = {};
  CopyText(path, kPathChars, capturePath);
  wchar_t targetKey[kPathChars] = {};
  GetUSBInstanceID(path, targetKey);
  if (targetKey[0] == L'\0') {
    return false;
  }
  std::unique_ptr<DeviceInterfaceSet> set = Discovery().OpenInterfaceSet(InterfaceSetClass::kVideo);
  if (set == nullptr) {
    return false;
  }
  const bool found = FindInterface(*set, [&targetKey](std::uint32_t, wchar_t* detail) {
    wchar_t key[kPathChars] = {};
    GetUSBInstanceID(detail, key);
    return TextEqualsNoCase(key, targetKey);
  });
  // The matching read made the device that owns the video interface current.
  return found && set->GetParentInstanceId(parent, static_cast<std::uint32_t>(chars));
}

// The location path of the present USB device with that instance (its first location path).
bool LocationOfInstance(const wchar_t* instance, wchar_t* location, std::size_t chars) {
  std::unique_ptr<DeviceInterfaceSet> set =
      Discovery().OpenInterfaceSet(InterfaceSetClass::kUsbDevice);
  if (set == nullptr) {
    return false;
  }
  DeviceInterfaceSet& devices = *set;
  const bool found =
      FindInterface(devices, [&devices, instance](std::uint32_t index, const wchar_t* detail) {
        wchar_t listed[kPathChars] = {};
        return InstanceFromUsbDevicePath(detail, listed, kPathChars) &&
               TextEqualsNoCase(listed, instance) && devices.EnumDeviceInfo(index);
      });
  wchar_t paths[kPathChars] = {};
  if (!found || !set->GetRegistryProperty(kSpdrpLocationPaths, paths, kPathChars).ok) {
    return false;
  }
  paths[kPathChars - 1] = L'\0';
  CopyText(location, chars, paths);  // the first string of the list
  return true;
}

}  // namespace

bool ReadDeviceIdentity(const wchar_t* devicePath, CameraIdentity* identity) {
  if (devicePath == nullptr || identity == nullptr) {
    return false;
  }
  *identity = CameraIdentity{};
  try {
    wchar_t instance[kPathChars] = {};
    if (!InstanceFromUsbDevicePath(devicePath, instance, kPathChars)) {
      wchar_t parent[kPathChars] = {};
      if (!ParentIdOfCamera(devicePath, parent, kPathChars) ||
          !InstanceFromParentId(parent, instance, kPathChars)) {
        return false;
      }
      identity->ownSerial = true;  // a camera running its firmware
    }
    SerialOfInstance(instance, identity->serial, kWholeSerialChars);
    if (!LocationOfInstance(instance, identity->location, kPathChars)) {
      return false;
    }
    Discovery().CompanionLocationPath(identity->location, identity->companion, kPathChars);
    return true;
  } catch (...) {
    RawTrace(L"Exception ReadDeviceIdentity...\r\n");
    return false;
  }
}

}  // namespace veltra

#include "console/program_devices.h"

#include <cwchar>

#include "console/device_text.h"
#include "core/camera_identity.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/known_devices.h"
#include "devices/usb_serial.h"

namespace veltra::console {

namespace {

std::uint16_t HexValue(const wchar_t* text) {
  return static_cast<std::uint16_t>(std::wcstoul(text, nullptr, 16));
}

// The program's table of known devices: an exact VID and PID first, then the vendor's row.
const KnownDevice* Known(std::uint16_t vid, std::uint16_t pid) {
  const KnownDevice* vendor = nullptr;
  for (const KnownDevice& row : kKnownDevices) {
    if (row.vid == vid && row.pid == pid) {
      return &row;
    }
    if (row.vid == vid && row.pid == 0) {
      vendor = &row;
    }
  }
  return vendor;
}

DeviceMode ModeOfRow(const KnownDevice* row) {
  if (row == nullptr) {
    return DeviceMode::kUpdate;
  }
  switch (row->mode) {
    case KnownMode::kNormal:
      return DeviceMode::kNormal;
    case KnownMode::kBootRom:
      return DeviceMode::kBootRom;
    case KnownMode::kUpdate:
    case KnownMode::kFlashLoader:
      break;
  }
  return DeviceMode::kUpdate;
}

Route RouteOfRow(const KnownDevice* row) {
  if (row == nullptr) {
    return Route::kUnknown;
  }
  switch (row->route) {
    case KnownRoute::kModeSwitch:
      return Route::kModeSwitch;
    case KnownRoute::kDfu:
      return Route::kDfu;
    case KnownRoute::kFx3Loader:
      return Route::kFx3Loader;
    case KnownRoute::kNxpLoader:
      return Route::kNxpLoader;
    case KnownRoute::kSunplusLibrary:
      return Route::kSunplusLibrary;
    case KnownRoute::kNone:
      break;
  }
  return Route::kUnknown;
}

console::ListedDevice FromRecord(const DeviceRecord& record) {
  console::ListedDevice device;
  device.name = Utf8(record.friendlyName);
  device.vid = HexValue(record.vidText);
  device.pid = HexValue(record.pidText);
  const KnownDevice* row = Known(device.vid, device.pid);
  device.mode = ModeOfRow(row);
  device.route = RouteOfRow(row);
  if (device.mode == DeviceMode::kNormal) {
    device.model = device.name;
  }
  CameraIdentity identity;
  ReadDeviceIdentity(record.devicePath, &identity);
  device.serial = Utf8(identity.serial);
  device.locationPath = Utf8(identity.location);
  device.key = Utf8(record.devicePath);
  return device;
}

}  // namespace

DeviceMode KnownMode(std::uint16_t vid, std::uint16_t pid) {
  return ModeOfRow(Known(vid, pid));
}

Route KnownRouteOf(std::uint16_t vid, std::uint16_t pid) {
  return RouteOfRow(Known(vid, pid));
}

std::vector<ListedDevice> ProgramDevicesListed() {
  std::vector<ListedDevice> devices;
  const int count = ListedDeviceCount();
  devices.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    devices.push_back(FromRecord(g_DeviceTable[i]));
  }
  return devices;
}

std::vector<ListedDevice> ListProgramDevices() {
  ResetDeviceTable();
  GetAvailableDevices();
  DeviceConnect();
  std::vector<ListedDevice> devices = ProgramDevicesListed();
  ResetDeviceTable();
  return devices;
}

}  // namespace veltra::console

#include "console/program_devices.h"

#include <cwchar>

#include "camera/version_read.h"
#include "console/device_text.h"
#include "core/camera_identity.h"
#include "core/update_observer.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/usb_serial.h"
#include "platform/ports.h"

namespace veltra::console {

namespace {

std::uint16_t HexValue(const wchar_t* text) {
  return static_cast<std::uint16_t>(std::wcstoul(text, nullptr, 16));
}

// The mode and the route the program's device rules give a device of these IDs.
DeviceMode ModeOfRule(const DeviceRule& rule) {
  switch (rule.mode) {
    case veltra::DeviceMode::kNormal:
      return DeviceMode::kNormal;
    case veltra::DeviceMode::kBootRom:
      return DeviceMode::kBootRom;
    case veltra::DeviceMode::kUpdate:
    case veltra::DeviceMode::kFlashLoader:
      break;
  }
  return DeviceMode::kUpdate;
}

Route RouteOfRule(const DeviceRule& rule) {
  switch (rule.route) {
    case UpdateRoute::kModeSwitch:
      return Route::kModeSwitch;
    case UpdateRoute::kDfu:
      return Route::kDfu;
    case UpdateRoute::kFx3Loader:
      return Route::kFx3Loader;
    case UpdateRoute::kNxpLoader:
      return Route::kNxpLoader;
    case UpdateRoute::kSunplusLibrary:
      return Route::kSunplusLibrary;
    case UpdateRoute::kNone:
      break;
  }
  return Route::kUnknown;
}

console::ListedDevice FromRecord(const DeviceRecord& record) {
  console::ListedDevice device;
  device.name = Utf8(record.friendlyName);
  device.vid = HexValue(record.vidText);
  device.pid = HexValue(record.pidText);
  const DeviceRule& rule = DeviceRules().Lookup(device.vid, device.pid);
  device.mode = ModeOfRule(rule);
  device.route = RouteOfRule(rule);
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

// What the program's version read would show the user, caught instead: the first of its texts,
// as the first message box it opens is the one the update run reads.
class VersionCatch final : public UpdateObserver {
 public:
  void OnNotice(Notice, const wchar_t* text) override {
    if (!caught_ && text != nullptr) {
      caught_ = true;
      text_ = text;
    }
  }
  const std::wstring& text() const { return text_; }
  void OnEraseStart(std::uint32_t /*steps*/) override {}
  void OnProgress(std::uint32_t /*done*/) override {}
  std::intptr_t OnPercent(std::uint32_t /*percent*/) override { return 0; }
  void OnPhase(UpdatePhase /*phase*/) override {}
  void OnDone(UpdateOutcome /*outcome*/, const wchar_t* /*text*/) override {}

 private:
  bool caught_ = false;
  std::wstring text_;
};

// The version of listed camera `index`, read as READ F/W VERSION reads it; the extension unit
// the read opens is closed again.
std::string ReadListedVersion(int index) {
  SelectedCamera camera;
  camera.index = index;
  camera.record = Controller().List().DeviceTable[index];
  VersionCatch caught;
  GetFirmwarVersion(caught, camera);
  CameraLib().DeinitExtensionUnit();
  return VersionOfText(caught.text());
}

}  // namespace

DeviceMode KnownMode(std::uint16_t vid, std::uint16_t pid) {
  return ModeOfRule(DeviceRules().Lookup(vid, pid));
}

Route KnownRouteOf(std::uint16_t vid, std::uint16_t pid) {
  return RouteOfRule(DeviceRules().Lookup(vid, pid));
}

std::vector<ListedDevice> ProgramDevicesListed() {
  std::vector<ListedDevice> devices;
  const int count = Controller().List().Listed();
  devices.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    devices.push_back(FromRecord(Controller().List().DeviceTable[i]));
  }
  return devices;
}

std::vector<ListedDevice> ListProgramDevices(bool withVersions) {
  Controller().ForgetDevices();
  GetAvailableDevices();
  // The listing shows nothing of its own: a device the passes cannot open is simply not listed.
  SilentObserver quiet;
  DeviceConnect(quiet);
  std::vector<ListedDevice> devices = ProgramDevicesListed();
  for (std::size_t i = 0; withVersions && i < devices.size(); ++i) {
    if (devices[i].mode == DeviceMode::kNormal) {
      devices[i].version = ReadListedVersion(static_cast<int>(i));
    }
  }
  Controller().ForgetDevices();
  return devices;
}

}  // namespace veltra::console

// Fuzz target: the USB serial resolution (EnumerateImageDevice) with a device path, video
// interfaces and parent instance IDs from the input.
//
// Input: one options byte (bits 0-1: system version 10.0, 5.1, 5.2 or 6.1; bit 2: the
// device-property function is missing), the device path, then per video interface three fields
// (InputReader): options ('D' anywhere: its path cannot be read, 'P': its parent cannot be read),
// interface path, parent instance ID.
//
// The call is compared with what its rules give: the instance key is the ten characters six after
// "MI_"; the first interface with the same key (ignoring case) is the camera's; its serial is the
// ten characters nine after "PID_" in the upper-cased parent instance ID, or "00" when they hold an
// "&". The parent is the device's: interfaces with one parent instance ID are one device, which
// the first of them describes. Where no serial can be read, or on versions 5.1 / 5.2, the output
// keeps what it held. The path is upper-cased in place and every set the call opened is closed.
#include "devices/usb_serial.h"

#include <cwchar>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/sim_discovery.h"

namespace veltra::fuzz {

namespace usb_serial {

constexpr std::size_t kMaxEntries = 24;
constexpr std::size_t kUniqueIdChars = 11;
constexpr wchar_t kUntouched = L'#';

struct OsChoice {
  std::uint32_t major;
  std::uint32_t minor;
};
constexpr OsChoice kVersions[] = {{10, 0}, {5, 1}, {5, 2}, {6, 1}};

}  // namespace usb_serial

std::string CheckUsbSerial(const std::uint8_t* data, std::size_t size) {
  using namespace usb_serial;
  InputReader in(data, size);
  const std::uint8_t options = in.Byte();
  const OsChoice version = kVersions[options & 3];
  const bool propertyAvailable = (options & 4) == 0;
  const std::wstring devicePath = AsStored(in.WideField(), 0x10000);
  std::vector<sim::SimDiscovery::VideoInterfaceEntry> entries;
  while (!in.empty() && entries.size() < kMaxEntries) {
    sim::SimDiscovery::VideoInterfaceEntry e;
    const Bytes flags = in.Field();
    e.detailReadable = std::find(flags.begin(), flags.end(), 'D') == flags.end();
    e.parentReadable = std::find(flags.begin(), flags.end(), 'P') == flags.end();
    e.interfacePath = in.WideField();
    e.parentInstanceId = in.WideField();
    entries.push_back(e);
  }

  Bench bench;
  sim::SimDiscovery discovery(bench.bus);
  discovery.SetOsVersion(version.major, version.minor);
  discovery.SetDevicePropertyAvailable(propertyAvailable);
  bench.set.discovery = &discovery;
  bench.Install();
  for (const auto& e : entries) {
    discovery.AddVideoInterfaceEntry(e);
  }

  std::unique_ptr<wchar_t[]> path(new wchar_t[devicePath.size() + 1]);
  std::wmemcpy(path.get(), devicePath.c_str(), devicePath.size() + 1);
  std::unique_ptr<wchar_t[]> uniqueId(new wchar_t[kUniqueIdChars]);
  std::wmemset(uniqueId.get(), kUntouched, kUniqueIdChars);

  const int result = EnumerateImageDevice(path.get(), uniqueId.get());

  // What the rules give.
  const std::wstring upperPath = AsciiUpper(devicePath);
  std::wstring targetKey;
  CutAfter(upperPath, L"MI_", 6, 10, &targetKey);
  const sim::SimDiscovery::VideoInterfaceEntry* camera = nullptr;
  if (!targetKey.empty()) {
    for (const auto& e : entries) {
      std::wstring key;
      if (e.detailReadable &&
          CutAfter(AsciiUpper(AsStored(e.interfacePath, 0x10000)), L"MI_", 6, 10, &key) &&
          key == targetKey) {
        camera = &e;
        break;
      }
    }
  }
  const bool oldSystem = version.major == 5 && (version.minor == 1 || version.minor == 2);
  const int expectedResult = camera != nullptr && !oldSystem ? 1 : 0;
  std::wstring serial;
  bool serialRead = false;
  // Interfaces with the same parent instance ID belong to one device, which the first of them
  // describes: the parent property is the device's, readable or not for all its interfaces.
  const sim::SimDiscovery::VideoInterfaceEntry* device = camera;
  if (camera != nullptr && !camera->parentInstanceId.empty()) {
    for (const auto& e : entries) {
      if (e.parentInstanceId == camera->parentInstanceId) {
        device = &e;
        break;
      }
    }
  }
  if (expectedResult == 1 && propertyAvailable && device->parentReadable) {
    serialRead = CutAfter(AsciiUpper(AsStored(device->parentInstanceId)), L"PID_", 9, 10, &serial);
    if (serialRead && serial.find(L'&') != std::wstring::npos) {
      serial = L"00";
    }
  }

  Findings f;
  f.Expect(std::wstring(path.get()) == upperPath, "the path was not upper-cased in place");
  f.Expect(result == expectedResult, "EnumerateImageDevice answered " + std::to_string(result));
  if (serialRead) {
    f.Expect(Terminated(uniqueId.get(), kUniqueIdChars) && uniqueId.get() == serial,
             "unique ID \"" + Narrow(std::wstring(uniqueId.get(), kUniqueIdChars)) +
                 "\", expected \"" + Narrow(serial) + "\"");
  } else {
    f.Expect(
        std::wstring(uniqueId.get(), kUniqueIdChars) == std::wstring(kUniqueIdChars, kUntouched),
        "the unique ID was written although no serial could be read");
  }
  f.Expect(discovery.OpenObjects() == 0, "the call left a device information set open");
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckUsbSerial)

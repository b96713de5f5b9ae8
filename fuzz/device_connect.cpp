// Fuzz target: the boot-mode discovery pass (DeviceConnect) over present USB devices whose strings
// come from the input: hardware ID, location path, device description and interface path.
//
// Input: one byte, the number of records already in the table (0-20), then per device five
// fields (InputReader): options ('D' anywhere: the interface detail cannot be read), hardware ID,
// location path, description, interface path. An empty field is a property the OS does not have.
//
// The pass is compared with what its rules give for each device: which devices are recorded (the
// boot-mode match, in order, never beyond the 20 records), the record's path, VID and PID, and the
// name "<description>_USB_<port>_HUB_<hub>" from characters 36 and 43 of the location path; an
// unreadable detail ends the pass with its message box. Records that were there stay as they were,
// and every set the pass opened is closed again.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "app/dialog_observer.h"
#include "devices/discovery_passes.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/sim_discovery.h"
#include "support/headless_dialog.h"

namespace veltra::fuzz {

namespace device_connect {

constexpr std::size_t kMaxEntries = 24;  // a few more than the table holds
constexpr std::size_t kPortIndex = 36;
constexpr std::size_t kHubIndex = 43;

std::wstring ExpectedName(const std::wstring& description, const std::wstring& location) {
  // A description that does not fit its 260-character field cannot be read.
  const std::wstring desc =
      description.size() + 1 > kPathChars ? std::wstring() : AsStored(description);
  const wchar_t port = location.size() > kPortIndex ? location[kPortIndex] : L'0';
  int hub = 0;
  if (location.size() > kHubIndex && location[kHubIndex] >= L'0') {
    hub = static_cast<int>(location[kHubIndex]) - L'0';
  }
  std::wstring name = desc + L"_USB_";
  name.push_back(port);
  name += L"_HUB_" + std::to_wstring(hub);
  return name.substr(0, kPathChars - 1);
}

}  // namespace device_connect

std::string CheckDeviceConnect(const std::uint8_t* data, std::size_t size) {
  using namespace device_connect;
  InputReader in(data, size);
  const int start = in.Byte() % (kMaxDevices + 1);
  std::vector<sim::SimDiscovery::UsbEntry> entries;
  while (!in.empty() && entries.size() < kMaxEntries) {
    sim::SimDiscovery::UsbEntry e;
    const Bytes options = in.Field();
    e.detailReadable = std::find(options.begin(), options.end(), 'D') == options.end();
    e.hardwareIds = {in.WideField()};
    e.locationPaths = {in.WideField()};
    e.description = in.WideField();
    e.interfacePath = in.WideField();
    entries.push_back(e);
  }

  Bench bench;
  sim::SimDiscovery discovery(bench.bus);
  test::HeadlessDialog dialog;
  bench.set.discovery = &discovery;
  bench.set.dialog = &dialog;
  bench.Install();
  for (const auto& e : entries) {
    discovery.AddUsbEntry(e);
  }
  FillEarlierRecords(start);

  // The pass reports its failure to the dialog's presenter, which shows it.
  UpdateSession session;
  DialogObserver view(session);
  const int result = DeviceConnect(view);

  Findings f;
  int count = start;
  bool detailFailed = false;
  for (std::size_t i = 0; i < entries.size() && !detailFailed; ++i) {
    const auto& e = entries[i];
    if (!BootModeId(AsStored(e.hardwareIds[0])) || count >= kMaxDevices) {
      continue;
    }
    if (!e.detailReadable) {
      detailFailed = true;
      break;
    }
    const std::string at = "device " + std::to_string(i) + ": ";
    if (!f.Expect(count < Controller().List().nDeviceCount, at + "was not recorded")) {
      return f.Result();
    }
    const DeviceRecord& r = Controller().List().DeviceTable[count++];
    const std::wstring path = AsStored(e.interfacePath);
    const std::size_t vidChars = sizeof r.vidText / sizeof r.vidText[0];
    const std::size_t pidChars = sizeof r.pidText / sizeof r.pidText[0];
    f.Expect(Terminated(r.devicePath, kPathChars) && r.devicePath == path,
             at + "path differs from its interface path");
    f.Expect(Terminated(r.vidText, vidChars) && r.vidText == IdAfter(AsciiUpper(path), L"VID_"),
             at + "VID \"" + Narrow(r.vidText) + "\" is not the one in its path");
    f.Expect(Terminated(r.pidText, pidChars) && r.pidText == IdAfter(AsciiUpper(path), L"PID_"),
             at + "PID \"" + Narrow(r.pidText) + "\" is not the one in its path");
    const std::wstring name = ExpectedName(e.description, AsStored(e.locationPaths[0]));
    f.Expect(Terminated(r.friendlyName, kPathChars) && r.friendlyName == name,
             at + "named \"" + Narrow(r.friendlyName) + "\", expected \"" + Narrow(name) + "\"");
  }

  f.Expect(result == (!detailFailed && count > start ? 1 : 0),
           "DeviceConnect answered " + std::to_string(result));
  const auto boxes = dialog.MessageBoxes();
  f.Expect(boxes.size() == (detailFailed ? 1U : 0U),
           "message boxes shown: " + std::to_string(boxes.size()));
  const std::string table = BrokenTableAfterPass(start, count, discovery.OpenObjects());
  f.Expect(table.empty(), table);
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckDeviceConnect)

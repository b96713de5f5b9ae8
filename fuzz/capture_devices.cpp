// Fuzz target: the video capture pass (GetAvailableDevices) over capture devices whose device path
// and friendly name come from the input.
//
// Input: one byte, the number of records already in the table (0-20), then per device three
// fields (InputReader): options ('P' anywhere: "DevicePath" cannot be read, 'N': "FriendlyName"
// cannot be read), device path, friendly name.
//
// The pass is compared with what its rules give for each device: the lower-cased path cut to 259
// characters, the four characters after "vid_" and "pid_" (empty when missing, never those of the
// device before), the library's verdict on the VID and PID or the Sunplus IDs, a record only with a
// readable name and never beyond 20 records, and the result 1 when any device passed the filter.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "devices/discovery_passes.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"

namespace veltra::fuzz {

namespace capture_devices {

constexpr std::size_t kMaxEntries = 24;

}  // namespace capture_devices

std::string CheckCaptureDevices(const std::uint8_t* data, std::size_t size) {
  using namespace capture_devices;
  InputReader in(data, size);
  const int start = in.Byte() % (kMaxDevices + 1);
  std::vector<sim::SimDiscovery::CaptureEntry> entries;
  while (!in.empty() && entries.size() < kMaxEntries) {
    sim::SimDiscovery::CaptureEntry e;
    const Bytes options = in.Field();
    e.pathReadable = std::find(options.begin(), options.end(), 'P') == options.end();
    e.nameReadable = std::find(options.begin(), options.end(), 'N') == options.end();
    e.devicePath = in.WideField();
    e.friendlyName = in.WideField();
    entries.push_back(e);
  }

  Bench bench;
  sim::SimDiscovery discovery(bench.bus);
  sim::SimCameraLibrary library(bench.bus);
  bench.set.discovery = &discovery;
  bench.set.camera = &library;
  bench.Install();
  for (const auto& e : entries) {
    discovery.AddCaptureEntry(e);
  }
  FillEarlierRecords(start);

  const int result = GetAvailableDevices();

  Findings f;
  int count = start;
  bool passed = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    const std::wstring path = AsciiCase(AsStored(e.devicePath), false);
    if (!e.pathReadable || path.empty() || count >= kMaxDevices) {
      continue;
    }
    const std::wstring vid = IdAfter(path, L"vid_");
    const std::wstring pid = IdAfter(path, L"pid_");
    bool listed = false;
    if (library.IsDFUDeviceVID(vid.c_str()) != 0) {
      listed = library.IsRestrictedCameraPID(pid.c_str()) == 0;
    } else if (vid == L"1bcf" && pid == L"0b12") {
      listed = true;
    }
    passed = passed || listed;
    if (!listed || !e.nameReadable) {
      continue;
    }
    const std::string at = "device " + std::to_string(i) + ": ";
    if (!f.Expect(count < Controller().List().nDeviceCount, at + "was not recorded")) {
      return f.Result();
    }
    const DeviceRecord& r = Controller().List().DeviceTable[count++];
    f.Expect(Terminated(r.devicePath, kPathChars) && r.devicePath == path,
             at + "path \"" + Narrow(r.devicePath) + "\" is not the lower-cased device path");
    f.Expect(Terminated(r.vidText, 20) && r.vidText == vid,
             at + "VID \"" + Narrow(r.vidText) + "\", expected \"" + Narrow(vid) + "\"");
    f.Expect(Terminated(r.pidText, 20) && r.pidText == pid,
             at + "PID \"" + Narrow(r.pidText) + "\", expected \"" + Narrow(pid) + "\"");
    f.Expect(Terminated(r.friendlyName, kPathChars) && r.friendlyName == AsStored(e.friendlyName),
             at + "name is not the friendly name");
  }

  f.Expect(result == (passed ? 1 : 0), "GetAvailableDevices answered " + std::to_string(result));
  const std::string table = BrokenTableAfterPass(start, count, discovery.OpenObjects());
  f.Expect(table.empty(), table);
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckCaptureDevices)

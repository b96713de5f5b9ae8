// Fixture of the whole-update scenarios: the program's own dialog procedures over the headless
// dialog, on the complete bench (virtual cameras on the bus, the bench's discovery, USB transport
// with its traffic log, camera-control library and Sunplus library). The test's thread is the
// dialog thread; device notifications are handed to the dialog one at a time, each after the
// threads the previous one started have finished, as a camera re-enumerates far slower than the
// program's threads run.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra::test {

class ScenarioTest : public BenchTest {
 public:
  // The version every example file is stamped with.
  static const fwgen::Version kNewVersion;

 protected:
  ScenarioTest();
  ~ScenarioTest() override;

  // Plugs a device in at start-up (before StartProgram) or while the program runs.
  template <typename Device>
  std::shared_ptr<Device> Plug(std::shared_ptr<Device> device) {
    bus_.Plug(device);
    return device;
  }
  // WM_INITDIALOG, then whatever the start-up scan set going.
  void StartProgram();
  // Hands the dialog every pending device notification and serves the program's threads until
  // nothing is left to do.
  void Settle();
  // The example file of that name (tools/veltra-mkfw), written as fileName next to the program.
  std::wstring ExampleFile(const std::string& example, const std::string& fileName);
  std::vector<std::uint8_t> ExampleBytes(const std::string& example) const;
  // Browse with the given file chosen; F/W UPDATE and OK in the confirmation dialog.
  void Browse(const std::wstring& path);
  void UpdateAndConfirm();

  std::vector<std::wstring> BoxTexts() const;
  std::vector<std::wstring> Entries() const { return dialog_.ComboItems(); }
  bool Visible(int id) const { return dialog_.Item(id).visible; }
  bool Enabled(int id) const { return dialog_.Item(id).enabled; }
  std::wstring Text(int id) const { return dialog_.Item(id).text; }
  // The ready state of the dialog with the camera entry selected and no update pending.
  void ExpectReadyFor(const std::wstring& entry);

  std::string folder_;
  sim::SimUsbTransport usb_{bus_};
  std::ostringstream traffic_;
  sim::TrafficLog log_{usb_, traffic_};
  sim::SimCameraLibrary library_{bus_, &log_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};
};

// The success message of the DFU routes and of the Sunplus route.
extern const std::wstring kSuccessText;

}  // namespace veltra::test

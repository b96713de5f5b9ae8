// Fixture of the whole-update scenarios: the program's own dialog procedures over the headless
// dialog, on the complete bench (virtual cameras on the bus, the bench's discovery, USB transport
// with its traffic log, camera-control library and Sunplus library). The test's thread is the
// dialog thread; device notifications are handed to the dialog one at a time, each after the
// threads the previous one started have finished, as a camera re-enumerates far slower than the
// program's threads run. The HID arrivals that follow a device's USB-device arrival are the
// exception, as on Windows: they come once the program has started work on the device, right
// after its first transfer or library call from another thread once the USB-device arrival was
// handled (that thread waits while the dialog handles them), or after the program is idle when it
// makes none.
// SimpleArrivalOrder() gives a test the old order.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra::test {

// Holds HID arrivals and delivers them at the next entry of the traffic log (a USB transfer or a
// library call) made on a thread other than the dialog's, right after it: the thread waits while
// the dialog handles them.
class ArrivalPoint {
 public:
  explicit ArrivalPoint(HeadlessDialog& dialog) : dialog_(dialog) {}
  void Hold(std::deque<DeviceChange> changes);
  // What was held and not delivered (no such entry came).
  std::deque<DeviceChange> TakeBack();
  void DeliverHeld();

 private:
  HeadlessDialog& dialog_;
  const std::thread::id dialogThread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::deque<DeviceChange> held_;
};

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
  // Every notification after the program is idle, HID arrivals included.
  void SimpleArrivalOrder() { simpleOrder_ = true; }
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
  ArrivalPoint arrivals_{dialog_};
  bool simpleOrder_ = false;
  sim::SimCameraLibrary library_{bus_, &log_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};
};

// The success message of the DFU routes and of the Sunplus route.
extern const std::wstring kSuccessText;

}  // namespace veltra::test

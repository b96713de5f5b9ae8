// Fixture of the whole-update scenarios: the program's own dialog procedures over the headless
// dialog, on the complete bench (virtual cameras on the bus, the bench's discovery, USB transport
// with its traffic log, camera-control library and Sunplus library). The test's thread is the
// dialog thread.
//
// Device notifications happen at set points on the program's clock, as on Windows, where a
// camera leaves and returns on the hardware's time, not the program's: a camera told to switch
// modes leaves at once and returns after its re-enumeration time (Bus::SetReenumerationMs), and a
// test can plug or unplug any device at a clock time (bus_.PlugAt, bus_.UnplugAt). A notification
// is handed to the dialog as soon as it is due, whether or not program threads still run: at the
// next point where a program thread moves the clock or makes an entry in the traffic log (a USB
// transfer or a library call), that thread sends it and waits while the dialog thread handles it.
// When the program is idle (each of its threads ended or waiting for an event nobody has set), the
// dialog thread takes the next due notification itself, or moves the clock on to the next
// scheduled change, firing the dialog timers that fall due on the way. Delivery thus depends on
// the clock and the program's own steps, not on thread scheduling, and every run is the same.
// The HID arrivals that follow a USB-device arrival so come once the program has started work on
// the device (its first transfer), or when it is idle if it makes none.
// SimpleArrivalOrder() hands over every notification only when the program is idle.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/cameras/firmware_version.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra::sim {
class NxpCamera;
}  // namespace veltra::sim

namespace veltra::test {

// The NXP route's flash loader file next to the program, and the length the ROM is told to expect.
extern const std::string kFlashLoaderFile;
constexpr std::size_t kFlashLoaderLength = 86272;

class ScenarioTest : public BenchTest {
 public:
  // The version every example file is stamped with.
  static const fwgen::Version kNewVersion;
  // The version a camera reports once it runs the firmware of an example file.
  static sim::FirmwareVersion NewFirmware() {
    return {kNewVersion.major, kNewVersion.minor, kNewVersion.build, kNewVersion.revision};
  }

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
  // Hands the dialog every device notification, moving the clock on through the scheduled changes
  // of the bus, and serves the program's threads until nothing is left to do.
  void Settle();
  // The example file of that name (tools/veltra-mkfw), written as fileName next to the program.
  std::wstring ExampleFile(const std::string& example, const std::string& fileName);
  std::vector<std::uint8_t> ExampleBytes(const std::string& example) const;
  // The ready state of the dialog with the camera entry selected and no update pending.
  void ExpectReadyFor(const std::wstring& entry);
  // The combo box entry selected, or "<none>".
  std::wstring SelectedEntry();
  // A good flash loader file is put next to the program and the NXP camera waiting in its boot ROM
  // leaves and returns: the ROM is loaded with it, without a message box.
  void ExpectRomLoadedOnceLoaderIsGood(sim::NxpCamera& camera);

  std::string folder_;
  sim::SimUsbTransport usb_{bus_};
  std::ostringstream traffic_;
  sim::TrafficLog log_{usb_, traffic_};
  std::atomic<bool> simpleOrder_{false};
  sim::SimCameraLibrary library_{bus_, &log_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};

 private:
  // A point on the program's clock or in its traffic: what fell due happens now.
  void AtSetPoint();
  // Sends every due notification to the dialog from a program thread, in order.
  void DeliverDue();
  std::optional<DeviceChange> NextChange();

  const std::thread::id dialogThread_ = std::this_thread::get_id();
  std::mutex queueMutex_;
  std::deque<DeviceChange> queued_;
  std::mutex deliveryMutex_;
};

// The success message of the DFU routes and of the Sunplus route.
extern const std::wstring kSuccessText;
// The NXP route's ending when the camera library held the flash loader's HID device, so that its
// answers went unread: the write is unconfirmed, whatever the camera came back running.
extern const std::wstring kUnconfirmedText;
// The message a good update of this camera ends with: kUnconfirmedText for an NXP camera whose
// flash loader's HID device is held (the bench's default), kSuccessText otherwise.
const std::wstring& SuccessTextFor(const sim::CameraDevice& camera);

}  // namespace veltra::test

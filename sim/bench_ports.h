// The bench behind the program's ports: the virtual clock, the system on it, the bus, and the
// adapters of every port but the dialog's, with the USB traffic log when one is asked for. The
// console tools that drive the program on the bench (veltra-bench, veltra-update's bench build)
// build it the same way, so it is built here once; the dialog port is theirs.
#pragma once

#include <memory>
#include <string>

#include "platform/dialog_view.h"
#include "sim/bus.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_system.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "sim/virtual_clock.h"

namespace veltra::sim {

class BenchPorts {
 public:
  // trafficLogPath: where the traffic log goes (its folder is made for it); empty: no log.
  explicit BenchPorts(const std::string& trafficLogPath);
  BenchPorts(const BenchPorts&) = delete;
  BenchPorts& operator=(const BenchPorts&) = delete;

  // Installs the bench as the program's ports, with dialog as the dialog port.
  void Install(DialogView& dialog);

  VirtualClock& clock() { return clock_; }
  const VirtualClock& clock() const { return clock_; }
  SimSystem& system() { return *system_; }
  const SimSystem& system() const { return *system_; }
  Bus& bus() { return bus_; }
  SimUsbTransport& usb() { return usb_; }
  SimDiscovery& discovery() { return discovery_; }
  SimVendorLibrary& vendor() { return vendor_; }
  // The traffic log, or nullptr when none was asked for.
  TrafficLog* traffic() { return traffic_.get(); }
  const TrafficLog* traffic() const { return traffic_.get(); }

 private:
  VirtualClock clock_{0.0};
  std::unique_ptr<SimSystem> system_;
  Bus bus_;
  SimUsbTransport usb_{bus_};
  std::unique_ptr<TrafficLog> traffic_;
  std::unique_ptr<SimCameraLibrary> library_;
  std::unique_ptr<SimHidInput> hidInput_;
  SimDiscovery discovery_{bus_};
  SimVendorLibrary vendor_{bus_};
};

}  // namespace veltra::sim

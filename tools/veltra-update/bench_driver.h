// The console program's seam on today's program, against the virtual camera bench: the devices are
// listed by the program's own discovery passes, and each camera is updated by the program's own
// dialog procedures, run against the console face of the dialog as a person at the desk would use
// them (select the camera, Browse to the file, F/W UPDATE, OK). What the dialog would have shown
// is the camera's result.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console-dialog/console_dialog.h"
#include "console/update_driver.h"
#include "demo/bench_roster.h"
#include "sim/bus.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_system.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "sim/virtual_clock.h"

namespace veltra::update_bench {

// The bench a run starts with.
struct BenchSetup {
  std::vector<demo::CameraEntry> roster;
  // Bench commands, as the demo's bench window takes them: plug and unplug before the run; a
  // fault ("fault 2 error@5") is planted when that camera's update begins (F/W UPDATE), so that
  // it counts the transfers of the update and not those of the version read before it.
  std::vector<demo::BenchCommand> commands;
  std::string trafficLogPath;  // empty: no traffic log
};

class BenchDriver : public console::UpdateDriver {
 public:
  explicit BenchDriver(const BenchSetup& setup);
  ~BenchDriver() override;
  BenchDriver(const BenchDriver&) = delete;
  BenchDriver& operator=(const BenchDriver&) = delete;

  std::vector<console::ListedDevice> List() override;
  console::UpdateResult Update(const console::ListedDevice& camera, const std::string& filePath,
                               const console::ProgressSink& progress) override;

  double Seconds() const { return static_cast<double>(clock_.NowMs()) / 1000.0; }
  const std::vector<demo::BenchCamera>& cameras() const { return cameras_; }
  // The program's trace of the run, one line per entry.
  std::vector<std::wstring> Trace() const { return system_->TraceLines(); }
  bool TrafficLogOk() const { return !traffic_ || traffic_->ok(); }

 private:
  bool PlaceLoaderFiles();
  bool Start();
  // Selects list entry `index` as a person would.
  void Select(int index);
  // READ F/W VERSION on the selected entry: the version the program shows; empty when it shows
  // none.
  std::string ReadVersion();

  sim::VirtualClock clock_{0.0};
  std::unique_ptr<sim::SimSystem> system_;
  sim::Bus bus_;
  sim::SimUsbTransport usb_{bus_};
  std::unique_ptr<sim::TrafficLog> traffic_;
  std::unique_ptr<sim::SimCameraLibrary> library_;
  std::unique_ptr<sim::SimHidInput> hidInput_;
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};
  std::ostringstream transcript_;  // what a person at the dialog would have seen
  bench::ConsoleDialog dialog_{transcript_, true, clock_};
  // Plants the faults of the camera at this location path, once.
  void PlantFaults(const std::string& locationPath);

  std::vector<demo::BenchCamera> cameras_;
  std::vector<demo::BenchCommand> faults_;  // not planted yet
  std::string folder_;  // where the program "lives", with its loader files beside it
  bool started_ = false;
};

}  // namespace veltra::update_bench

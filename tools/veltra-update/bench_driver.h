// The console program's seam on the program (console/dialog_driver.h), against the virtual camera
// bench: the bench's ports and cameras, the loader files beside the program, the bench's clock and
// device changes as the window-less dialog's host, and the faults planted when an update begins.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/shown_controls.h"
#include "console-dialog/console_dialog.h"
#include "console/console_dialog.h"
#include "console/dialog_driver.h"
#include "console/update_driver.h"
#include "demo/bench_roster.h"
#include "sim/bench_ports.h"
#include "sim/bus.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_system.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "sim/virtual_clock.h"
#ifdef _WIN32
#include "veltra-update/win32_bench_host.h"
#endif

namespace veltra::update_bench {

#ifdef _WIN32
using UpdateBenchHost = Win32BenchHost;  // the demo build: the product's device window
#else
using UpdateBenchHost = bench::BenchDialogHost;
#endif

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

  std::vector<console::ListedDevice> List(bool withVersions) override {
    return driver_.List(withVersions);
  }
  console::UpdateResult Update(const console::ListedDevice& camera, const std::string& filePath,
                               const console::ProgressSink& progress) override {
    return driver_.Update(camera, filePath, progress);
  }

  double Seconds() const { return static_cast<double>(bench_.clock().NowMs()) / 1000.0; }
  const std::vector<demo::BenchCamera>& cameras() const { return cameras_; }
  // The program's trace of the run, one line per entry.
  std::vector<std::wstring> Trace() const { return bench_.system().TraceLines(); }
  bool TrafficLogOk() const { return bench_.traffic() == nullptr || bench_.traffic()->ok(); }

 private:
  bool PlaceLoaderFiles();

  sim::BenchPorts bench_;
  std::ostringstream transcript_;  // what a person at the dialog would have seen
  UpdateBenchHost host_{bench_.clock()};
  console::ConsoleDialog dialog_{transcript_, true, host_};
  ShownControls shown_{dialog_};  // the dialog port
  console::DialogDriver driver_{dialog_, shown_, host_};
  // Plants the faults of the camera at this location path, once.
  void PlantFaults(const std::string& locationPath);

  std::vector<demo::BenchCamera> cameras_;
  std::vector<demo::BenchCommand> faults_;  // not planted yet
  std::string folder_;  // where the program "lives", with its loader files beside it
};

}  // namespace veltra::update_bench

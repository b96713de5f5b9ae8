#include "sim/bench_ports.h"

#include <filesystem>
#include <system_error>

#include "platform/ports.h"

namespace veltra::sim {

BenchPorts::BenchPorts(const std::string& trafficLogPath)
    : system_(std::make_unique<SimSystem>(clock_)) {
  if (!trafficLogPath.empty()) {
    // The log's folder is made for it; a failure shows when the log cannot be opened.
    const std::filesystem::path folder = std::filesystem::path(trafficLogPath).parent_path();
    std::error_code ignored;
    if (!folder.empty()) {
      std::filesystem::create_directories(folder, ignored);
    }
    traffic_ = std::make_unique<TrafficLog>(usb_, trafficLogPath);
  }
  library_ = std::make_unique<SimCameraLibrary>(bus_, traffic_.get());
  hidInput_ = std::make_unique<SimHidInput>(bus_, traffic_.get());
}

void BenchPorts::Install(DialogView& dialog) {
  Ports set;
  set.system = system_.get();
  set.usb = traffic_ ? static_cast<UsbTransport*>(traffic_.get()) : &usb_;
  set.camera = library_.get();
  set.vendor = &vendor_;
  set.discovery = &discovery_;
  set.dialog = &dialog;
  set.hidInput = hidInput_.get();
  InstallPorts(set);
}

}  // namespace veltra::sim

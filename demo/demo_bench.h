// The demo's virtual camera bench: the bus with the roster's cameras, the bench's USB transport,
// camera-control library, discovery and Sunplus library behind the program's ports, and the
// timing a person sees on real hardware: a camera that re-enumerates stays away for a few seconds,
// and each device change reaches the program a moment after the bus changed, on a thread of the
// bench's own (the Windows side turns it into WM_DEVICECHANGE on the dialog's thread).
//
// Times are in program milliseconds on the bench's clock, which runs at real time times the
// demo's speed factor.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "demo/bench_roster.h"
#include "demo/timed_queue.h"
#include "platform/device_discovery.h"
#include "sim/bus.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "sim/traffic_log.h"
#include "sim/virtual_clock.h"

namespace veltra::demo {

class DemoBench {
 public:
  struct Config {
    double speed = 1.0;
    // From a bus change to its notification.
    std::uint32_t notifyLatencyMs = 1500;
    // From a camera leaving the bus to its return in its new mode.
    std::uint32_t returnDelayMs = 3000;
    // The USB traffic log (JSON Lines); empty: none.
    std::string trafficLogPath;
  };
  using ChangeSink = std::function<void(const DeviceChange&)>;
  using ChangeListener = std::function<void()>;

  DemoBench(const Config& config, std::vector<BenchCamera> cameras);
  ~DemoBench();
  DemoBench(const DemoBench&) = delete;
  DemoBench& operator=(const DemoBench&) = delete;

  sim::VirtualClock& clock() { return clock_; }
  UsbTransport& usb();
  CameraLibrary& camera() { return library_; }
  HidInput& hidInput() { return hidInput_; }
  VendorLibrary& vendor() { return vendor_; }
  DeviceDiscovery& discovery() { return discovery_; }
  sim::Bus& bus() { return bus_; }
  // False when a traffic log was asked for and could not be opened.
  bool TrafficLogOk() const;

  // Plugs the cameras that start plugged in. Nothing is notified: the program's start-up scan
  // finds them.
  void PlugStartupCameras();
  // From now on every bus change reaches sink notifyLatencyMs later, in order, on the bench's
  // notification thread.
  void NotifyChanges(ChangeSink sink);
  // Called at once on the thread that changed the bus (the bench window refreshes its list).
  void OnBusChange(ChangeListener listener);

  // Carries out a command; returns "" on success, otherwise what was wrong.
  std::string Execute(const BenchCommand& command);
  // One line per camera: place, name, current VID:PID, where it is, firmware version, serial,
  // how often it has appeared on the bus, and a pending fault.
  std::vector<std::wstring> Describe() const;
  std::size_t CameraCount() const { return cameras_.size(); }

  // Ends the bench's threads: pending returns and notifications are dropped.
  void Stop();

 private:
  struct Slot {
    BenchCamera camera;
    bool plugged = false;
    unsigned lastEnumeration = 0;
    int appearances = 0;
  };
  void CountAppearances();

  Config config_;
  sim::VirtualClock clock_;
  sim::Bus bus_;
  sim::SimUsbTransport usb_{bus_};
  std::unique_ptr<sim::TrafficLog> log_;
  sim::SimCameraLibrary library_{bus_};
  sim::SimHidInput hidInput_{bus_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};

  // The driver install a return waits for: the camera's Unknowns on the first appearance of its
  // identity (VID:PID and serial), nothing after.
  std::uint32_t DriverInstallMs(const sim::CameraDevice& device);

  mutable std::mutex mutex_;  // guards the slots' bookkeeping and the sinks
  std::set<std::pair<const sim::CameraDevice*, std::wstring>> installed_;
  std::vector<Slot> cameras_;
  ChangeSink sink_;
  ChangeListener listener_;

  TimedQueue returns_{clock_};
  TimedQueue notifications_{clock_};
};

}  // namespace veltra::demo

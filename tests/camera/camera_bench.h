// The bench the camera tests run on: virtual devices on the bus, found by the bench's discovery,
// opened through the bench's USB transport (every transfer in traffic_) and reached through the
// bench's camera-control library. The library can be told to raise an exception or to hand out
// scripted HID replies, for the paths no virtual camera takes.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"

namespace veltra::test {

class ScriptedLibrary : public sim::SimCameraLibrary {
 public:
  using SimCameraLibrary::SimCameraLibrary;
  std::function<std::int32_t(std::uint8_t*)> hidReply;

  std::int32_t GetHidReport(std::uint8_t* reply64) override {
    return hidReply ? hidReply(reply64) : SimCameraLibrary::GetHidReport(reply64);
  }
};

class CameraBench : public BenchTest {
 protected:
  CameraBench() {
    Ports set = ports();
    set.usb = &log_;
    set.camera = &lib_;
    set.discovery = &discovery_;
    InstallPorts(set);
  }

  template <typename Device, typename Options>
  std::shared_ptr<Device> Plug(Options options, const wchar_t* serial) {
    options.serial = serial;
    auto device = std::make_shared<Device>(options);
    bus_.Plug(device);
    return device;
  }

  sim::SimUsbTransport usb_{bus_};
  std::ostringstream traffic_;
  sim::TrafficLog log_{usb_, traffic_};
  ScriptedLibrary lib_{bus_, &log_};
  sim::SimDiscovery discovery_{bus_};
};

}  // namespace veltra::test

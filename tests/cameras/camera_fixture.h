// Fixture of the camera tests: the bench's USB transport and camera library over the fixture's
// bus, both writing one traffic log, installed as the program's ports.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/sim_camera_library.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"

namespace veltra::test {

class CameraTest : public BenchTest {
 protected:
  CameraTest();

  template <typename Device>
  std::shared_ptr<Device> Plug(std::shared_ptr<Device> device) {
    bus_.Plug(device);
    return device;
  }
  // The path the program would use for the device in its current mode: the capture path when
  // it has a video interface, else its USB device interface path.
  std::wstring PathOf(const sim::VirtualDevice& device) const;
  // The traffic log's lines so far.
  std::vector<std::string> LogLines() const;

  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  sim::TrafficLog traffic_{usb_, log_};
  sim::SimCameraLibrary library_{bus_, &traffic_};
};

}  // namespace veltra::test

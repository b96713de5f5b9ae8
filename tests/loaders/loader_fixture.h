// Fixture of the boot-loader route tests: the bench's USB transport and camera library over the
// fixture's bus, both writing one traffic log, installed as the program's ports; helpers that
// read the log back.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"

namespace veltra::test {

// One traffic-log line, with the fields the tests look at.
struct LogEntry {
  std::uint64_t tMs = 0;
  std::string dev;
  std::string op;
  std::string call;
  std::vector<long long> setup;
  std::vector<std::uint8_t> out;
  long long length = 0;
  long long flag = -1;
  long long result = 0;
};

class LoaderTest : public BenchTest {
 protected:
  LoaderTest();
  ~LoaderTest() override;

  // Puts bytes into a payload as the program's loaders and Browse leave them (malloc'ed at their
  // exact length, so a read past the end is caught by the address sanitizer).
  static void SetPayload(Payload& payload, const std::vector<std::uint8_t>& bytes);
  std::vector<LogEntry> Log(const std::string& op) const;

  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  sim::TrafficLog traffic_{usb_, log_};
  sim::SimCameraLibrary library_{bus_, &traffic_};
};

}  // namespace veltra::test

// Fixture of the DFU tests: the bench's USB transport (optionally behind the traffic log) over the
// fixture's bus, a DFU-mode camera on it, the engines' own session, and helpers that load payloads
// the way Browse leaves them and open the camera the way the update command does.
#pragma once

#include <memory>
#include <sstream>
#include <vector>

#include "app/dialog_observer.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "sim/dfu_camera.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"

namespace veltra::test {

using Bytes = std::vector<std::uint8_t>;

class DfuTest : public BenchTest {
 protected:
  DfuTest();
  ~DfuTest() override;

  // Plugs a DFU camera in (replacing none) and opens the session's connection to it.
  sim::DfuCamera& PlugCamera(sim::DfuCamera::Options options = {});
  // Routes every transfer through a traffic log written to log_.
  void EnableTrafficLog();

  static void SetPayload(Payload& part, const Bytes& bytes);
  // Lengths of the image data requests the camera received, in order.
  std::vector<std::uint32_t> BlockLengths(std::uint8_t request) const;
  // wParams of the messages of one kind sent to the dialog.
  std::vector<std::uintptr_t> Sent(std::uint32_t message) const;

  UpdateSession update_;
  DialogObserver observer_{update_};
  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  std::unique_ptr<sim::TrafficLog> traffic_;
  std::shared_ptr<sim::DfuCamera> camera_;
};

}  // namespace veltra::test

// Fixture of the DFU tests: the bench's USB transport over the fixture's bus, a DFU-mode camera on
// it, the engines' own session, and a helper that opens the camera the way the update command does.
#pragma once

#include <memory>
#include <vector>

#include "app/dialog_observer.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "sim/dfu_camera.h"
#include "sim/sim_usb_transport.h"
#include "support/bench_fixture.h"

namespace veltra::test {

using Bytes = std::vector<std::uint8_t>;

class DfuTest : public BenchTest {
 protected:
  DfuTest();
  ~DfuTest() override;

  // Plugs a DFU camera in (replacing none) and opens the session's connection to it.
  sim::DfuCamera& PlugCamera(sim::DfuCamera::Options options = {});
  // Lengths of the image data requests the camera received, in order.
  std::vector<std::uint32_t> BlockLengths(std::uint8_t request) const;

  UpdateSession update_;
  DialogObserver observer_{update_};
  sim::SimUsbTransport usb_{bus_};
  std::shared_ptr<sim::DfuCamera> camera_;
};

}  // namespace veltra::test

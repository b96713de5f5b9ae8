#include "dfu/dfu_fixture.h"

#include "image/firmware_image.h"

namespace veltra::test {

DfuTest::DfuTest() {
  Ports set = ports();
  set.usb = &usb_;
  InstallPorts(set);
  update_.SetObserver(&observer_);
}

DfuTest::~DfuTest() {
  system_->JoinAllThreads();
  ReleaseDfuHandles(update_.link);
}

sim::DfuCamera& DfuTest::PlugCamera(sim::DfuCamera::Options options) {
  camera_ = std::make_shared<sim::DfuCamera>(std::move(options));
  bus_.Plug(camera_);
  EXPECT_EQ(InitializeDevice(update_.link, bus_.UsbInterfacePath(camera_.get()).c_str()), 1);
  return *camera_;
}

std::vector<std::uint32_t> DfuTest::BlockLengths(std::uint8_t request) const {
  std::vector<std::uint32_t> lengths;
  for (const auto& block : camera_->engine().Blocks()) {
    if (block.request == request) {
      lengths.push_back(block.length);
    }
  }
  return lengths;
}

}  // namespace veltra::test

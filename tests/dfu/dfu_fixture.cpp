#include "dfu/dfu_fixture.h"

#include <cstdlib>
#include <cstring>

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

void DfuTest::EnableTrafficLog() {
  traffic_ = std::make_unique<sim::TrafficLog>(usb_, log_);
  Ports set = ports();
  set.usb = traffic_.get();
  InstallPorts(set);
}

void DfuTest::SetPayload(Payload& part, const Bytes& bytes) {
  ReleasePayload(part);
  part.length = static_cast<std::uint32_t>(bytes.size());
  if (bytes.empty()) {
    return;
  }
  part.data = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
  std::memcpy(part.data, bytes.data(), bytes.size());
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

std::vector<std::uintptr_t> DfuTest::Sent(std::uint32_t message) const {
  std::vector<std::uintptr_t> params;
  for (const auto& sent : dialog_.Messages()) {
    if (sent.message == message) {
      params.push_back(sent.wParam);
    }
  }
  return params;
}

}  // namespace veltra::test

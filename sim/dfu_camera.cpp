#include "sim/dfu_camera.h"

#include <utility>

#include "sim/bus.h"

namespace veltra::sim {

DfuCamera::DfuCamera() : DfuCamera(Options{}) {}

DfuCamera::DfuCamera(Options options)
    : options_(std::move(options)), pid_(options_.pid), engine_(*this, options_.engine) {
  SetSerial(options_.serial);
}

UsbId DfuCamera::Id() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return UsbId{kMakerVid, pid_};
}

std::wstring DfuCamera::Description() const {
  return options_.description;
}

bool DfuCamera::OnControl(const SetupPacket& setup, std::uint8_t* data,
                          std::uint32_t* transferred) {
  return engine_.OnControl(setup, data, transferred);
}

void DfuCamera::SetAfterManifest(std::function<void(DfuCamera&)> hook) {
  if (!hook) {
    engine_.SetManifestHook(nullptr);
    return;
  }
  engine_.SetManifestHook([this, hook = std::move(hook)]() { hook(*this); });
}

void DfuCamera::ReEnumerate(std::uint16_t newPid) {
  Bus* const onBus = bus();
  if (onBus != nullptr) {
    onBus->Leave(this);
  }
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (newPid != 0) {
      pid_ = newPid;
    }
  }
  engine_.Restart();
  if (onBus != nullptr) {
    onBus->Return(this);
  }
}

}  // namespace veltra::sim

#include "sim/cameras/camera_device.h"

#include <utility>

#include "sim/bus.h"

namespace veltra::sim {

std::uint32_t CameraDevice::Generation() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return generation_;
}

void CameraDevice::PowerCycle() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ++generation_;
}

void CameraDevice::SetReturnScheduler(ReturnScheduler scheduler) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  scheduler_ = std::move(scheduler);
}

void CameraDevice::Reenumerate(const std::function<void()>& change) {
  Bus* const onBus = bus();
  if (onBus != nullptr) {
    onBus->Leave(this);
  }
  ReturnScheduler scheduler;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++generation_;
    scheduler = scheduler_;
  }
  if (change) {
    change();
  }
  if (onBus == nullptr) {
    return;
  }
  auto comeBack = [this, onBus]() { onBus->Return(this); };
  if (scheduler) {
    scheduler(comeBack);
  } else {
    comeBack();
  }
}

void CameraDevice::Disconnect() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++generation_;
  }
  if (bus() != nullptr) {
    bus()->Leave(this);
  }
}

FaultKind CameraDevice::TakeFault() {
  const FaultKind fault = NextTransferFault();
  if (fault == FaultKind::kDisconnect) {
    Disconnect();
  }
  return fault;
}

}  // namespace veltra::sim

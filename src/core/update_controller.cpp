#include "core/update_controller.h"

namespace veltra {

UpdateController& Controller() {
  // Never destroyed: a thread of the last update may still report to it while the process ends.
  static UpdateController* const controller = new UpdateController();
  return *controller;
}

void UpdateController::Reset() {
  session_.Reset();
  ForgetDevices();
  commands_.Clear();
  refresher_ = RefresherHandles{};
}

void UpdateController::ForgetDevices() {
  list_ = DeviceList{};
  bootLoaderStep_.Reset();
}

void CameraCommands::RequestReadVersion(const SelectedCamera& camera) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    readVersion_ = camera;
  }
  bReadVersionBusy = 1;
}

void CameraCommands::RequestReset(const SelectedCamera& camera) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reset_ = camera;
  }
  bResetBusy = 1;
}

SelectedCamera CameraCommands::ReadVersionCamera() {
  std::lock_guard<std::mutex> lock(mutex_);
  return readVersion_;
}

SelectedCamera CameraCommands::ResetCamera() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reset_;
}

void CameraCommands::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  readVersion_ = SelectedCamera{};
  reset_ = SelectedCamera{};
  bReadVersionBusy = 0;
  bResetBusy = 0;
}

}  // namespace veltra

#include "core/update_controller.h"

#include <cstring>

namespace veltra {

UpdateController& Controller() {
  // Never destroyed: a thread of the last update may still report to it while the process ends.
  static UpdateController* const controller = new UpdateController();
  return *controller;
}

void UpdateController::Reset() {
  session_.Reset();
  ForgetDevices();
  commands_.bReadVersionBusy = 0;
  commands_.bResetBusy = 0;
  refresher_.hUIEvent = kNullHandle;
  refresher_.hUIThread = kNullHandle;
  refresher_.bUIThreadRun = 0;
}

void UpdateController::ForgetDevices() {
  for (DeviceRecord& record : list_.DeviceTable) {
    record = DeviceRecord{};
  }
  list_.nDeviceCount = 0;
  list_.nSelectedIndex = 0;
  list_.nLastSelectedIndex = 0;
  std::memset(list_.szSelectedDevicePath, 0, sizeof list_.szSelectedDevicePath);
  bootLoaderStep_.Reset();
}

}  // namespace veltra

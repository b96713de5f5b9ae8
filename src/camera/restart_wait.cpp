#include "camera/restart_wait.h"

#include "camera/selected_device.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/reidentify.h"

namespace veltra::camera {

bool UpdatedCameraBackInDfuMode(const UpdateSession& update) {
  if (!update.AwaitingRestart() || update.bNXPMode.load() != 0 ||
      update.bWorkerRunning.load() != 0) {
    return false;
  }
  // The one rule that finds the camera, among the maker's update modes; a flash loader (DF02) is
  // no DFU update mode.
  const FoundCamera found = FindUpdatedCamera(update.camera, ListedAs::kUpdateMode);
  if (found.result != CameraFound::kFound || found.index < 0 ||
      found.index >= Controller().List().Listed()) {
    return false;
  }
  const DeviceRule& rule = RuleAt(found.index);
  return rule.mode == DeviceMode::kUpdate && rule.route == UpdateRoute::kDfu;
}

}  // namespace veltra::camera

// The end of an NXP update. The flash loader answered that the image was written; whether it
// boots shows only in what the chip restarts into once the flash loader's session is over: the
// camera running its firmware (its flash boots), or the RT1060 ROM (it does not). Each arrival's
// rebuild looks; timer 2 ends the update when neither comes within its minute. When the answers
// could not be read, a camera running its firmware may run the old one: the write is told as
// unconfirmed, never as a success.

#include "camera/device_change_steps.h"
#include "camera/restart_wait.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/reidentify.h"

namespace veltra::camera {

// The camera being updated is listed running its firmware, found by the one rule of
// devices/reidentify.h. Any other camera on the desk is not it.
bool UpdatedCameraRunsItsFirmware(const UpdateSession& update) {
  return FindUpdatedCamera(update.camera, ListedAs::kNormalMode).result == CameraFound::kFound;
}

void ConcludeNxpRestart(UpdateSession& update) {
  if (!update.AwaitingRestart()) {
    return;
  }
  if (UpdatedCameraRunsItsFirmware(update)) {
    if (!update.FinishRestartWait(UpdatePhase::kEndedOk)) {
      return;  // the worker ended the update meanwhile
    }
    update.Observer().OnReturnWaitOver();
    // The ending is told as the worker tells its own: through the session's observer. Without
    // the flash loader's answers the old firmware would look the same: the write is unconfirmed.
    update.Observer().OnDone(update.bAnswersUnread.load() != 0 ? UpdateOutcome::kWrittenUnconfirmed
                                                               : UpdateOutcome::kSucceeded,
                             nullptr);
    return;
  }
  // The camera's own ROM (its flash holds no bootable image), or the camera back in its update
  // mode: the image did not boot.
  if (FindUpdatedCamera(update.camera, ListedAs::kBootRom).result == CameraFound::kFound ||
      UpdatedCameraBackInDfuMode(update)) {
    EndUpdateWithoutUpdateMode(update);
  }
}

}  // namespace veltra::camera

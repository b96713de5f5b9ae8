// The end of an NXP update. The flash loader answered that the image was written; whether it
// boots shows only in what the chip restarts into once the flash loader's session is over: the
// camera running its firmware (its flash boots), or the RT1060 ROM (it does not). Each arrival's
// rebuild looks; timer 2 ends the update when neither comes within its minute.

#include "camera/device_change_steps.h"
#include "camera/restart_wait.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/known_devices.h"
#include "devices/reidentify.h"
#include "devices/usb_serial.h"
#include "platform/ports.h"

namespace veltra::camera {

namespace {

// A serial of up to 10 characters and its terminator.
constexpr std::size_t kSerialBufferChars = 11;

// Whether record i is the camera that left for the update: by its serial when that is known,
// otherwise by the path the update started on. Any other camera on the desk is not it.
bool IsTheCameraThatLeft(const UpdateSession& update, int i, const wchar_t* serial) {
  if (UniqueIDNamesOneCamera(update.USBUniqueID)) {
    return TextEqualsNoCase(serial, update.USBUniqueID);
  }
  return ListedUnderUpdatePath(update, i);
}

// An RT1060 ROM is listed: a chip that restarted without a bootable image. The ROM is matched
// without a serial, as it need not report the camera's.
bool Rt1060RomListed() {
  for (int i = 0; i < ListedDeviceCount(); ++i) {
    if (VendorIdIs(i, kVidNxp) && ProductIdIs(i, kPidRt1060Rom)) {
      return true;
    }
  }
  return false;
}

}  // namespace

// A video device that is the camera that left.
bool UpdatedCameraRunsItsFirmware(const UpdateSession& update) {
  for (int i = 0; i < ListedDeviceCount(); ++i) {
    wchar_t serial[kSerialBufferChars] = {};
    if (EnumerateImageDevice(g_DeviceTable[i].devicePath, serial) != 0 &&
        IsTheCameraThatLeft(update, i, serial)) {
      return true;
    }
  }
  return false;
}

void ConcludeNxpRestart(UpdateSession& update) {
  if (!update.AwaitingRestart()) {
    return;
  }
  if (UpdatedCameraRunsItsFirmware(update)) {
    if (!update.FinishRestartWait(UpdatePhase::kEndedOk)) {
      return;  // the worker ended the update meanwhile
    }
    Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
    // The ending is told as the worker tells its own: through the session's observer.
    update.Observer().OnDone(UpdateOutcome::kSucceeded, nullptr);
    return;
  }
  if (Rt1060RomListed() || UpdatedCameraBackInDfuMode(update)) {
    EndUpdateWithoutUpdateMode(update);
  }
}

}  // namespace veltra::camera

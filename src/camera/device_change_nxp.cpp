// The end of an NXP update. The flash loader answers nothing the program reads, so whether the
// image took shows only in what the chip restarts into once the flash loader's session is over:
// the camera running its firmware (its flash boots), or the RT1060 ROM (it does not). Each
// arrival's rebuild looks; timer 2 ends the update when neither comes within its minute.
#include <algorithm>

#include "camera/device_change_steps.h"
#include "camera/selected_device.h"
#include "camera/update_worker.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/known_devices.h"
#include "devices/usb_serial.h"
#include "platform/ports.h"

namespace veltra::camera {

namespace {

// A serial of up to 10 characters and its terminator.
constexpr std::size_t kSerialBufferChars = 11;

int ListedCount() {
  return std::clamp(g_nDeviceCount.load(), 0, kMaxDevices);
}

// The updated camera is listed running its firmware: a video device carrying its serial.
bool UpdatedCameraRunsItsFirmware(const UpdateSession& update) {
  const wchar_t* wanted = update.USBUniqueID;
  for (int i = 0; i < ListedCount(); ++i) {
    wchar_t serial[kSerialBufferChars] = {};
    if (EnumerateImageDevice(g_DeviceTable[i].devicePath, serial) != 0 &&
        (wanted[0] == L'\0' || TextEqualsNoCase(serial, wanted))) {
      return true;
    }
  }
  return false;
}

// An RT1060 ROM is listed: a chip that restarted without a bootable image. The ROM is matched
// without a serial, as it need not report the camera's.
bool Rt1060RomListed() {
  for (int i = 0; i < ListedCount(); ++i) {
    if (VendorIdIs(i, kVidNxp) && ProductIdIs(i, kPidRt1060Rom)) {
      return true;
    }
  }
  return false;
}

}  // namespace

void ConcludeNxpRestart(UpdateSession& update) {
  if (!update.AwaitingRestart()) {
    return;
  }
  if (UpdatedCameraRunsItsFirmware(update)) {
    update.Advance(UpdatePhase::kEndedOk);
    Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
    Dialog().SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
    Dialog().MessageBox(kTextDownloadSucceeded, kCaptionSuccess, kMbIconExclamation);
    return;
  }
  if (Rt1060RomListed()) {
    EndUpdateWithoutUpdateMode(update);
  }
}

}  // namespace veltra::camera

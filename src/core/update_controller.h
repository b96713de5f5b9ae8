// The update controller: the one owner of everything the program keeps between two messages of
// the dialog thread. It holds the update session, the device table and the selection, the
// boot-loader step of the list, the busy flags of READ F/W VERSION and RESET and the refresher
// thread's handles. The dialog thread owns it; the front end that drives it (the Win32 dialog,
// the console bench, a test) reaches it through Controller(), and every other thread is handed
// by value what it needs and reports back through the session's observer or a window message.
#pragma once

#include <mutex>

#include "core/boot_loader_step.h"
#include "core/device_record.h"
#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// The device table and the selection: the list the user sees and the entry chosen in it. Read and
// written on the dialog thread only (the rebuilds, the selection change, the device-change
// handling, the commands); a thread that needs a record is handed a copy (SelectedCamera).
struct DeviceList {
  DeviceRecord DeviceTable[kMaxDevices] = {};
  int nDeviceCount = 0;
  int nSelectedIndex = 0;
  int nLastSelectedIndex = 0;
  wchar_t szSelectedDevicePath[kPathChars] = {};

  // How many records are listed, cut to the table's size.
  int Listed() const {
    const int count = nDeviceCount;
    return count < 0 ? 0 : (count > kMaxDevices ? kMaxDevices : count);
  }
};

// READ F/W VERSION and RESET refuse each other; neither is an update. The dialog thread hands the
// refresher the camera by value and sets the command's flag; the refresher takes the camera and
// clears the flag when the command is done.
class CameraCommands {
 public:
  Flag bReadVersionBusy{0};
  Flag bResetBusy{0};

  // Dialog thread: the camera the command is for, then its flag.
  void RequestReadVersion(const SelectedCamera& camera);
  void RequestReset(const SelectedCamera& camera);
  // Refresher thread: a copy of the camera of the command it serves.
  SelectedCamera ReadVersionCamera();
  SelectedCamera ResetCamera();
  // No command pending (a fresh program).
  void Clear();

 private:
  std::mutex mutex_;
  SelectedCamera readVersion_;
  SelectedCamera reset_;
};

// The refresher thread runs for the whole program: its wake-up event, its handle and its run
// flag (cleared by the stop).
struct RefresherHandles {
  Handle hUIEvent = kNullHandle;
  Handle hUIThread = kNullHandle;
  SharedFlag bUIThreadRun{0};  // read by the refresher
};

class UpdateController {
 public:
  UpdateController() = default;
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  UpdateSession& Session() { return session_; }
  DeviceList& List() { return list_; }
  // The list takes over a camera it finds waiting in a boot ROM whether or not an update is under
  // way: the step lives as long as the list does and is handed to the downloads it starts.
  BootLoaderStep& BootLoader() { return bootLoaderStep_; }
  CameraCommands& Commands() { return commands_; }
  RefresherHandles& Refresher() { return refresher_; }

  // Back to the start-up values of a fresh program; the session's observer stays.
  void Reset();
  // The table, the selection and the boot-loader step back to their start-up values.
  void ForgetDevices();

 private:
  UpdateSession session_;
  DeviceList list_;
  BootLoaderStep bootLoaderStep_;
  CameraCommands commands_;
  RefresherHandles refresher_;
};

// The program's one controller. One dialog runs one update at a time, and the Win32 dialog
// procedures, device notifications and library callbacks that drive it have no other way in.
UpdateController& Controller();

// The controller's session (see UpdateController::Session).
inline UpdateSession& CurrentUpdate() {
  return Controller().Session();
}

}  // namespace veltra

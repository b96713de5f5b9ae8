// The update session: every value of one firmware update, from the click on OK in the
// confirmation dialog until the camera is back in its normal mode or the update failed. The
// update dispatch begins it on the dialog thread; the worker, the engines, the loaders and the
// device-change handling read and write it. Values shared with the worker and loader threads are
// 32-bit atomics, as the program has always shared them; text fields are written on the dialog
// thread only, before a worker that reads them starts.
#pragma once

#include "core/app_state.h"
#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// The status text's size: "UpdateFirmware : bState = %d \r\n" with the last device state.
constexpr std::size_t kStatusTextChars = 256;
// A USB serial as the update-mode device path carries it (ten characters and the terminator fit).
constexpr std::size_t kUniqueIDChars = 20;

class UpdateSession {
 public:
  // ---- finding the camera again ----
  // The path of the camera chosen for the update, while its file still waits for it.
  wchar_t szUpdateDevicePath[kPathChars] = {};
  // Every path listed when the update began: the camera comes back as the one path not among them.
  wchar_t savedDevicePaths[kMaxDevices][kPathChars] = {};
  // How many of savedDevicePaths the update saved; the path match compares only those.
  std::atomic<int> nSavedDeviceCount{0};
  // The camera's USB serial, read before a mode switch, matched when the camera returns.
  wchar_t USBUniqueID[kUniqueIDChars] = {};
  Flag bMatchByUniqueID{0};
  Flag bUpdateDeviceGone{1};  // 1 at start
  // Set when a removal of a USB device left nothing on the bus (the updated camera has gone to
  // restart), cleared when a rebuild finds a device again. The Warning dialog reads it as it
  // comes up: a removal handled before the dialog existed could neither stop its time-out nor
  // enable its OK.
  Flag bAllDevicesGone{0};

  // ---- the route the update took ----
  Flag bUpdatedFromHIDMode{0};     // began with a mode switch from the camera's normal mode
  Flag bIsStartUpdatedFromDFU{0};  // began with the camera already in its update mode
  Flag bAwaitingModeSwitch{1};     // 1 at start
  Flag bPescaDevice{0};            // the camera is of the Pesca family
  // The NXP flash loader was given the whole image and told to end its session: the chip restarts
  // from its flash, and only the camera back in its normal mode shows that the image took.
  Flag bAwaitingNxpRestart{0};

  // ---- the download ----
  std::atomic<std::uint32_t> blockCount{0};
  Flag bDownloadInProgress{0};
  Flag bDownloadComplete{0};
  // The pass of a two-pass image: the first part was written (the second follows when the
  // camera returns), the first part is to be written now, the camera was opened directly in its
  // update mode.
  Flag bFirstPartWritten{0};
  Flag bWriteFirstPart{0};
  Flag bDFUOpened{0};
  // The camera library's answer to the mode-switch command (50: the camera starts afresh).
  std::atomic<std::int32_t> updateResult{0};
  wchar_t statusText[kStatusTextChars] = {};

  // ---- what the dialog shows of it ----
  std::atomic<Handle> hFirmwareThread{kNullHandle};
  // A worker of this update runs, from before its thread starts until its body has returned. An
  // update has one worker per pass: the device-change handling starts no other meanwhile.
  Flag bWorkerRunning{0};
  // A removal came while the update waited for its camera: the camera has left since the worker
  // last ran (cleared when the camera is found again in its update mode).
  Flag bCameraLeft{0};
  std::atomic<std::uint32_t> progressTotal{0};
  Flag blinkState{0};

  // Keeps a worker or boot-loader thread's handle in hFirmwareThread, closing the handle it
  // replaces (the thread it named has either ended or runs on without it).
  void KeepFirmwareThread(Handle thread);
  // Clears the download's flags and block count.
  void ClearDownload();
  // The end of a failed update, the one place that says what a failure leaves behind: no
  // download flags, no pass of a two-pass image (the next update of the camera starts with its
  // first pass), no route and no serial match (later removals are handled and later arrivals
  // start no worker for a camera that is no longer being updated), and no mode-switch wait.
  void EndFailed();
  // Back to the start-up values (a fresh program).
  void Reset();
};

// The program's one update session. One dialog runs one update at a time, and the Win32 dialog
// procedures and device notifications that drive it have no other place to find it.
UpdateSession& CurrentUpdate();

}  // namespace veltra

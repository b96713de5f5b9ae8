// The update session: every value of one firmware update, from the click on OK in the
// confirmation dialog until the camera is back in its normal mode or the update failed. The
// update dispatch begins it on the dialog thread; the worker, the engines, the loaders and the
// device-change handling are handed it. Where the update stands is one phase; values shared with
// the worker and loader threads are atomics; text fields are written on the dialog thread only,
// before a worker that reads them starts. The threads tell the dialog what happens only through
// the session's observer.
#pragma once

#include <memory>

#include "core/camera_identity.h"
#include "core/dfu_link.h"
#include "core/update_observer.h"
#include "platform/types.h"

namespace veltra {

class SunplusDownload;  // loaders/sunplus_download.h
struct ParsedImage;     // image/firmware_image.h

// The status text's size: "UpdateFirmware : bState = %d \r\n" with the last device state.
constexpr std::size_t kStatusTextChars = 256;
// A USB serial as the update-mode device path carries it (ten characters and the terminator fit).
constexpr std::size_t kUniqueIDChars = 20;

// Where a two-pass (combined) image stands: nothing of it written, its first part to be written
// now (a "DF01" camera given an image of type 1 or 2), or its first part written and the second
// to follow when the camera returns.
enum class PassStep : std::uint8_t { kNone, kFirstPartNext, kFirstPartWritten };

// What decides the pass DoDownload runs, besides the image type.
struct PassRoute {
  PassStep step = PassStep::kNone;
  // The update opened the camera in its update mode itself (not after a mode switch), and the
  // camera is not one that starts a two-pass image with its first part.
  bool dfuOpened = false;
  // The camera answered the mode-switch command that it starts afresh: the second pass of a
  // type-1 image then announces a fresh total.
  bool freshStart = false;
};

// The camera library's answer to FirmwareUpdate that says the camera starts afresh.
constexpr std::int32_t kFirmwareUpdateFreshStart = 50;

class UpdateSession {
 public:
  // ---- finding the camera again ----
  // The path of the camera chosen for the update, while its file still waits for it.
  wchar_t szUpdateDevicePath[kPathChars] = {};
  // The camera's USB serial, read before a mode switch, matched when the camera returns.
  wchar_t USBUniqueID[kUniqueIDChars] = {};
  Flag bMatchByUniqueID{0};
  // Who the camera is (its whole serial and where it sits), read as the update begins: the one
  // rule of devices/reidentify.h finds it again by it in every mode, whatever the user picks in
  // the list meanwhile.
  CameraIdentity camera;
  // The update-mode device last taken for the camera: the flash loader's answers are read from
  // its HID interface.
  wchar_t szTakenDevicePath[kPathChars] = {};
  Flag bUpdateDeviceGone{1};  // 1 at start
  // Set when a device change after the update's success finds the camera no longer in its update
  // mode (it has gone to finish its update on its own), by the one rule that finds it, whatever
  // other cameras stay on the bus. The Warning dialog reads it as it comes up: a change handled
  // before the dialog existed could neither stop its time-out nor enable its OK.
  Flag bUpdatedCameraGone{0};

  // ---- the route the update took ----
  Flag bUpdatedFromHIDMode{0};     // began with a mode switch from the camera's normal mode
  Flag bIsStartUpdatedFromDFU{0};  // began with the camera already in its update mode
  Flag bPescaDevice{0};            // the camera is of the Pesca family
  // The NXP flash loader was given the whole image and told to end its session: the chip restarts
  // from its flash, and only the camera back in its normal mode shows that the image took.

  // ---- where it stands ----
  std::atomic<UpdatePhase> phase{UpdatePhase::kIdle};
  // The mode-switch time-out applies: the camera is awaited after a mode switch, between the
  // passes of a two-pass image or running a program its boot ROM was given.
  bool AwaitingModeSwitch() const;
  // The NXP chip restarts after its flash loader's session; only its return ends the update.
  bool AwaitingRestart() const { return phase.load() == UpdatePhase::kAwaitingRestart; }
  // An engine, or the vendor library, sends: every device-change handler stands aside.
  bool DownloadInProgress() const;
  // The engine sent everything (its last pass); the worker's completion steps follow.
  bool DownloadComplete() const { return phase.load() == UpdatePhase::kSent; }
  // Something came back on the bus: the camera is no longer awaited. A phase the worker has
  // moved on to meanwhile stays.
  void CameraBack();
  // Moves to the phase and tells the observer (the worker, engine and loader threads).
  void Advance(UpdatePhase next);
  // Ends the wait for the camera's restart with the phase `to` and tells the observer, once:
  // false when the wait was over already. The worker and the camera's return may both conclude
  // it, and only one of them may tell the user.
  bool FinishRestartWait(UpdatePhase to);

  // ---- the download ----
  std::atomic<std::uint32_t> blockCount{0};
  std::atomic<PassStep> pass{PassStep::kNone};
  Flag bDFUOpened{0};
  Flag bCameraStartsAfresh{0};
  wchar_t statusText[kStatusTextChars] = {};
  // The NXP flash loader was written without reading its answers (the camera library held its
  // HID device): a refused command went unseen, so the camera's return cannot confirm the write.
  Flag bAnswersUnread{0};
  // The pass of a two-pass image as DoDownload decides it.
  PassRoute Pass() const;
  // A "DF01" camera given an image of type 1 or 2 starts it with the first part (on) or not
  // (off); a first part already written stays written.
  void SetWriteFirstPart(bool on);
  // The camera was opened in its update mode by the update itself: the direct start.
  void BeginInUpdateMode(bool firstPartFirst);

  // ---- what the dialog shows of it ----
  // The modal dialogs of the update, for the device-change handling that reaches into them: the
  // confirmation that begins it and the Warning or Error dialog on screen while the camera
  // restarts.
  std::atomic<Handle> hConfirmDlg{kNullHandle};
  std::atomic<Handle> hWarnDlg{kNullHandle};
  std::atomic<Handle> hFirmwareThread{kNullHandle};
  // A worker of this update runs, from before its thread starts until its body has returned. An
  // update has one worker per pass: the device-change handling starts no other meanwhile.
  Flag bWorkerRunning{0};
  // A removal came while the update waited for its camera: the camera has left since the worker
  // last ran (cleared when the camera is found again in its update mode).
  Flag bCameraLeft{0};
  std::atomic<std::uint32_t> progressTotal{0};
  Flag blinkState{0};

  // The dialog's side of the update; a session without one reports to no one.
  void SetObserver(UpdateObserver* observer);
  // The program's own observer, kept by the session for as long as it lives. The first one kept
  // stays: a thread of an earlier update may still report to it.
  void KeepObserver(std::unique_ptr<UpdateObserver> observer);
  UpdateObserver& Observer();

  // ---- the chosen file ----
  // The firmware file's name as the file dialog gave it (the update command checks it against
  // the camera), and its path as the path box holds it when the update begins.
  wchar_t szFirmwareTitle[kPathChars] = {};
  wchar_t szFirmwarePath[kPathChars] = {};
  // The image read from it, replaced only by the next Browse: a failed update is retried with
  // it. Written on the dialog thread and read by the worker, so the pointer is only ever loaded
  // and stored atomically (SelectImage, SelectedImage); the image never changes once parsed.
  std::shared_ptr<const ParsedImage> selectedImage;
  // A combined image is selected and not yet erased: the first pass that erases clears it, so a
  // repeated first pass does not wipe again what the camera already holds of this file.
  Flag bCombinedImage{0};
  // This update writes through the NXP flash loader: set when the camera it goes to is the flash
  // loader (the update command on a listed flash loader, or the camera's return as one), cleared
  // when the next update begins or the camera returns in another update mode.
  Flag bNXPMode{0};

  // ---- the camera connection: the one device the requests go to ----
  DfuLink link;

  // ---- the Sunplus route ----
  // A download thread is running (the library and the image are in use until it ends).
  Flag bSunplusDownloadBusy{0};
  // The library, the camera opened through it and the image of the last download: they stay
  // until the next download begins (the library wants the camera closed only then).
  std::shared_ptr<SunplusDownload> sunplus;

  // Keeps a worker or boot-loader thread's handle in hFirmwareThread, closing the handle it
  // replaces (the thread it named has either ended or runs on without it).
  void KeepFirmwareThread(Handle thread);
  // Clears the download's block count and pass; a download phase ends.
  void ClearDownload();
  // A new update begins: everything an earlier update set is cleared (its download and pass, its
  // route, the camera's answer to its mode switch, its serial match, its wait for the camera, its
  // status text and progress), so that nothing of it steers this one. The chosen file, the
  // connection, the observer, the dialogs on screen and the Sunplus download (which runs to its
  // own end) stay.
  void BeginUpdate();
  // The end of a failed update, the one place that says what a failure leaves behind: no
  // download, no pass of a two-pass image (the next update of the camera starts with its first
  // pass), no route and no serial match (later removals are handled and later arrivals start no
  // worker for a camera that is no longer being updated), and no mode-switch wait.
  void EndFailed();
  // Back to the start-up values (a fresh program); the observer stays.
  void Reset();

 private:
  // Where a session without an observer reports: nowhere.
  class NoObserver final : public UpdateObserver {
   public:
    void OnEraseStart(std::uint32_t /*steps*/) override {}
    void OnProgress(std::uint32_t /*done*/) override {}
    std::intptr_t OnPercent(std::uint32_t /*percent*/) override { return 0; }
    void OnPhase(UpdatePhase /*phase*/) override {}
    void OnDone(UpdateOutcome /*outcome*/, const wchar_t* /*text*/) override {}
  };
  NoObserver nobody_;
  std::unique_ptr<UpdateObserver> kept_;
  std::atomic<UpdateObserver*> observer_{nullptr};
};

}  // namespace veltra

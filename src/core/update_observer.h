// The one door through which the logic tells the dialog what happens: the threads of an update
// (the worker, the download engines, the loaders) report the progress, the phase the update has
// reached and how it ended; the device-change handling, the list rebuild and the camera commands
// report what the user is to see of the devices. The application implements it on the dialog (its
// presenter turns each report into control changes); no layer below the application touches a
// control, a timer or a message box.
#pragma once

#include <cstdint>

namespace veltra {

// Where one update stands. The session holds exactly one of these; every "is a download running",
// "is the camera awaited" question of the handlers is answered from it.
enum class UpdatePhase : std::uint8_t {
  kIdle,                   // no update yet
  kAwaitingModeSwitch,     // the camera was told to switch, or restarts between passes: it is to
                           // come back
  kAwaitingLoadedProgram,  // a boot ROM the camera fell into during the update was given its
                           // program: the camera is to come back running it
  kCameraBack,             // something came back on the bus; the update goes on with it
  kStarting,               // a worker runs and settles the camera's state; the erase blink runs
  kErasing,                // an engine has begun: the camera erases and takes its first block
  kWriting,                // the first block is confirmed: the erase blink stops, the rest follows
  kVerifying,              // the camera checks its MCU or FPGA region; the verify blink runs
  kSent,                   // every block went out and was confirmed; the worker ends the transfer
  kAwaitingRestart,        // the NXP flash loader's session is over: the chip restarts from its
                           // flash and is to come back running the image (or as its ROM, or not)
  kEndedOk,                // the camera took the whole image
  kEndedFailed,            // the update failed: nothing of it is left armed
};

// How a worker's run ended, as the user is told.
enum class UpdateOutcome : std::uint8_t {
  kSucceeded,                // the whole image went in
  kSucceededCameraRestarts,  // ... and a Pesca camera restarts: the Warning dialog waits for it
  kWrittenUnconfirmed,       // the NXP camera is back, but the flash loader's answers went unread
  kStatusReadFailed,         // the camera's DFU state could not be read
  kStateChangeFailed,        // the camera would not settle in dfuIDLE
  kDownloadFailed,           // an engine or the end of the transfer failed (text: what to show)
  kCameraNotInUpdateMode,    // the camera came back running its old firmware
  kNoWorkerThread,           // no thread could be started for the worker (or the library's)
  kLoaderFailed,             // the camera fell into a boot ROM that could not be given its program
  // The vendor library's own download (the Sunplus route), which has no phases of its own:
  kLibraryNotReady,   // the library or a camera through it could not be opened: nothing was sent
  kLibrarySucceeded,  // the library reported the whole image written
  kLibraryFailed,     // the library reported its download failed
};

// The groups of controls the main dialog shows (the presenter's state table).
enum class UiState : std::uint8_t {
  kNoDevice,     // nothing listed: only EXIT
  kDeviceReady,  // a camera listed and selectable
  kUpdating,     // an update under way
  kUpdateDone,   // the update ended well
  kUpdateFailed  // the update did not complete
};

// What the user is told in a message box by the layers below the application; the presenter
// gives each its caption and style. The texts come with the report (they are the camera's).
enum class Notice : std::uint8_t {
  kFirmwareVersion,     // a camera's version (or that the read failed)
  kCx3Version,          // a CX3 camera's and its ISP's versions
  kLoaderThreadFailed,  // no thread could be started for a boot ROM's take-over
  kLoaderFileRefused,   // a loader file next to the program cannot be used
};

// A step of the program that failed in a way the user is told about; with it comes the error
// code Windows gave (GetLastError).
enum class FailedStep : std::uint8_t {
  kInterfaceDetail,  // SetupDiGetDeviceInterfaceDetailW of a USB device in the second pass
};

class UpdateObserver {
 public:
  virtual ~UpdateObserver() = default;
  // An engine's total of progress steps; the count starts over.
  virtual void OnEraseStart(std::uint32_t steps) = 0;
  // Steps confirmed so far.
  virtual void OnProgress(std::uint32_t done) = 0;
  // A library's own percentage (0..100); what the dialog answered, which the library is given
  // back.
  virtual std::intptr_t OnPercent(std::uint32_t percent) = 0;
  virtual void OnPhase(UpdatePhase phase) = 0;
  // text: for kDownloadFailed, kLoaderFailed and kLibraryNotReady, what the user is told (null: the
  // failure's usual text); may be null for the others.
  virtual void OnDone(UpdateOutcome outcome, const wchar_t* text) = 0;
  // A boot-loader thread ended (loaded: its ROM took the program). The dialog looks at it after
  // what it is doing; nothing to do for an observer without a dialog.
  virtual void OnLoaderEnded(bool loaded) {}
  // The vendor library's download thread has ended and told its outcome: the device list is to
  // be rebuilt (the device-change handling stood aside while the library wrote).
  virtual void OnLibraryDownloadEnded() {}

  // ---- what the user sees of the devices (reported on the dialog thread, or on the refresher
  // thread for its commands). Nothing to do for an observer without a dialog.
  virtual void OnUiState(UiState state) {}
  // The device list is emptied, an entry added at its end, an entry selected.
  virtual void OnListCleared() {}
  virtual void OnListEntry(const wchar_t* entry) {}
  virtual void OnEntrySelected(int index) {}
  // READ F/W VERSION can (or cannot) be used on the selected camera.
  virtual void OnVersionReadAllowed(bool allowed) {}
  // The camera a firmware file was chosen for is listed again (selected): F/W UPDATE is armed,
  // and READ F/W VERSION as its extension unit allows.
  virtual void OnFileCameraListed(bool versionRead) {}
  // ... or it is gone: the pending update is called off and the file forgotten.
  virtual void OnFileCameraGone() {}
  // The wait for the camera's return is over (it is back, or it cannot be told from another
  // device): the bound on its return is met.
  virtual void OnReturnWaitOver() {}
  // The camera updated last has left its update mode: the Warning dialog's wait is over.
  virtual void OnUpdatedCameraLeft() {}
  // An update resumes with the camera back (or still awaited) after the list was rebuilt.
  virtual void OnUpdateResumes() {}
  // A boot ROM's take-over runs: the program must not be left meanwhile.
  virtual void OnTakeOverRunning() {}
  // A take-over met a problem (the notice code of core/boot_loader_step.h and the loader file's
  // length), to be handled once the rebuild under way is over.
  virtual void OnTakeOverProblem(std::uintptr_t notice, std::uint32_t length) {}
  // The program's windows come to the front after the devices changed.
  virtual void OnDevicesChanged() {}
  virtual void OnNotice(Notice notice, const wchar_t* text) {}
  virtual void OnFailure(FailedStep step, std::uint32_t lastError) {}

 protected:
  UpdateObserver() = default;
  UpdateObserver(const UpdateObserver&) = default;
  UpdateObserver& operator=(const UpdateObserver&) = default;
};

// An observer that tells no one: a session without a dialog, or a listing that shows nothing of
// its own.
class SilentObserver final : public UpdateObserver {
 public:
  void OnEraseStart(std::uint32_t /*steps*/) override {}
  void OnProgress(std::uint32_t /*done*/) override {}
  std::intptr_t OnPercent(std::uint32_t /*percent*/) override { return 0; }
  void OnPhase(UpdatePhase /*phase*/) override {}
  void OnDone(UpdateOutcome /*outcome*/, const wchar_t* /*text*/) override {}
};

}  // namespace veltra

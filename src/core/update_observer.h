// The one door through which the threads of an update (the worker, the download engines, the
// loaders) tell the dialog what happens: the progress, the phase the update has reached and how
// it ended. The application implements it on the dialog; the threads never touch a control.
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

 protected:
  UpdateObserver() = default;
  UpdateObserver(const UpdateObserver&) = default;
  UpdateObserver& operator=(const UpdateObserver&) = default;
};

}  // namespace veltra

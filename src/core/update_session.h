// The update session: every value of one firmware update, from the click on OK in the
// confirmation dialog until the camera is back in its normal mode or the update failed. The
// update dispatch begins it on the dialog thread; the worker, the engines, the loaders and the
// device-change handling are handed it. Where the update stands is one phase; values shared with
// the worker and loader threads are atomics; text fields are written on the dialog thread only,
// before a worker that reads them starts. The threads tell the dialog what happens only through
// the session's observer.
#pragma once

#include <memory>

#include "core/dfu_link.h"
#include "core/update_observer.h"
#include "core/update_values.h"
#include "platform/types.h"

namespace veltra {

struct ParsedImage;  // image/firmware_image.h

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

// The session holds the update's values by group (core/update_values.h): the fields keep their
// names (update.bNXPMode), and each group is replaced whole when it ends.
class UpdateSession : public SessionValues, public UpdateValues {
 public:
  // ---- where it stands: the phase moves only through these transitions, and each one that
  // moves it tells the observer ----
  UpdatePhase Phase() const { return phase_.load(); }
  // The mode-switch time-out applies: the camera is awaited after a mode switch, between the
  // passes of a two-pass image or running a program its boot ROM was given.
  bool AwaitingModeSwitch() const;
  // The NXP chip restarts after its flash loader's session; only its return ends the update.
  bool AwaitingRestart() const { return Phase() == UpdatePhase::kAwaitingRestart; }
  // An engine, or the vendor library, sends: every device-change handler stands aside.
  bool DownloadInProgress() const;
  // The engine sent everything (its last pass); the worker's completion steps follow.
  bool DownloadComplete() const { return Phase() == UpdatePhase::kSent; }
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
  // The pass of a two-pass image as DoDownload decides it.
  PassRoute Pass() const;
  // A "DF01" camera given an image of type 1 or 2 starts it with the first part (on) or not
  // (off); a first part already written stays written.
  void SetWriteFirstPart(bool on);
  // The camera was opened in its update mode by the update itself: the direct start.
  void BeginInUpdateMode(bool firstPartFirst);

  // The dialog's side of the update; a session without one reports to no one.
  void SetObserver(UpdateObserver* observer);
  // The program's own observer, kept by the session for as long as it lives. The first one kept
  // stays: a thread of an earlier update may still report to it.
  void KeepObserver(std::unique_ptr<UpdateObserver> observer);
  // The observer is not part of the session's state: a const session reports all the same.
  UpdateObserver& Observer() const;

  // ---- the chosen file ----
  // The image read from it, replaced only by the next Browse: a failed update is retried with
  // it. Written on the dialog thread and read by the worker, so the pointer is only ever loaded
  // and stored atomically (SelectImage, SelectedImage); the image never changes once parsed.
  std::shared_ptr<const ParsedImage> selectedImage;

  // ---- the camera connection: the one device the requests go to ----
  DfuLink link;

  // Keeps a worker or boot-loader thread's handle in hFirmwareThread, closing the handle it
  // replaces (the thread it named has either ended or runs on without it).
  void KeepFirmwareThread(Handle thread);
  // A download phase ends: its values go (a fresh DownloadValues) and the phase goes back to
  // idle.
  void ClearDownload();
  // A new update begins: everything an earlier update set goes (a fresh UpdateValues), so that
  // nothing of it steers this one. What outlives an update (SessionValues: the chosen file, the
  // dialogs on screen, the Sunplus download, which runs to its own end), the connection and the
  // observer stay.
  void BeginUpdate();
  // The end of a failed update, the one place that says what a failure leaves behind: no
  // download, no pass of a two-pass image (the next update of the camera starts with its first
  // pass), no route and no serial match (fresh DownloadValues and RouteValues), and no
  // mode-switch wait.
  void EndFailed();
  // Back to the start-up values (a fresh program, not a transition: no one is told); the observer
  // stays.
  void Reset();

 private:
  // Moves to `to` when the phase is `from`, telling the observer; false when it was not.
  bool MoveFrom(UpdatePhase from, UpdatePhase to);

  std::atomic<UpdatePhase> phase_{UpdatePhase::kIdle};
  // Where a session without an observer reports.
  mutable SilentObserver nobody_;
  std::unique_ptr<UpdateObserver> kept_;
  std::atomic<UpdateObserver*> observer_{nullptr};
};

}  // namespace veltra

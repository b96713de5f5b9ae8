// The values of one update, grouped by when they end. Each group is a plain value type that is
// replaced whole by a fresh value when its time is over, so that a value added to a group ends
// with it without a list of fields to keep up to date (a field a hand-written reset forgot once
// outlived its update and steered the next one).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/camera_identity.h"
#include "platform/types.h"

namespace veltra {

class SunplusDownload;  // loaders/sunplus_download.h

// A value the worker, engine or loader threads read or write while the dialog thread may too:
// atomic on every access, and copied (a load, then a store) when its group is replaced whole.
template <typename T>
struct Shared : std::atomic<T> {
  using std::atomic<T>::atomic;
  using std::atomic<T>::operator=;
  Shared() : std::atomic<T>(T{}) {}
  Shared(const Shared& other) : std::atomic<T>(other.load()) {}
  Shared& operator=(const Shared& other) {
    this->store(other.load());
    return *this;
  }
};
using SharedFlag = Shared<std::int32_t>;

// The status text's size: "UpdateFirmware : bState = %d \r\n" with the last device state.
constexpr std::size_t kStatusTextChars = 256;
// A USB serial as the update-mode device path carries it (ten characters and the terminator fit).
constexpr std::size_t kUniqueIDChars = 20;

// Where a two-pass (combined) image stands: nothing of it written, its first part to be written
// now (a "DF01" camera given an image of type 1 or 2), or its first part written and the second
// to follow when the camera returns.
enum class PassStep : std::uint8_t { kNone, kFirstPartNext, kFirstPartWritten };

// The download of one pass: ends with its download phase.
struct DownloadValues {
  Shared<std::uint32_t> blockCount{0};
  Shared<PassStep> pass{PassStep::kNone};
  SharedFlag bDFUOpened{0};
};

// The route the update took and the serial match that finds its camera again: ends when the
// update fails (later removals are handled, and later arrivals start no worker for a camera that
// is no longer being updated).
struct RouteValues {
  SharedFlag bUpdatedFromHIDMode{0};     // began with a mode switch from the normal mode
  SharedFlag bIsStartUpdatedFromDFU{0};  // began with the camera already in its update mode
  SharedFlag bMatchByUniqueID{0};
};

// Everything one update sets, from the click on OK until the next update begins.
struct UpdateValues : DownloadValues, RouteValues {
  // The camera's USB serial, read before a mode switch, matched when the camera returns.
  wchar_t USBUniqueID[kUniqueIDChars] = {};
  // Set when a device change after the update's success finds the camera no longer in its update
  // mode (it has gone to finish its update on its own), by the one rule that finds it, whatever
  // other cameras stay on the bus. The Warning dialog reads it as it comes up: a change handled
  // before the dialog existed could neither stop its time-out nor enable its OK.
  SharedFlag bUpdatedCameraGone{0};
  SharedFlag bPescaDevice{0};  // the camera is of the Pesca family
  // The camera answered the mode-switch command that it starts afresh.
  SharedFlag bCameraStartsAfresh{0};
  // The NXP flash loader was written without reading its answers (the camera library held its
  // HID device): a refused command went unseen, so the camera's return cannot confirm the write.
  SharedFlag bAnswersUnread{0};
  // This update writes through the NXP flash loader: set when the camera it goes to is the flash
  // loader (the update command on a listed flash loader, or the camera's return as one).
  SharedFlag bNXPMode{0};
  // A removal came while the update waited for its camera: the camera has left since the worker
  // last ran (cleared when the camera is found again in its update mode).
  SharedFlag bCameraLeft{0};
  wchar_t statusText[kStatusTextChars] = {};
  Shared<std::uint32_t> progressTotal{0};
  SharedFlag blinkState{0};
};

// What outlives one update and ends only with the program (or a test's fresh start): the camera
// chosen for the update and how it is found again, the dialogs and the worker of the update on
// screen, and the chosen file.
struct SessionValues {
  // The path of the camera chosen for the update, while its file still waits for it.
  wchar_t szUpdateDevicePath[kPathChars] = {};
  // Who the camera is (its whole serial and where it sits), read as the update begins: the one
  // rule of devices/reidentify.h finds it again by it in every mode, whatever the user picks in
  // the list meanwhile.
  CameraIdentity camera;
  // The update-mode device last taken for the camera: the flash loader's answers are read from
  // its HID interface.
  wchar_t szTakenDevicePath[kPathChars] = {};
  SharedFlag bUpdateDeviceGone{1};  // 1 at start
  // The modal dialogs of the update, for the device-change handling that reaches into them: the
  // confirmation that begins it and the Warning or Error dialog on screen while the camera
  // restarts.
  Shared<Handle> hConfirmDlg{kNullHandle};
  Shared<Handle> hWarnDlg{kNullHandle};
  Shared<Handle> hFirmwareThread{kNullHandle};
  // A worker of this update runs, from before its thread starts until its body has returned. An
  // update has one worker per pass: the device-change handling starts no other meanwhile.
  SharedFlag bWorkerRunning{0};
  // The firmware file's name as the file dialog gave it (the update command checks it against
  // the camera), and its path as the path box holds it when the update begins.
  wchar_t szFirmwareTitle[kPathChars] = {};
  wchar_t szFirmwarePath[kPathChars] = {};
  // A combined image is selected and not yet erased: the first pass that erases clears it, so a
  // repeated first pass does not wipe again what the camera already holds of this file.
  SharedFlag bCombinedImage{0};
  // A Sunplus download thread is running (the library and the image are in use until it ends).
  SharedFlag bSunplusDownloadBusy{0};
  // The library, the camera opened through it and the image of the last Sunplus download: they
  // stay until the next download begins (the library wants the camera closed only then).
  std::shared_ptr<SunplusDownload> sunplus;
};

}  // namespace veltra

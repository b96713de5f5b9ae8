// The update worker: settles the camera in dfuIDLE, runs the engine that fits the chosen file,
// ends the DFU transfer and tells the user how it went, putting the dialog's controls back.
#include "camera/update_worker.h"

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_presence.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "loaders/nxp_download.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::size_t kNxpRefusalChars = 256;
// Status reads after the end of a download, and the pause between them.
constexpr int kEndStatusReads = 5;
constexpr std::uint32_t kEndStatusRetryMs = 100;

// DFU 1.1 request numbers the state change sends as vendor commands.
constexpr std::uint8_t kCommandDetach = 0;
constexpr std::uint8_t kCommandClearStatus = 4;
constexpr std::uint8_t kCommandAbort = 6;

namespace state {
constexpr std::uint8_t kAppIdle = 0;
constexpr std::uint8_t kIdle = 2;
constexpr std::uint8_t kDnloadIdle = 5;
constexpr std::uint8_t kManifestSync = 6;
constexpr std::uint8_t kError = 10;
}  // namespace state

constexpr wchar_t kTextMcuFailed[] = L"MCU firmware update failed. Please retry again...!!";
constexpr wchar_t kTextFpgaFailed[] = L"Firmware update failed. Please retry again...!!";

enum class StateChange { kReady, kStatusFailed, kNotIdle };

// Brings the camera into dfuIDLE. Only the status read after a command counts, not the command's
// own outcome.
StateChange ChangeToDFUIdleState(DfuLink& link) {
  if (GetStatus(link, &link.dfu_status) == 0) {
    return StateChange::kStatusFailed;
  }
  DebugPrint(1, L"ChangeToDFUIdleState\n");
  switch (link.dfu_status.bState) {
    case state::kAppIdle:
      SendCommand(link, kCommandDetach);
      break;
    case state::kDnloadIdle:
      SendCommand(link, kCommandAbort);
      break;
    case state::kError:
      SendCommand(link, kCommandClearStatus);
      break;
    case state::kManifestSync:
      break;  // the second read alone must show dfuIDLE
    default:
      return StateChange::kReady;  // every other state downloads at once
  }
  // A failed read leaves the old state in the record, which is not dfuIDLE.
  GetStatus(link, &link.dfu_status);
  return link.dfu_status.bState == state::kIdle ? StateChange::kReady : StateChange::kNotIdle;
}

// The kind of the selected image; nothing selected reads as an unmarked image, which goes
// through the pass rules.
ImageKind SelectedKind(const UpdateSession& update) {
  const std::shared_ptr<const ParsedImage> image = SelectedImage(update);
  return image != nullptr ? image->kind : ImageKind::kUnmarked;
}

int RunEngine(UpdateSession& update) {
  switch (SelectedKind(update)) {
    case ImageKind::kMcu:
      return DoDownloadMCUFirmware(update);
    case ImageKind::kFpga:
      return DoDownloadFPGAFirmware(update);
    default:
      return DoDownload(update);
  }
}

// Every failed update ends the whole update, not only this worker (see UpdateSession::EndFailed).
std::uint32_t EndWithStateFailure(UpdateSession& update, UpdateOutcome outcome) {
  update.EndFailed();
  update.Observer().OnDone(outcome, nullptr);
  return 0;
}

// message: what the user is told instead of the failed-download text of the image's kind.
std::uint32_t EndWithEngineFailure(UpdateSession& update, const wchar_t* message = nullptr) {
  update.EndFailed();
  const ImageKind kind = SelectedKind(update);
  const wchar_t* text = message != nullptr         ? message
                        : kind == ImageKind::kMcu  ? kTextMcuFailed
                        : kind == ImageKind::kFpga ? kTextFpgaFailed
                                                   : kTextDownloadFailed;
  update.Observer().OnDone(UpdateOutcome::kDownloadFailed, text);
  DebugPrint(1, L"UpdateFirmware failed thread -----   \n");
  return 0;
}

}  // namespace

// The selected record is a Pesca camera in its update mode: it finishes with the Warning dialog.
// Dialog thread.
WorkerStart TakeWorkerStart(const UpdateSession& update) {
  WorkerStart start;
  const int index = Controller().List().nSelectedIndex;
  start.pescaUpdateMode = update.bPescaDevice.load() != 0 && index >= 0 && index < kMaxDevices &&
                          IsPescaUpdateMode(DeviceRules().LookupProduct(
                              Controller().List().DeviceTable[index].pidText));
  return start;
}

namespace {

// How the camera took the end of the download.
enum class TransferEnd {
  kConfirmed,   // it answered, with a state other than dfuERROR: it boots what it received
  kRefused,     // it is still on the bus and answered dfuERROR, refused the request or was silent
  kCameraLeft,  // it left without answering: its return tells whether the image took
};

// The zero-length request ends the DFU transfer, and the status read after it starts the
// manifest. How a camera goes on from there is its own: it may answer that read and then restart,
// restart at once without answering it, or restart during the zero-length request itself. So a
// read that fails is repeated a few times, and when none is answered the camera's presence on
// the bus decides: gone, it is restarting; still there, it refused.
TransferEnd EndDfuTransfer(UpdateSession& update) {
  const bool taken = SendZeroLengthPkt(update.link) != 0;
  if (!taken) {
    DebugPrint(1, L"UpdateFirmware :: SendZeroLengthPkt failed ++\n");
  }
  bool answered = false;
  for (int read = 0; read < kEndStatusReads && !answered; ++read) {
    if (read > 0) {
      Sys().Sleep(kEndStatusRetryMs);
    }
    answered = GetStatus(update.link, &update.link.dfu_status) != 0;
  }
  FormatText(update.statusText, kStatusTextChars, L"UpdateFirmware : bState = %d \r\n",
             static_cast<int>(update.link.dfu_status.bState));
  RawTrace(update.statusText);
  if (answered) {
    if (taken && update.link.dfu_status.bState != state::kError) {
      return TransferEnd::kConfirmed;
    }
    DebugPrint(1, L"UpdateFirmware :: no manifest after the end of the download ++\n");
    return TransferEnd::kRefused;
  }
  if (UsbDeviceInterfaceListed(update.link.devicePath)) {
    DebugPrint(1, L"UpdateFirmware :: no manifest after the end of the download ++\n");
    return TransferEnd::kRefused;
  }
  DebugPrint(1, L"UpdateFirmware :: the camera left to restart at the end of the download ++\n");
  return TransferEnd::kCameraLeft;
}

// The last pass is sent: from here the camera's restart may come at any moment, and its return
// may be handled before this thread goes on, so the wait for it is armed before the transfer is
// ended. The route's flags are cleared as a success clears them (a failure clears them anyway),
// so that the camera back in its normal mode is selected again and starts no worker.
void ArmRestartWait(UpdateSession& update) {
  update.bIsStartUpdatedFromDFU = 0;
  update.bUpdatedFromHIDMode = 0;
  update.Advance(UpdatePhase::kAwaitingRestart);  // timer 2 bounds the wait
}

std::uint32_t EndWithSuccess(UpdateSession& update, WorkerStart start, bool lastPass) {
  if (!lastPass) {
    // First pass of a combined image: the camera comes back for the second part. Should it not,
    // the wait for it ends the update with a message.
    update.Advance(UpdatePhase::kAwaitingModeSwitch);
    DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
    return 1;
  }
  // The camera's return may have ended the update already (see ConcludeNxpRestart).
  if (!update.FinishRestartWait(UpdatePhase::kEndedOk)) {
    DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
    return 1;
  }
  update.bIsStartUpdatedFromDFU = 0;
  update.bUpdatedFromHIDMode = 0;
  update.blockCount = 0;
  update.Observer().OnDone(
      start.pescaUpdateMode ? UpdateOutcome::kSucceededCameraRestarts : UpdateOutcome::kSucceeded,
      nullptr);
  DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
  return 1;
}

// The camera left to restart: its return ends the update, success when it runs its firmware,
// and timer 2 when it does not come back within its minute.
std::uint32_t AwaitRestart(UpdateSession& update) {
  DebugPrint(1, L"UpdateFirmware :: waiting for the camera to restart\n");
  update.ClearDownload();
  DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
  return 1;
}

// The DFU route after its engine: the end of the transfer, and what it says. A first pass never
// ends on a read left unanswered: the camera's return for the second part decides.
std::uint32_t FinishDfuDownload(UpdateSession& update, WorkerStart start) {
  const bool lastPass = update.DownloadComplete();
  if (lastPass) {
    ArmRestartWait(update);
  }
  switch (EndDfuTransfer(update)) {
    case TransferEnd::kRefused:
      if (lastPass && !update.FinishRestartWait(UpdatePhase::kEndedFailed)) {
        return 0;  // the camera's return has ended the update meanwhile
      }
      return EndWithEngineFailure(update);
    case TransferEnd::kCameraLeft:
      if (lastPass) {
        return AwaitRestart(update);
      }
      break;
    case TransferEnd::kConfirmed:
      break;
  }
  return EndWithSuccess(update, start, lastPass);
}

}  // namespace

void EndUpdateWithoutUpdateMode(UpdateSession& update) {
  update.EndFailed();
  update.bCameraLeft = 0;
  update.Observer().OnDone(UpdateOutcome::kCameraNotInUpdateMode, nullptr);
}

std::uint32_t UpdateFirmware(UpdateSession& update, WorkerStart start) {
  DebugPrint(1, L"UpdateFirmware::THreadCreated++++   ++\n");
  update.Advance(UpdatePhase::kStarting);

  const bool dfuRoute = update.bNXPMode.load() == 0;
  int result = 0;
  if (!dfuRoute) {
    // Refused before the flash loader erases anything, so the camera keeps its firmware.
    if (!NxpImageFits(SelectedImage(update).get())) {
      wchar_t text[kNxpRefusalChars] = {};
      FormatText(text, kNxpRefusalChars, kTextNxpImageTooLarge, kNxpImageLimit);
      return EndWithEngineFailure(update, text);
    }
    result = DoDownloadNXPFirmware(update);
  } else {
    switch (ChangeToDFUIdleState(update.link)) {
      case StateChange::kStatusFailed:
        return EndWithStateFailure(update, UpdateOutcome::kStatusReadFailed);
      case StateChange::kNotIdle:
        return EndWithStateFailure(update, UpdateOutcome::kStateChangeFailed);
      case StateChange::kReady:
        break;
    }
    result = RunEngine(update);
  }
  if (result == 0) {
    return EndWithEngineFailure(update);
  }
  if (!dfuRoute) {
    return 1;  // the camera's return after its restart ends the update (DoDownloadNXPFirmware)
  }
  return FinishDfuDownload(update, start);
}

void StartUpdateWorker(UpdateSession& update) {
  // Set before the thread exists, so that an arrival handled while it starts sees it.
  update.bWorkerRunning = 1;
  const WorkerStart start = TakeWorkerStart(update);
  const Handle thread = Sys().StartThread([&update, start] {
    const std::uint32_t result = UpdateFirmware(update, start);
    update.bWorkerRunning = 0;
    return result;
  });
  update.KeepFirmwareThread(thread);
  if (thread == kNullHandle) {
    update.bWorkerRunning = 0;
    update.Observer().OnDone(UpdateOutcome::kNoWorkerThread, nullptr);
  }
}

}  // namespace veltra

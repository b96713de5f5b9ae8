// The update worker: settles the camera in dfuIDLE, runs the engine that fits the chosen file,
// ends the DFU transfer and tells the user how it went, putting the dialog's controls back.
#include "camera/update_worker.h"

#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/known_devices.h"
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

// The selected record is a Pesca camera in its update mode: it finishes with the Warning dialog.
bool SelectedIsPescaUpdateMode(const UpdateSession& update) {
  if (update.bPescaDevice.load() == 0) {
    return false;
  }
  const int index = g_nSelectedIndex.load();
  if (index < 0 || index >= kMaxDevices) {
    return false;
  }
  return TextEqualsNoCase(g_DeviceTable[index].pidText, kPidPescaUpdateMode);
}

// The zero-length request ends the DFU transfer: only when the camera has taken it does it
// manifest what it received, so a refused one fails the update as a refused data request does.
// The status read after it is what starts the manifest, and its answer is the camera's last word
// before it leaves to boot: a read that fails is repeated a few times, and the update fails when
// the camera never answers or answers with its error state.
bool EndDfuTransfer(UpdateSession& update) {
  if (SendZeroLengthPkt(update.link) == 0) {
    DebugPrint(1, L"UpdateFirmware :: SendZeroLengthPkt failed ++\n");
    return false;
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
  if (!answered || update.link.dfu_status.bState == state::kError) {
    DebugPrint(1, L"UpdateFirmware :: no manifest after the end of the download ++\n");
    return false;
  }
  return true;
}

std::uint32_t EndWithSuccess(UpdateSession& update) {
  if (!update.DownloadComplete()) {
    // First pass of a combined image: the camera comes back for the second part. Should it not,
    // the wait for it ends the update with a message.
    update.Advance(UpdatePhase::kAwaitingModeSwitch);
    DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
    return 1;
  }
  update.bIsStartUpdatedFromDFU = 0;
  update.bUpdatedFromHIDMode = 0;
  update.blockCount = 0;
  update.phase = UpdatePhase::kEndedOk;
  update.Observer().OnDone(SelectedIsPescaUpdateMode(update)
                               ? UpdateOutcome::kSucceededCameraRestarts
                               : UpdateOutcome::kSucceeded,
                           nullptr);
  DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
  return 1;
}

}  // namespace

void EndUpdateWithoutUpdateMode(UpdateSession& update) {
  update.EndFailed();
  update.bCameraLeft = 0;
  update.Observer().OnDone(UpdateOutcome::kCameraNotInUpdateMode, nullptr);
}

std::uint32_t UpdateFirmware(UpdateSession& update) {
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
  if (result == 0 || (dfuRoute && !EndDfuTransfer(update))) {
    return EndWithEngineFailure(update);
  }
  if (!dfuRoute) {
    return 1;  // the camera's return after its restart ends the update (DoDownloadNXPFirmware)
  }
  return EndWithSuccess(update);
}

void StartUpdateWorker(UpdateSession& update) {
  // Set before the thread exists, so that an arrival handled while it starts sees it.
  update.bWorkerRunning = 1;
  const Handle thread = Sys().StartThread([&update] {
    const std::uint32_t result = UpdateFirmware(update);
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

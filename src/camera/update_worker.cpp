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

constexpr std::uint32_t kBlinkEraseTimerMs = 400;
constexpr std::uint32_t kFailurePauseMs = 10;
constexpr int kBlinkShown = 5;
constexpr std::size_t kNxpRefusalChars = 256;
// How long the camera may take to come back for the second pass: as long as the Warning dialog
// waits for a camera to finish its update.
constexpr std::uint32_t kSecondPassWaitMs = 180000;
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

constexpr wchar_t kTextGetStatusFailed[] = L"Get Status Failed!";
constexpr wchar_t kTextChangeStateFailed[] = L"Change State Failed!";
constexpr wchar_t kTextUsbFailure[] = L"USB Communication Failure!";
constexpr wchar_t kTextMcuFailed[] = L"MCU firmware update failed. Please retry again...!!";
constexpr wchar_t kTextFpgaFailed[] = L"Firmware update failed. Please retry again...!!";

enum class StateChange { kReady, kStatusFailed, kNotIdle };

// Brings the camera into dfuIDLE. Only the status read after a command counts, not the command's
// own outcome.
StateChange ChangeToDFUIdleState() {
  if (GetStatus(&CurrentUpdate().dfu_status) == 0) {
    return StateChange::kStatusFailed;
  }
  DebugPrint(1, L"ChangeToDFUIdleState\n");
  switch (CurrentUpdate().dfu_status.bState) {
    case state::kAppIdle:
      SendCommand(kCommandDetach);
      break;
    case state::kDnloadIdle:
      SendCommand(kCommandAbort);
      break;
    case state::kError:
      SendCommand(kCommandClearStatus);
      break;
    case state::kManifestSync:
      break;  // the second read alone must show dfuIDLE
    default:
      return StateChange::kReady;  // every other state downloads at once
  }
  // A failed read leaves the old state in the record, which is not dfuIDLE.
  GetStatus(&CurrentUpdate().dfu_status);
  return CurrentUpdate().dfu_status.bState == state::kIdle ? StateChange::kReady
                                                           : StateChange::kNotIdle;
}

// The kind of the selected image; nothing selected reads as an unmarked image, which goes
// through the pass rules.
ImageKind SelectedKind() {
  const std::shared_ptr<const ParsedImage> image = SelectedImage();
  return image != nullptr ? image->kind : ImageKind::kUnmarked;
}

int RunEngine(UpdateSession& update) {
  switch (SelectedKind()) {
    case ImageKind::kMcu:
      return DoDownloadMCUFirmware(update);
    case ImageKind::kFpga:
      return DoDownloadFPGAFirmware(update);
    default:
      return DoDownload(update);
  }
}

void ResetControls() {
  Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
  Dialog().EnableItem(IDC_BTN_EXIT, true);
  Dialog().EnableItem(IDC_EDIT_FIRMWARE_PATH, false);
  Dialog().EnableItem(IDC_STATIC_SELECT_FILE, false);
  Dialog().EnableItem(IDC_BTN_READFW_VERSION, false);
  Dialog().ShowItem(IDC_STATIC_UPDATING, false);
  Dialog().ShowItem(IDC_STATIC_MODE_SWITCH, false);
  Dialog().ShowItem(IDC_STATIC_STATUS, false);
  Dialog().ShowItem(IDC_PROGRESS_BAR, false);
}

// Every failed update ends the whole update, not only this worker (see UpdateSession::EndFailed).
std::uint32_t EndWithUsbFailure(UpdateSession& update) {
  update.EndFailed();
  // Nothing was sent, so nothing is blinking for a reason any more: an idle dialog stays quiet.
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().MessageBox(kTextUsbFailure, kCaptionError, kMbIconError);
  ResetControls();
  return 0;
}

// message: what the user is told instead of the failed-download text of the image's kind.
std::uint32_t EndWithEngineFailure(UpdateSession& update, const wchar_t* message = nullptr) {
  update.EndFailed();
  update.blinkState = kBlinkShown;
  Dialog().KillTimer(IDT_BLINK_VERIFY);
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().ProgressSetPos(0);
  Sys().Sleep(kFailurePauseMs);
  const ImageKind kind = SelectedKind();
  const wchar_t* text = message != nullptr         ? message
                        : kind == ImageKind::kMcu  ? kTextMcuFailed
                        : kind == ImageKind::kFpga ? kTextFpgaFailed
                                                   : kTextDownloadFailed;
  Dialog().MessageBox(text, kCaptionError, kMbIconError);
  ResetControls();
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
  if (SendZeroLengthPkt() == 0) {
    DebugPrint(1, L"UpdateFirmware :: SendZeroLengthPkt failed ++\n");
    return false;
  }
  bool answered = false;
  for (int read = 0; read < kEndStatusReads && !answered; ++read) {
    if (read > 0) {
      Sys().Sleep(kEndStatusRetryMs);
    }
    answered = GetStatus(&CurrentUpdate().dfu_status) != 0;
  }
  FormatText(update.statusText, kStatusTextChars, L"UpdateFirmware : bState = %d \r\n",
             static_cast<int>(CurrentUpdate().dfu_status.bState));
  RawTrace(update.statusText);
  if (!answered || CurrentUpdate().dfu_status.bState == state::kError) {
    DebugPrint(1, L"UpdateFirmware :: no manifest after the end of the download ++\n");
    return false;
  }
  return true;
}

std::uint32_t EndWithSuccess(UpdateSession& update) {
  update.bDownloadInProgress = 0;
  if (update.bDownloadComplete.load() == 0) {
    // First pass of a combined image: the camera comes back for the second part. Should it not,
    // timer 2 ends the update with a message once the Warning dialog's wait has passed.
    update.bAwaitingModeSwitch = 1;
    Dialog().SetTimer(IDT_TIMER_FOR_HD_ISSUE, kSecondPassWaitMs);
    DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
    return 1;
  }
  update.bIsStartUpdatedFromDFU = 0;
  update.bUpdatedFromHIDMode = 0;
  update.blockCount = 0;
  update.bDownloadComplete = 0;
  Dialog().SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
  if (SelectedIsPescaUpdateMode(update)) {
    Dialog().DialogBoxModal(IDD_WARNING_DIALOG);
  } else {
    Dialog().MessageBox(kTextDownloadSucceeded, kCaptionSuccess, kMbIconExclamation);
  }
  DebugPrint(1, L"UpdateFirmware::THreadCreated-----   \n");
  return 1;
}

}  // namespace

void EndUpdateWithoutUpdateMode(UpdateSession& update) {
  update.EndFailed();
  update.bCameraLeft = 0;
  update.bAwaitingModeSwitch = 0;
  Dialog().KillTimer(IDT_TIMER_FOR_HD_ISSUE);
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().KillTimer(IDT_BLINK_VERIFY);
  Dialog().ProgressSetPos(0);
  ResetControls();
  Dialog().MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
}

std::uint32_t UpdateFirmware(UpdateSession& update) {
  DebugPrint(1, L"UpdateFirmware::THreadCreated++++   ++\n");
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().SetTimer(IDT_BLINK_ERASE, kBlinkEraseTimerMs);
  Dialog().EnableItem(IDC_BTN_FW_UPDATE, false);
  Dialog().EnableItem(IDC_BTN_RESET, false);

  const bool dfuRoute = CurrentUpdate().bNXPMode.load() == 0;
  int result = 0;
  if (!dfuRoute) {
    // Refused before the flash loader erases anything, so the camera keeps its firmware.
    if (!NxpImageFits(SelectedImage().get())) {
      wchar_t text[kNxpRefusalChars] = {};
      FormatText(text, kNxpRefusalChars, kTextNxpImageTooLarge, kNxpImageLimit);
      return EndWithEngineFailure(update, text);
    }
    result = DoDownloadNXPFirmware(update);
  } else {
    switch (ChangeToDFUIdleState()) {
      case StateChange::kStatusFailed:
        Dialog().MessageBox(kTextGetStatusFailed, kCaptionError, kMbIconError | kMbTopmost);
        return EndWithUsbFailure(update);
      case StateChange::kNotIdle:
        Dialog().MessageBox(kTextChangeStateFailed, kCaptionError, kMbIconError);
        return EndWithUsbFailure(update);
      case StateChange::kReady:
        break;
    }
    result = RunEngine(update);
  }
  if (result == 0 || (dfuRoute && !EndDfuTransfer(update))) {
    return EndWithEngineFailure(update);
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
    Dialog().MessageBox(kTextThreadFailed, kCaptionError, kMbOk, false);
  }
}

}  // namespace veltra

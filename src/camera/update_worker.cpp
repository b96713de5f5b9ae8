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
  if (GetStatus(&dfu_status) == 0) {
    return StateChange::kStatusFailed;
  }
  DebugPrint(1, L"ChangeToDFUIdleState\n");
  switch (dfu_status.bState) {
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
  GetStatus(&dfu_status);
  return dfu_status.bState == state::kIdle ? StateChange::kReady : StateChange::kNotIdle;
}

int RunEngine(UpdateSession& update) {
  if (g_bMCUImage.load() != 0) {
    return DoDownloadMCUFirmware(update);
  }
  if (g_bFPGAImage.load() != 0) {
    return DoDownloadFPGAFirmware(update);
  }
  return DoDownload(update);
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

std::uint32_t EndWithEngineFailure(UpdateSession& update) {
  update.EndFailed();
  update.blinkState = kBlinkShown;
  Dialog().KillTimer(IDT_BLINK_VERIFY);
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().ProgressSetPos(0);
  Sys().Sleep(kFailurePauseMs);
  const wchar_t* text = g_bMCUImage.load() != 0    ? kTextMcuFailed
                        : g_bFPGAImage.load() != 0 ? kTextFpgaFailed
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

std::uint32_t EndWithSuccess(UpdateSession& update, bool dfuRoute) {
  if (dfuRoute) {
    // The zero-length request ends the DFU transfer; neither it nor the read after it can change
    // the outcome any more.
    SendZeroLengthPkt();
    GetStatus(&dfu_status);
    FormatText(update.statusText, kStatusTextChars, L"UpdateFirmware : bState = %d \r\n",
               static_cast<int>(dfu_status.bState));
    RawTrace(update.statusText);
  }
  update.bDownloadInProgress = 0;
  if (update.bDownloadComplete.load() == 0) {
    // First pass of a combined image: the camera comes back for the second part.
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

  const bool dfuRoute = g_bNXPMode.load() == 0;
  int result = 0;
  if (!dfuRoute) {
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
  if (result == 0) {
    return EndWithEngineFailure(update);
  }
  return EndWithSuccess(update, dfuRoute);
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

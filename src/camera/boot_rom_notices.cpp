#include "camera/boot_rom_notices.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "camera/device_change_steps.h"
#include "camera/selected_device.h"
#include "core/boot_loader_step.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"

namespace veltra {

namespace {

constexpr std::size_t kNoticeChars = 320;

bool IsRomRecord(int i) {
  return camera::RuleAt(i).mode == DeviceMode::kBootRom;
}

// A ROM listed that is neither held nor one whose load just ended: it waited for its turn.
bool RomWaitsForItsTurn(const BootLoaderStep& step, const std::vector<EndedLoad>& ended) {
  for (int i = 0; i < Controller().List().Listed(); ++i) {
    const wchar_t* path = Controller().List().DeviceTable[i].devicePath;
    const bool justEnded = std::any_of(ended.begin(), ended.end(), [path](const EndedLoad& load) {
      return TextEqualsNoCase(path, load.romPath.c_str());
    });
    if (IsRomRecord(i) && !BootRomHeld(step, path) && !justEnded) {
      return true;
    }
  }
  return false;
}

}  // namespace

void OnLoaderNotice(UpdateSession& update, std::uintptr_t wParam, std::intptr_t lParam) {
  const std::uintptr_t problem = wParam & kNoticeProblemMask;
  wchar_t text[kNoticeChars] = {};
  if (problem == kNoticeNoThread) {
    CopyText(text, kTextThreadFailed);
  } else {
    const wchar_t* file = (wParam & kNoticeFx3File) != 0 ? kFx3BootImageName : kNxpFlashLoaderName;
    LoaderProblemText(static_cast<LoaderFileProblem>(problem), file,
                      static_cast<std::uint32_t>(lParam), text, kNoticeChars);
  }
  // The updated camera's ROM: its update cannot go on, and this is why.
  if ((wParam & kNoticeOfUpdate) != 0 && update.bUpdatedFromHIDMode.load() != 0) {
    EndUpdateWithoutLoader(update, text);
    return;
  }
  update.Observer().OnNotice(
      problem == kNoticeNoThread ? Notice::kLoaderThreadFailed : Notice::kLoaderFileRefused, text);
}

void OnLoaderEnded(UpdateSession& update, std::uintptr_t /*loaded*/) {
  BootLoaderStep& step = Controller().BootLoader();
  std::vector<EndedLoad> ended;
  {
    std::lock_guard<std::mutex> lock(step.endedMutex);
    ended.swap(step.ended);
  }
  for (const EndedLoad& load : ended) {
    if (load.loaded) {
      continue;
    }
    // A ROM that left during its load is not the one on the bus now: it is not held.
    if (!load.romLeft) {
      HoldBootRom(step, load.romPath.c_str());
    }
    if (load.ofUpdate) {
      EndUpdateWithoutLoader(update);
    }
  }
  // A ROM that came with the one just loaded was left waiting by the busy flag; no notification
  // may follow to take it over (a ROM that failed stays on the bus), so the list is rebuilt now,
  // unless data is being sent (every handler stands aside then, and so does this).
  if (ended.empty() || step.bLoaderDownloadBusy.load() != 0 || update.DownloadInProgress() ||
      update.bWorkerRunning.load() != 0 || !RomWaitsForItsTurn(step, ended)) {
    return;
  }
  Controller().List().nDeviceCount = 0;
  if (!camera::RunDiscovery(update, camera::DiscoveryOrder::kUsbDevicesFirst)) {
    return;
  }
  camera::RebuildDeviceList(update, camera::ListForm::kFull);
}

}  // namespace veltra

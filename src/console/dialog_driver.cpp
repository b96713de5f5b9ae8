#include "console/dialog_driver.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <thread>

#include "app/resource_ids.h"
#include "console/device_text.h"
#include "console/program_devices.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/window_messages.h"

namespace veltra::console {

namespace {

// Real-time bound on the refresher thread's version read (it costs nothing on the bench's clock).
constexpr std::chrono::seconds kVersionReadLimit{10};
constexpr std::chrono::milliseconds kVersionReadNap{1};
// How long a camera has to come back after the program came to rest (on the real clock; the
// bench's cameras come back with the program's own steps), and how many changes are awaited.
constexpr std::uint32_t kReturnWaitMs = 10000;
constexpr int kReturnChanges = 16;

std::uint16_t HexId(const wchar_t* text) {
  return static_cast<std::uint16_t>(std::wcstoul(text, nullptr, 16));
}

// The place of the camera in the program's list now (entry i is record i); -1 when it is gone.
int ListedIndex(const ListedDevice& camera) {
  const int count = Controller().List().Listed();
  for (int i = 0; i < count; ++i) {
    if (SameNoCase(Utf8(Controller().List().DeviceTable[i].devicePath), camera.key)) {
      return i;
    }
  }
  return -1;
}

// "12%" on the status line: the bar's position.
int PercentOf(const std::wstring& text) {
  if (text.empty() || text.back() != L'%') {
    return -1;
  }
  const std::size_t start = text.find_last_not_of(L"0123456789", text.size() - 2);
  const std::size_t digits = start == std::wstring::npos ? 0 : start + 1;
  if (digits >= text.size() - 1) {
    return -1;
  }
  return static_cast<int>(std::wcstol(text.c_str() + digits, nullptr, 10));
}

}  // namespace

std::vector<ListedDevice> DialogDriver::List(bool withVersions) {
  // Once the program runs, its list as it stands.
  return started_ ? ProgramDevicesListed() : ListProgramDevices(withVersions);
}

bool DialogDriver::Start() {
  if (!started_) {
    started_ = true;
    dialog_.Dispatch(kWmInitDialog);
    return dialog_.Settle();
  }
  return true;
}

void DialogDriver::Select(int index) {
  dialog_.ComboSetCurSel(index);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));
}

std::string DialogDriver::ReadVersion() {
  const std::size_t before = dialog_.Boxes().size();
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_READFW_VERSION));
  // The refresher thread reads it and shows it in a message box; it is the one thread that stays,
  // so the dialog's rest does not wait for it.
  const auto deadline = std::chrono::steady_clock::now() + kVersionReadLimit;
  std::vector<ConsoleDialog::Box> boxes = dialog_.Boxes();
  while (boxes.size() == before && std::chrono::steady_clock::now() < deadline) {
    dialog_.Settle();
    std::this_thread::sleep_for(kVersionReadNap);
    boxes = dialog_.Boxes();
  }
  dialog_.Settle();
  return boxes.size() > before ? VersionOfText(boxes[before].text) : std::string();
}

UpdateResult DialogDriver::Update(const ListedDevice& camera, const std::string& filePath,
                                  const ProgressSink& progress) {
  UpdateResult result;
  if (!Start()) {
    result.message = "the program did not come to rest after its start";
    return result;
  }
  const int index = ListedIndex(camera);
  if (index < 0) {
    result.message = "the program no longer lists the camera";
    return result;
  }
  const std::uint64_t deniedBefore = deniedCount_ ? deniedCount_() : 0;
  const std::size_t boxesBefore = dialog_.Boxes().size();
  const std::size_t modalsBefore = dialog_.ModalsOpened().size();
  dialog_.SetStatusListener([&progress](const std::wstring& text) {
    ProgressStep step;
    step.percent = PercentOf(text);
    if (step.percent < 0) {
      step.phase = Utf8(text);
    }
    progress(step);
  });
  Select(index);
  if (camera.mode == DeviceMode::kNormal) {
    result.versionBefore = ReadVersion();
  }
  if (beforeUpdate_) {
    beforeUpdate_(camera.locationPath);
  }
  dialog_.SetChosenFile(filePath);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_BROWSE));
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_FW_UPDATE));
  bool rested = dialog_.Settle();
  if (rested &&
      WhatTheProgramSaid(NewBoxes(boxesBefore), NewModals(modalsBefore)) != ProgramSaid::kFailed) {
    rested = AwaitReturn();
  }
  dialog_.SetStatusListener(nullptr);

  const std::vector<ConsoleDialog::Box> told = NewBoxes(boxesBefore);
  const std::vector<int> opened = NewModals(modalsBefore);
  const ProgramSaid said = WhatTheProgramSaid(told, opened);
  if (!told.empty()) {
    result.message = Utf8(told.back().text);
  }
  if (!rested) {
    result.message = "the program did not come to rest after the update";
    return result;
  }
  if (said != ProgramSaid::kFailed) {
    // The program selects the camera it found again after the update; its version is read there.
    const int found = shown_.Selected();
    if (found >= 0 && found < Controller().List().Listed() &&
        KnownMode(HexId(Controller().List().DeviceTable[found].vidText),
                  HexId(Controller().List().DeviceTable[found].pidText)) == DeviceMode::kNormal) {
      Select(found);
      result.versionAfter = ReadVersion();
    }
  }
  switch (said) {
    case ProgramSaid::kSucceeded:
      result.outcome = Outcome::kUpdated;
      break;
    case ProgramSaid::kUnconfirmed:
      result.outcome = Outcome::kUnconfirmed;
      break;
    case ProgramSaid::kFailed: {
      // An alert and nothing else: the program refused before it wrote anything.
      bool alertOnly = !told.empty();
      for (const auto& box : told) {
        alertOnly = alertOnly && box.caption == kCaptionAlert;
      }
      result.outcome = alertOnly ? Outcome::kRefused : Outcome::kFailed;
      if (told.empty()) {
        result.message = "the program said nothing about the update";
      }
      break;
    }
  }
  // A camera Windows would not open for this user failed for that reason, whatever the program
  // made of it.
  if (result.outcome != Outcome::kUpdated && deniedCount_ && deniedCount_() > deniedBefore) {
    result.outcome = Outcome::kAccessDenied;
  }
  return result;
}

bool DialogDriver::AwaitReturn() {
  bool rested = true;
  for (int round = 0; rested && round < kReturnChanges && host_.AwaitDeviceChange(kReturnWaitMs);
       ++round) {
    rested = dialog_.Settle();
  }
  return rested;
}

std::vector<ConsoleDialog::Box> DialogDriver::NewBoxes(std::size_t before) const {
  const auto boxes = dialog_.Boxes();
  return {boxes.begin() + static_cast<long>(std::min(before, boxes.size())), boxes.end()};
}

std::vector<int> DialogDriver::NewModals(std::size_t before) const {
  const auto modals = dialog_.ModalsOpened();
  return {modals.begin() + static_cast<long>(std::min(before, modals.size())), modals.end()};
}

}  // namespace veltra::console

#include "veltra-update/bench_driver.h"

#include <chrono>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <thread>

#include "app/dialog_observer.h"
#include "app/refresher.h"
#include "console/device_text.h"
#include "console/program_devices.h"
#include "core/update_controller.h"
#include "app/resource_ids.h"
#include "core/ui_texts.h"
#include "core/update_session.h"
#include "core/window_messages.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "image/loader_files.h"
#include "loaders/sunplus_download.h"
#include "platform/ports.h"
#include "veltra-mkfw/fwgen.h"

namespace veltra::update_bench {

namespace {

using console::DeviceMode;
using console::Outcome;

// The loader files are the example ones, stamped as veltra-mkfw writes them by default.
constexpr fwgen::Version kLoaderVersion{2, 1, 7, 3};
// Real-time bound on the refresher thread's version read (it costs nothing on the bench's clock).
constexpr std::chrono::seconds kVersionReadLimit{10};
constexpr std::chrono::milliseconds kVersionReadNap{1};
constexpr int kFolderAttempts = 100;
// How each family's version text begins.
constexpr char kVersionLabel[] = "Firmware Version";

std::uint16_t HexId(const wchar_t* text) {
  return static_cast<std::uint16_t>(std::wcstoul(text, nullptr, 16));
}

// The place of the camera in the program's list now (entry i is record i); -1 when it is gone.
int ListedIndex(const console::ListedDevice& camera) {
  const int count = Controller().List().Listed();
  for (int i = 0; i < count; ++i) {
    if (console::SameNoCase(console::Utf8(Controller().List().DeviceTable[i].devicePath), camera.key)) {
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

// What the version read showed, without its label: "Firmware Version = 2.1.7.3" is "2.1.7.3";
// empty when it is not a version (the read failed).
std::string VersionOfText(const std::wstring& text) {
  const std::string shown = console::Utf8(text);
  if (shown.rfind(kVersionLabel, 0) != 0) {
    return "";
  }
  std::size_t start = shown.find_first_not_of(" =:", sizeof kVersionLabel - 1);
  std::size_t end = shown.find_last_not_of(" \r\n");
  if (start == std::string::npos || end < start) {
    return "";
  }
  return shown.substr(start, end - start + 1);
}

}  // namespace

BenchDriver::BenchDriver(const BenchSetup& setup)
    : system_(std::make_unique<sim::SimSystem>(clock_)) {
  Controller().Reset();
  ConnectToDialog(CurrentUpdate());
  Ports set;
  set.system = system_.get();
  set.usb = &usb_;
  set.dialog = &dialog_;
  if (!setup.trafficLogPath.empty()) {
    traffic_ = std::make_unique<sim::TrafficLog>(usb_, setup.trafficLogPath);
    set.usb = traffic_.get();
  }
  library_ = std::make_unique<sim::SimCameraLibrary>(bus_, traffic_.get());
  set.camera = library_.get();
  hidInput_ = std::make_unique<sim::SimHidInput>(bus_, traffic_.get());
  set.hidInput = hidInput_.get();
  set.discovery = &discovery_;
  set.vendor = &vendor_;
  InstallPorts(set);
  PlaceLoaderFiles();

  cameras_ = demo::MakeCameras(setup.roster);
  for (const demo::BenchCamera& camera : cameras_) {
    if (camera.entry.plugged) {
      bus_.Plug(camera.device);
    }
  }
  for (const demo::BenchCommand& command : setup.commands) {
    if (command.camera >= cameras_.size()) {
      continue;
    }
    const auto& device = cameras_[command.camera].device;
    switch (command.verb) {
      case demo::BenchCommand::Verb::kPlug:
        bus_.Plug(device);
        break;
      case demo::BenchCommand::Verb::kUnplug:
        bus_.Unplug(device.get());
        break;
      case demo::BenchCommand::Verb::kFault:
        faults_.push_back(command);
        break;
    }
  }
}

void BenchDriver::PlantFaults(const std::string& locationPath) {
  for (auto it = faults_.begin(); it != faults_.end();) {
    const auto& device = cameras_[it->camera].device;
    if (console::Utf8(bus_.LocationPath(device.get())) != locationPath) {
      ++it;
      continue;
    }
    // The device counts transfers afresh from the moment it is given a plan.
    sim::FaultPlan plan;
    plan.kind = it->fault;
    plan.atTransfer = it->fault == sim::FaultKind::kNone ? -1 : it->afterTransfers;
    device->SetFault(plan);
    it = faults_.erase(it);
  }
}

BenchDriver::~BenchDriver() {
  StopUpdateUIThread();
  system_->JoinAllThreads();
  ReleaseDfuHandles(CurrentUpdate().link);
  SelectImage(CurrentUpdate(), nullptr);
  ResetSunplusState(CurrentUpdate());
  if (traffic_) {
    traffic_->Flush();
  }
  InstallPorts(Ports{});
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool BenchDriver::PlaceLoaderFiles() {
  // A folder of its own, made new (the demo build runs under Windows, without mkdtemp).
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  std::random_device random;
  for (int attempt = 0; attempt < kFolderAttempts && folder_.empty(); ++attempt) {
    const std::filesystem::path folder = temp / ("veltra-update-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder, error)) {
      folder_ = folder.string();
    }
  }
  if (folder_.empty()) {
    return false;
  }
  const std::wstring bootName = kFx3BootImageName;
  const std::wstring loaderName = kNxpFlashLoaderName;
  for (const std::wstring& wide : {bootName, loaderName}) {
    const std::string name = console::Utf8(wide);
    for (const auto& file : fwgen::ExampleFiles(kLoaderVersion)) {
      if (file.name == name) {
        std::ofstream out(std::filesystem::path(folder_) / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
      }
    }
  }
  system_->SetExecutableFolder(folder_);
  return true;
}

std::vector<console::ListedDevice> BenchDriver::List() {
  // Once the program runs, its list as it stands.
  return started_ ? console::ProgramDevicesListed() : console::ListProgramDevices();
}

bool BenchDriver::Start() {
  if (!started_) {
    started_ = true;
    dialog_.Dispatch(kWmInitDialog);
    return dialog_.Settle(*system_, &discovery_);
  }
  return true;
}

void BenchDriver::Select(int index) {
  dialog_.ComboSetCurSel(index);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));
}

std::string BenchDriver::ReadVersion() {
  const std::size_t before = dialog_.Boxes().size();
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_READFW_VERSION));
  // The refresher thread reads it and shows it in a message box; it is the one thread that stays,
  // so the dialog's rest does not wait for it.
  const auto deadline = std::chrono::steady_clock::now() + kVersionReadLimit;
  std::vector<bench::ConsoleDialog::Box> boxes = dialog_.Boxes();
  while (boxes.size() == before && std::chrono::steady_clock::now() < deadline) {
    dialog_.Settle(*system_, &discovery_);
    std::this_thread::sleep_for(kVersionReadNap);
    boxes = dialog_.Boxes();
  }
  dialog_.Settle(*system_, &discovery_);
  return boxes.size() > before ? VersionOfText(boxes[before].text) : std::string();
}

console::UpdateResult BenchDriver::Update(const console::ListedDevice& camera,
                                          const std::string& filePath,
                                          const console::ProgressSink& progress) {
  console::UpdateResult result;
  if (!Start()) {
    result.message = "the program did not come to rest after its start";
    return result;
  }
  const int index = ListedIndex(camera);
  if (index < 0) {
    result.message = "the program no longer lists the camera";
    return result;
  }
  const std::size_t boxesBefore = dialog_.Boxes().size();
  const std::size_t modalsBefore = dialog_.ModalsOpened().size();
  dialog_.SetStatusListener([&progress](const std::wstring& text) {
    console::ProgressStep step;
    step.percent = PercentOf(text);
    if (step.percent < 0) {
      step.phase = console::Utf8(text);
    }
    progress(step);
  });
  Select(index);
  if (camera.mode == DeviceMode::kNormal) {
    result.versionBefore = ReadVersion();
  }
  PlantFaults(camera.locationPath);
  dialog_.SetChosenFile(filePath);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_BROWSE));
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_FW_UPDATE));
  const bool rested = dialog_.Settle(*system_, &discovery_);
  dialog_.SetStatusListener(nullptr);

  const auto boxes = dialog_.Boxes();
  const auto modals = dialog_.ModalsOpened();
  const std::vector<bench::ConsoleDialog::Box> told(boxes.begin() + static_cast<long>(boxesBefore),
                                                    boxes.end());
  const std::vector<int> opened(modals.begin() + static_cast<long>(modalsBefore), modals.end());
  const bench::ProgramSaid said = bench::WhatTheProgramSaid(told, opened);
  if (!told.empty()) {
    result.message = console::Utf8(told.back().text);
  }
  if (!rested) {
    result.message = "the program did not come to rest after the update";
    return result;
  }
  if (said != bench::ProgramSaid::kFailed) {
    // The program selects the camera it found again after the update; its version is read there.
    const int found = dialog_.Selected();
    if (found >= 0 && found < Controller().List().Listed() &&
        console::KnownMode(HexId(Controller().List().DeviceTable[found].vidText),
                           HexId(Controller().List().DeviceTable[found].pidText)) == DeviceMode::kNormal) {
      Select(found);
      result.versionAfter = ReadVersion();
    }
  }
  switch (said) {
    case bench::ProgramSaid::kSucceeded:
      result.outcome = Outcome::kUpdated;
      break;
    case bench::ProgramSaid::kUnconfirmed:
      result.outcome = Outcome::kUnconfirmed;
      break;
    case bench::ProgramSaid::kFailed: {
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
  return result;
}

}  // namespace veltra::update_bench

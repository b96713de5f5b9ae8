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
#include "app/resource_ids.h"
#include "console/device_text.h"
#include "console/program_devices.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
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

// The loader files are the example ones, stamped as veltra-mkfw writes them by default.
constexpr fwgen::Version kLoaderVersion{2, 1, 7, 3};
constexpr int kFolderAttempts = 100;

}  // namespace

BenchDriver::BenchDriver(const BenchSetup& setup) : bench_(setup.trafficLogPath) {
  Controller().Reset();
  ConnectToDialog(CurrentUpdate());
  bench_.Install(shown_);
  host_.Use(bench_.system(), &bench_.discovery());
  driver_.SetBeforeUpdate([this](const std::string& locationPath) { PlantFaults(locationPath); });
  driver_.SetDeniedCount([this] { return bench_.usb().AccessRefusals(); });
  PlaceLoaderFiles();

  cameras_ = demo::MakeCameras(setup.roster);
  for (const demo::BenchCamera& camera : cameras_) {
    if (camera.entry.plugged) {
      bench_.bus().Plug(camera.device);
    }
  }
  for (const demo::BenchCommand& command : setup.commands) {
    if (command.camera >= cameras_.size()) {
      continue;
    }
    const auto& device = cameras_[command.camera].device;
    switch (command.verb) {
      case demo::BenchCommand::Verb::kPlug:
        bench_.bus().Plug(device);
        break;
      case demo::BenchCommand::Verb::kUnplug:
        bench_.bus().Unplug(device.get());
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
    if (console::Utf8(bench_.bus().LocationPath(device.get())) != locationPath) {
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
  bench_.system().JoinAllThreads();
  ReleaseDfuHandles(CurrentUpdate().link);
  SelectImage(CurrentUpdate(), nullptr);
  ResetSunplusState(CurrentUpdate());
  if (bench_.traffic() != nullptr) {
    bench_.traffic()->Flush();
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
  bench_.system().SetExecutableFolder(folder_);
  return true;
}

}  // namespace veltra::update_bench

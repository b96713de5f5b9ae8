#include "veltra-bench/program_route.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/resource_ids.h"
#include "core/ui_texts.h"
#include "core/window_messages.h"
#include "image/loader_files.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"
#include "veltra-bench/dfu_route.h"
#include "veltra-mkfw/fwgen.h"

namespace veltra::bench {

namespace {

// The example files are stamped with this version, as veltra-mkfw writes them by default.
constexpr fwgen::Version kExampleVersion{2, 1, 7, 3};

bool CopyOrWrite(const std::string& source, const std::string& example, const std::string& target,
                 std::ostream& err) {
  std::error_code error;
  if (!source.empty()) {
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error) {
      err << "veltra-bench: cannot copy " << source << ": " << error.message() << '\n';
      return false;
    }
    return true;
  }
  for (const auto& file : fwgen::ExampleFiles(kExampleVersion)) {
    if (file.name == example) {
      std::ofstream out(target, std::ios::binary);
      out.write(reinterpret_cast<const char*>(file.bytes.data()),
                static_cast<std::streamsize>(file.bytes.size()));
      return static_cast<bool>(out);
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<Route> MakeRoute(const std::string& name) {
  if (name == kDirectRoute) {
    return std::make_unique<DfuRoute>();
  }
  for (const RouteInfo& route : kRoutes) {
    if (name == route.name) {
      return std::make_unique<ProgramRoute>(name);
    }
  }
  return nullptr;
}

ProgramRoute::ProgramRoute(std::string name) : name_(std::move(name)) {}

ProgramRoute::~ProgramRoute() {
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool ProgramRoute::PlaceLoaderFiles(Session& session) {
  std::string pattern = (std::filesystem::temp_directory_path() / "veltra-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    session.out() << "veltra-bench: no temporary folder for the program\n";
    return false;
  }
  folder_ = pattern;
  const std::filesystem::path folder(folder_);
  const std::wstring bootName = kFx3BootImageName;
  const std::wstring loaderName = kNxpFlashLoaderName;
  const std::string boot(bootName.begin(), bootName.end());
  const std::string loader(loaderName.begin(), loaderName.end());
  if (!CopyOrWrite(session.options().bootImagePath, boot, (folder / boot).string(),
                   session.out()) ||
      !CopyOrWrite(session.options().flashLoaderPath, loader, (folder / loader).string(),
                   session.out())) {
    return false;
  }
  session.system().SetExecutableFolder(folder_);
  return true;
}

bool ProgramRoute::Prepare(Session& session) {
  if (!PlaceLoaderFiles(session)) {
    return false;
  }
  const FileReading& file = session.reading();
  if (name_ == "generic" || name_ == "pesca" || name_ == "tarsa") {
    std::shared_ptr<sim::DfuModeCamera> camera;
    sim::DfuModeCamera::Options options = name_ == "pesca"   ? sim::PescaOptions()
                                          : name_ == "tarsa" ? sim::TarsaOptions()
                                                             : sim::DfuModeCamera::Options{};
    options.engine = EngineConfig(session.options());
    if (name_ == "generic") {
      camera = std::make_shared<sim::GenericCamera>(options);
    } else if (name_ == "pesca") {
      camera = std::make_shared<sim::PescaCamera>(options);
    } else {
      camera = std::make_shared<sim::TarsaCamera>(options);
    }
    // A Pesca camera takes a type 1 or 2 image in two passes; the others take its second image.
    const bool twoPasses = name_ == "pesca" && file.kind == FileReading::Kind::kCombined &&
                           (file.combinedType == 1 || file.combinedType == 2);
    report_ = [this, camera, twoPasses](Session& s) {
      return ReportDfuFlash(s, camera->Flash(), twoPasses);
    };
    camera_ = camera;
  } else if (name_ == "cx3") {
    sim::Cx3Camera::Options options;
    options.engine = EngineConfig(session.options());
    auto camera = std::make_shared<sim::Cx3Camera>(options);
    report_ = [this, camera](Session& s) { return ReportDfuFlash(s, camera->Flash(), false); };
    camera_ = camera;
  } else if (name_ == "nxp") {
    sim::NxpCamera::Options options;
    options.loader.eraseMs = session.options().loaderEraseMs;
    if (session.options().unpaced) {
      options.loader.dataGapMs = 0;
    }
    auto camera = std::make_shared<sim::NxpCamera>(options);
    report_ = [camera](Session& s) {
      const auto& image = s.reading().image;
      return CompareRegion(s.out(), "flash at 0x60001000",
                           camera->FlashBytes(sim::kFlashImageAddress, image.size()), image,
                           "the file's image");
    };
    camera_ = camera;
  } else if (name_ == "mirel") {
    auto camera = std::make_shared<sim::MirelCamera>();
    report_ = [camera](Session& s) {
      return CompareRegion(s.out(), "image", camera->Image(), s.reading().image,
                           "the file's image");
    };
    camera_ = camera;
  } else {
    return false;
  }
  camera_->SetUnknowns(session.options().unknowns);
  session.bus().Plug(camera_);

  // The program starts and finds the camera.
  ConsoleDialog& dialog = session.dialog();
  dialog.Dispatch(kWmInitDialog);
  if (!dialog.Settle(session.system(), &session.discovery())) {
    session.out() << "veltra-bench: the program did not come to rest after its start\n";
    return false;
  }
  const auto entries = session.shown().Entries();
  const int selected = session.shown().Selected();
  if (selected < 0 || selected >= static_cast<int>(entries.size())) {
    session.out() << "the program lists no camera\n";
    return false;
  }
  session.out() << "camera: " << sim::DeviceName(camera_->Id()) << ", listed by the program as "
                << Printable(entries[static_cast<std::size_t>(selected)]) << "\n";
  return true;
}

int ProgramRoute::Run(Session& session) {
  // The fault plan counts from the first transfer of the update.
  sim::FaultPlan fault = session.options().fault;
  if (fault.kind != sim::FaultKind::kNone) {
    fault.atTransfer += camera_->TransferCount();
  }
  camera_->SetFault(fault);

  ConsoleDialog& dialog = session.dialog();
  dialog.SetChosenFile(session.options().firmwarePath);
  dialog.Dispatch(kWmCommand, CommandParam(IDC_BTN_BROWSE));
  dialog.Dispatch(kWmCommand, CommandParam(IDC_BTN_FW_UPDATE));
  if (!dialog.Settle(session.system(), &session.discovery())) {
    session.out() << "veltra-bench: the program did not come to rest after the update\n";
    return 0;
  }
  switch (WhatTheProgramSaid(dialog.Boxes(), dialog.ModalsOpened())) {
    case ProgramSaid::kSucceeded:
      return kSucceeded;
    case ProgramSaid::kUnconfirmed:
      return kUnconfirmed;
    case ProgramSaid::kFailed:
      break;
  }
  return kFailed;
}

bool ProgramRoute::ReportDfuFlash(Session& session, const sim::DfuFlash& flash, bool twoPasses) {
  const FileReading& file = session.reading();
  std::ostream& out = session.out();
  bool same = true;
  switch (file.kind) {
    case FileReading::Kind::kMcu:
      same = CompareRegion(out, "MCU text", flash.mcu, file.mcuText, "the file's MCU text");
      break;
    case FileReading::Kind::kFpga:
      same = CompareRegion(out, "FPGA", flash.fpga, file.bitstream, "the file's bitstream");
      break;
    case FileReading::Kind::kCombined:
      if (twoPasses) {
        const std::vector<std::uint8_t> none;
        same = CompareRegion(out, "image section 1",
                             flash.imageSections.empty() ? none : flash.imageSections[0],
                             file.first, "the file's first image");
        same = CompareRegion(out, "image section 2",
                             flash.imageSections.size() < 2 ? none : flash.imageSections[1],
                             file.image, "the file's second image") &&
               same;
        out << "  erases: " << flash.eraseCount << ", completed downloads: " << flash.manifestCount
            << "\n";
        return same;
      }
      break;
    case FileReading::Kind::kUnmarked:
    case FileReading::Kind::kRefused:  // the program took it, so the bench reads it too
      break;
  }
  const char* what = file.kind == FileReading::Kind::kUnmarked   ? "the whole file"
                     : file.kind == FileReading::Kind::kCombined ? "the file's second image"
                                                                 : "the file's image section";
  same = CompareRegion(out, "image", flash.image, file.image, what) && same;
  out << "  erases: " << flash.eraseCount << ", completed downloads: " << flash.manifestCount
      << "\n";
  return same;
}

bool ProgramRoute::Report(Session& session) {
  session.out() << "camera now holds:\n";
  return report_ && report_(session);
}

}  // namespace veltra::bench

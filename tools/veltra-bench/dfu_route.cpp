#include "veltra-bench/dfu_route.h"

#include <algorithm>

#include "camera/update_worker.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "platform/ports.h"
#include "sim/traffic_log.h"

namespace veltra::bench {

namespace {

// A two-pass image needs two worker runs; nothing else needs more than one.
constexpr int kMaxWorkerRuns = 2;

bool TwoPassType(std::uint8_t type) {
  return type == 1 || type == 2;
}

}  // namespace

bool DfuRoute::Open(Session& session) {
  const std::wstring path = session.bus().UsbInterfacePath(camera_.get());
  if (InitializeDevice(CurrentUpdate().link, path.c_str()) == 0) {
    session.out() << "veltra-bench: the program could not open the DFU camera\n";
    return false;
  }
  // The list shows the camera as record 0, selected.
  Controller().List().nDeviceCount = 1;
  Controller().List().nSelectedIndex = 0;
  CopyText(Controller().List().DeviceTable[0].devicePath, path.c_str());
  CopyText(Controller().List().DeviceTable[0].vidText, L"7E51");
  CopyText(Controller().List().DeviceTable[0].pidText, sim::Hex4(camera_->Id().pid).c_str());
  return true;
}

bool DfuRoute::Prepare(Session& session) {
  if (!session.SplitWithProgram()) {
    return false;
  }
  const Options& options = session.options();
  sim::DfuCamera::Options camera;
  camera.engine = EngineConfig(options);
  camera.pid = options.pid;
  camera.serial = options.serial;
  camera.engine.initialState = options.startState;
  camera.engine.busyPolls = options.busyPolls;
  camera_ = std::make_shared<sim::DfuCamera>(camera);
  // After a completed download the camera restarts and enumerates again in DFU mode.
  camera_->SetAfterManifest([](sim::DfuCamera& self) { self.ReEnumerate(); });
  camera_->SetUnknowns(session.options().unknowns);
  session.bus().Plug(camera_);
  session.out() << "camera: " << sim::DeviceName(camera_->Id()) << " in DFU mode, state "
                << static_cast<int>(options.startState) << ", " << options.busyPolls
                << " busy poll(s) per block\n";
  if (!Open(session)) {
    return false;
  }
  // The update command's direct DFU start.
  CurrentUpdate().BeginInUpdateMode(options.pid == sim::kDfuPidPesca &&
                                    TwoPassType(SelectedImageType(CurrentUpdate())));
  // The fault plan counts from the first transfer of the update.
  camera_->SetFault(options.fault);
  return true;
}

bool DfuRoute::SecondPartPending(Session& session) const {
  return CurrentUpdate().pass.load() == PassStep::kFirstPartWritten &&
         !CurrentUpdate().DownloadComplete() && session.bus().IsPresent(camera_.get());
}

int DfuRoute::Run(Session& session) {
  int result = 0;
  for (int run = 0; run < kMaxWorkerRuns; ++run) {
    if (!session.file().mcu && !session.file().fpga) {
      passes_.push_back(
          ChooseDownloadPass(SelectedImageType(CurrentUpdate()), CurrentUpdate().Pass()));
    }
    session.out() << "update worker, run " << run + 1 << ":\n";
    const WorkerStart start = TakeWorkerStart(CurrentUpdate());
    const Handle thread =
        Sys().StartThread([start] { return UpdateFirmware(CurrentUpdate(), start); });
    if (thread == kNullHandle) {
      session.out() << "veltra-bench: no worker thread\n";
      return 0;
    }
    // The dialog thread serves the worker's messages until it ends, as the dialog's loop does.
    session.dialog().Settle(session.system());
    Sys().WaitThread(thread, kWaitInfinite);
    result = static_cast<int>(Sys().ThreadExitCode(thread));
    Sys().CloseThread(thread);
    if (result == 0 || !SecondPartPending(session)) {
      break;
    }
    // The camera came back for the second part: the device-change handling opens it again and
    // starts the worker once more.
    session.out() << "camera re-enumerated as " << sim::DeviceName(camera_->Id())
                  << "; the second part follows\n";
    ReleaseDfuHandles(CurrentUpdate().link);
    if (!Open(session)) {
      return 0;
    }
    if (camera_->Id().pid == sim::kDfuPidPesca && TwoPassType(SelectedImageType(CurrentUpdate()))) {
      CurrentUpdate().SetWriteFirstPart(true);
    }
  }
  return result;
}

bool DfuRoute::Report(Session& session) {
  const FileReading& file = session.reading();
  const sim::DfuFlash flash = camera_->Flash();
  std::ostream& out = session.out();
  out << "camera now holds:\n";
  bool same = true;
  if (file.kind == FileReading::Kind::kMcu) {
    same = CompareRegion(out, "MCU text", flash.mcu, file.mcuText, "the file's MCU text") && same;
    same = CompareRegion(out, "image", flash.image, file.image, "the file's image section") && same;
  } else if (file.kind == FileReading::Kind::kFpga) {
    same = CompareRegion(out, "FPGA", flash.fpga, file.bitstream, "the file's bitstream") && same;
    same = CompareRegion(out, "image", flash.image, file.image, "the file's image section") && same;
  } else {
    const bool unmarked = file.kind == FileReading::Kind::kUnmarked;
    std::size_t section = 0;
    for (const DownloadPass pass : passes_) {
      if (pass == DownloadPass::kNone) {
        continue;
      }
      const bool first = pass == DownloadPass::kFirst;
      const std::vector<std::uint8_t> empty;
      const auto& held =
          section < flash.imageSections.size() ? flash.imageSections[section] : empty;
      const std::string what = unmarked ? "the whole file"
                               : first  ? "the file's first image"
                                        : "the file's second image";
      same = CompareRegion(out, "image section " + std::to_string(section + 1), held,
                           first && !unmarked ? file.first : file.image, what) &&
             same;
      ++section;
    }
    if (section == 0) {
      out << "  nothing: no pass of this image applies to a camera found in this mode\n";
      same = false;
    }
  }
  out << "  erases: " << flash.eraseCount << ", completed downloads: " << flash.manifestCount
      << "\n";
  return same;
}

}  // namespace veltra::bench

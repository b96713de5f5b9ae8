#include "veltra-bench/bench_session.h"

#include <fstream>
#include <iterator>

#include "core/app_state.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "platform/ports.h"

namespace veltra::bench {

namespace {

// The largest file the bench reads; the program's own length fields are 32-bit.
constexpr std::streamoff kMaxFileBytes = 0x7FFFFFFF;

std::vector<std::uint8_t> Copy(const Payload& payload) {
  if (payload.data == nullptr) {
    return {};
  }
  return std::vector<std::uint8_t>(payload.data, payload.data + payload.length);
}

// The program's state as a fresh process has it.
void ResetProgramState() {
  ResetAppState();
  ResetImageState();
  ResetDfuContext();
  ResetDownloadState();
  ResetDeviceTable();
}

}  // namespace

Session::Session(Options options, std::ostream& out)
    : options_(std::move(options)),
      out_(out),
      system_(std::make_unique<sim::SimSystem>(clock_)),
      dialog_(out, options_.quiet) {
  ResetProgramState();
  Ports set;
  set.system = system_.get();
  set.usb = &usb_;
  set.dialog = &dialog_;
  if (!options_.logPath.empty()) {
    traffic_ = std::make_unique<sim::TrafficLog>(usb_, options_.logPath);
    set.usb = traffic_.get();
  }
  InstallPorts(set);
}

Session::~Session() {
  system_->JoinAllThreads();
  ReleaseDfuHandles();
  ResetImageState();
  InstallPorts(Ports{});
}

bool Session::LoadFirmware() {
  std::ifstream in(options_.firmwarePath, std::ios::binary);
  if (!in) {
    out_ << "veltra-bench: cannot open " << options_.firmwarePath << '\n';
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || size > kMaxFileBytes) {
    out_ << "veltra-bench: " << options_.firmwarePath << " is too large\n";
    return false;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!bytes.empty()) {
    in.read(reinterpret_cast<char*>(bytes.data()), size);
  }
  if (!in) {
    out_ << "veltra-bench: cannot read " << options_.firmwarePath << '\n';
    return false;
  }
  // As Browse does: the combined-image flag starts clear for every new selection.
  g_bCombinedImage = 0;
  if (SplitFirmwareFile(bytes.data(), static_cast<std::uint32_t>(bytes.size())) == 0) {
    out_ << "veltra-bench: the program does not accept " << options_.firmwarePath
         << " as a firmware file\n";
    return false;
  }
  file_.part1 = Copy(imagePart1);
  file_.part2 = Copy(imagePart2);
  file_.mcu = g_bMCUImage.load() != 0;
  file_.fpga = g_bFPGAImage.load() != 0;
  file_.imageType = g_imageType.load();
  return true;
}

void Session::DescribeFile() {
  out_ << "file: " << options_.firmwarePath << " - ";
  if (file_.mcu) {
    out_ << "MCU image (MCU text " << file_.part1.size() << " bytes, image " << file_.part2.size()
         << " bytes)\n";
  } else if (file_.fpga) {
    out_ << "FPGA image (bitstream " << file_.part1.size() << " bytes, image " << file_.part2.size()
         << " bytes)\n";
  } else if (g_bCombinedImage.load() != 0) {
    out_ << "combined image of type " << static_cast<int>(file_.imageType) << " (part 1 "
         << file_.part1.size() << " bytes, part 2 " << file_.part2.size() << " bytes)\n";
  } else {
    out_ << "unmarked image of type " << static_cast<int>(file_.imageType) << " (part 1 "
         << file_.part1.size() << " bytes, part 2 " << file_.part2.size() << " bytes)\n";
  }
}

int Session::Run() {
  std::unique_ptr<Route> route = MakeRoute(options_.route);
  if (!route) {
    out_ << "veltra-bench: no route '" << options_.route << "'\n";
    return kExitBadInput;
  }
  if (traffic_ && !traffic_->ok()) {
    out_ << "veltra-bench: cannot write the traffic log " << options_.logPath << '\n';
    return kExitBadInput;
  }
  if (!LoadFirmware()) {
    return kExitBadInput;
  }
  DescribeFile();
  if (!route->Prepare(*this)) {
    return kExitUpdateFailed;
  }
  const int result = route->Run(*this);
  out_ << "program result: " << (result != 0 ? "success" : "failure") << " after " << clock_.NowMs()
       << " ms on the program's clock\n";
  const bool holds = route->Report(*this);
  if (traffic_) {
    traffic_->Flush();
    out_ << "traffic log: " << options_.logPath << " (" << traffic_->Count() << " lines)\n";
  }
  return result != 0 && holds ? kExitSuccess : kExitUpdateFailed;
}

}  // namespace veltra::bench

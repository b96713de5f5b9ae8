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
  // Read straight into the buffer the parsed image will own, as Browse does: no second copy.
  const auto length = static_cast<std::uint32_t>(size);
  std::shared_ptr<std::uint8_t> bytes(new std::uint8_t[length == 0 ? 1 : length],
                                      std::default_delete<std::uint8_t[]>());
  if (length != 0) {
    in.read(reinterpret_cast<char*>(bytes.get()), size);
  }
  if (!in) {
    out_ << "veltra-bench: cannot read " << options_.firmwarePath << '\n';
    return false;
  }
  ParseResult parsed = ParseFirmwareFile(std::move(bytes), length);
  if (!parsed.image) {
    out_ << "veltra-bench: the program does not accept " << options_.firmwarePath
         << " as a firmware file\n";
    return false;
  }
  file_.image = std::make_shared<const ParsedImage>(std::move(*parsed.image));
  SelectImage(file_.image);
  file_.part1 = file_.image->part1;
  file_.part2 = file_.image->part2;
  file_.mcu = file_.image->kind == ImageKind::kMcu;
  file_.fpga = file_.image->kind == ImageKind::kFpga;
  file_.combined = file_.image->kind == ImageKind::kCombined;
  file_.imageType = file_.image->imageType;
  return true;
}

void Session::DescribeFile() {
  out_ << "file: " << options_.firmwarePath << " - ";
  if (file_.mcu) {
    out_ << "MCU image (MCU text " << file_.part1.length << " bytes, image " << file_.part2.length
         << " bytes)\n";
  } else if (file_.fpga) {
    out_ << "FPGA image (bitstream " << file_.part1.length << " bytes, image " << file_.part2.length
         << " bytes)\n";
  } else if (file_.combined) {
    out_ << "combined image of type " << static_cast<int>(file_.imageType) << " (part 1 "
         << file_.part1.length << " bytes, part 2 " << file_.part2.length << " bytes)\n";
  } else {
    out_ << "unmarked image of type " << static_cast<int>(file_.imageType) << " (part 1 "
         << file_.part1.length << " bytes, part 2 " << file_.part2.length << " bytes)\n";
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

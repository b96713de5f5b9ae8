#include "veltra-bench/bench_session.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/dialog_observer.h"
#include "app/refresher.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "loaders/sunplus_download.h"
#include "platform/ports.h"

namespace veltra::bench {

namespace {

// The largest file the bench reads; the program's own length fields are 32-bit.
constexpr std::uintmax_t kMaxFileBytes = 0x7FFFFFFF;

// The program's state as a fresh process has it.
void ResetProgramState() {
  Controller().Reset();
  // The bench's dialog hears the update's reports as the program's main dialog does.
  ConnectToDialog(CurrentUpdate());
}

}  // namespace

bool CompareRegion(std::ostream& out, const std::string& region,
                   const std::vector<std::uint8_t>& held, const std::vector<std::uint8_t>& expected,
                   const std::string& what) {
  const bool same = held == expected;
  out << "  " << region << ": " << held.size() << " bytes, " << (same ? "equals" : "differs from")
      << " " << what << " (" << expected.size() << " bytes)\n";
  return same;
}

Session::Session(Options options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)),
      out_(out),
      bench_(options_.logPath),
      dialog_(out, options_.quiet, bench_.clock()),
      err_(err) {
  ResetProgramState();
  dialog_.Watch(shown_);
  bench_.Install(shown_);
}

Session::~Session() {
  StopUpdateUIThread();
  bench_.system().JoinAllThreads();
  ReleaseDfuHandles(CurrentUpdate().link);
  SelectImage(CurrentUpdate(), nullptr);
  ResetSunplusState(CurrentUpdate());
  InstallPorts(Ports{});
}

bool Session::LoadFirmware() {
  const std::string& path = options_.firmwarePath;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    err_ << "veltra-bench: " << path << ": no such file\n";
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    err_ << "veltra-bench: " << path << " is a directory, not a firmware file\n";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    err_ << "veltra-bench: cannot read " << path << ": " << error.message() << '\n';
    return false;
  }
  if (size == 0) {
    err_ << "veltra-bench: " << path << " is empty: there is no firmware in it\n";
    return false;
  }
  if (size > kMaxFileBytes) {
    err_ << "veltra-bench: " << path << " is " << size << " bytes, more than the program's "
         << kMaxFileBytes << "\n";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    err_ << "veltra-bench: cannot read " << path << '\n';
    return false;
  }
  if (bytes_.size() != size) {
    err_ << "veltra-bench: " << path << " changed while it was read\n";
    return false;
  }
  reading_ = ReadFirmwareFile(bytes_);
  return true;
}

bool Session::SplitWithProgram() {
  ParseResult parsed = ParseFirmwareBytes(bytes_.data(), static_cast<std::uint32_t>(bytes_.size()));
  if (!parsed.image) {
    out_ << "the program does not take " << options_.firmwarePath << " as a firmware file\n";
    return false;
  }
  file_.image = std::make_shared<const ParsedImage>(std::move(*parsed.image));
  SelectImage(CurrentUpdate(), file_.image);
  file_.part1 = file_.image->part1;
  file_.part2 = file_.image->part2;
  file_.mcu = file_.image->kind == ImageKind::kMcu;
  file_.fpga = file_.image->kind == ImageKind::kFpga;
  file_.combined = file_.image->kind == ImageKind::kCombined;
  file_.imageType = file_.image->imageType;
  return true;
}

int Session::Run() {
  std::unique_ptr<Route> route = MakeRoute(options_.route);
  if (!route) {
    err_ << "veltra-bench: no route '" << options_.route << "'\n";
    return kExitBadInput;
  }
  if (bench_.traffic() != nullptr && !bench_.traffic()->ok()) {
    err_ << "veltra-bench: cannot write the traffic log " << options_.logPath << '\n';
    return kExitBadInput;
  }
  if (!LoadFirmware()) {
    return kExitBadInput;
  }
  out_ << "file: " << options_.firmwarePath << " - " << Describe(reading_) << '\n';
  bool holds = false;
  int result = 0;
  if (route->Prepare(*this)) {
    result = route->Run(*this);
    const char* told = result == Route::kSucceeded     ? "success"
                       : result == Route::kUnconfirmed ? "sent, unconfirmed"
                                                       : "failure";
    out_ << "program result: " << told << " after " << bench_.clock().NowMs()
         << " ms on the program's clock\n";
    holds = route->Report(*this);
  }
  if (bench_.traffic() != nullptr) {
    bench_.traffic()->Flush();
    out_ << "traffic log: " << options_.logPath << " (" << bench_.traffic()->Count() << " lines)\n";
  }
  out_ << "what the camera holds against the file: " << (holds ? "equals" : "differs") << '\n';
  // An unconfirmed write is told honestly by the program; the bench, which sees the camera's
  // flash, settles it.
  return result != Route::kFailed && holds ? kExitSuccess : kExitUpdateFailed;
}

}  // namespace veltra::bench

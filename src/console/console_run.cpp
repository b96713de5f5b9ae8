#include "console/console_run.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>
#include <system_error>

#include "console/camera_choice.h"
#include "console/device_text.h"
#include "console/exit_codes.h"
#include "console/progress_lines.h"
#include "console/run_report.h"
#include "image/firmware_image.h"

namespace veltra::console {

namespace {

constexpr const char* kPrefix = "veltra-update: ";
// The program's own length fields are 32-bit.
constexpr std::uintmax_t kMaxFileBytes = 0x7FFFFFFF;

void ListAsText(const std::vector<ListedDevice>& devices, std::ostream& out) {
  if (devices.empty()) {
    out << "no device found\n";
    return;
  }
  for (const ListedDevice& device : devices) {
    const std::string port = PortOfLocation(device.locationPath);
    out << (device.model.empty() ? "-" : device.model) << "  " << VidPidText(device.vid, device.pid)
        << "  " << ModeName(device.mode) << "  serial "
        << (device.serial.empty() ? "-" : device.serial) << "  port " << (port.empty() ? "-" : port)
        << "  version " << (device.version.empty() ? "-" : device.version) << "  (" << device.name
        << ")\n";
  }
}

void ListAsJson(const std::vector<ListedDevice>& devices, std::ostream& out) {
  nlohmann::json list = nlohmann::json::array();
  const auto orNull = [](const std::string& text) {
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
  };
  for (const ListedDevice& device : devices) {
    list.push_back({{"name", device.name},
                    {"model", orNull(device.model)},
                    {"vidPid", VidPidText(device.vid, device.pid)},
                    {"mode", ModeName(device.mode)},
                    {"route", RouteName(device.route)},
                    {"serial", orNull(device.serial)},
                    {"port", orNull(PortOfLocation(device.locationPath))},
                    {"version", orNull(device.version)}});
  }
  out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

// The file's bytes; false (and said) when it cannot be read whole.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::ostream& err) {
  const std::filesystem::path file = std::filesystem::u8path(path);
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!std::filesystem::is_regular_file(status)) {
    err << kPrefix << path << ": no such file\n";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size == 0 || size > kMaxFileBytes) {
    err << kPrefix << path << ": "
        << (error       ? error.message()
            : size == 0 ? "empty"
                        : "too large")
        << '\n';
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (bytes->size() != size) {
    err << kPrefix << "cannot read " << path << '\n';
    return false;
  }
  return true;
}

// The kind the program's parser gives the file; a file it does not take as a packed image goes
// whole to a camera that takes raw images (the NXP route).
std::string KindOf(const std::vector<std::uint8_t>& bytes) {
  const ParseResult parsed =
      ParseFirmwareBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  if (!parsed.image) {
    return "raw";
  }
  switch (parsed.image->kind) {
    case ImageKind::kFpga:
      return "fpga";
    case ImageKind::kMcu:
      return "mcu";
    case ImageKind::kCombined:
      return "combined";
    case ImageKind::kUnmarked:
      return "unmarked";
  }
  return "raw";
}

std::string Hex(const Sha256Digest& digest) {
  std::string text;
  char pair[3] = {};
  for (const std::uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(byte));
    text += pair;
  }
  return text;
}

CameraRecord RecordOf(const ListedDevice& device) {
  CameraRecord record;
  record.serial = device.serial;
  record.port = PortOfLocation(device.locationPath);
  record.model = device.model;
  record.vidPid = VidPidText(device.vid, device.pid);
  record.route = RouteName(device.route);
  record.versionBefore = device.version;
  return record;
}

class Reporter {
 public:
  Reporter(const Options& options, RunReport& report, ExitStatus& status, std::ostream& err)
      : path_(options.reportPath), report_(report), status_(status), err_(err) {}
  // Writes the report as it stands; a report that cannot be written is said once and fails the
  // run, since the caller relies on it.
  void Write() {
    if (path_.empty()) {
      return;
    }
    std::string error;
    if (!report_.WriteTo(path_, &error)) {
      if (!failed_) {
        err_ << kPrefix << error << '\n';
      }
      failed_ = true;
      status_.Raise(kExitFailed);
    }
  }

 private:
  std::string path_;
  RunReport& report_;
  ExitStatus& status_;
  std::ostream& err_;
  bool failed_ = false;
};

int RunUpdate(const Options& options, const RunPorts& ports) {
  std::ostream& err = *ports.err;
  std::vector<std::uint8_t> bytes;
  if (!ReadFile(options.file, &bytes, err)) {
    return kExitUsage;
  }
  Sha256Digest digest{};
  if (!ports.sha256->Digest(bytes.data(), bytes.size(), &digest)) {
    err << kPrefix << "cannot compute the SHA-256 of " << options.file << '\n';
    return kExitUsage;
  }
  const std::string title = std::filesystem::u8path(options.file).filename().u8string();
  RunReport report(ProgramVersion(), FileRecord{title, bytes.size(), Hex(digest), KindOf(bytes)});
  ExitStatus status;
  Reporter reporter(options, report, status, err);

  const std::vector<ListedDevice> devices = ports.driver->List(false);
  const Choice choice = ChooseCameras(options, devices, title);
  if (choice.exitCode != 0) {
    err << kPrefix << choice.message << '\n';
    status.Raise(choice.exitCode);
    report.SetExitCode(status.code());
    reporter.Write();
    return status.code();
  }

  ProgressLines progress(err, options.quiet);
  for (const std::size_t index : choice.chosen) {
    const ListedDevice& device = devices[index];
    CameraRecord record = RecordOf(device);
    progress.Begin(DescribeDevice(device));
    if (ports.stop != nullptr && ports.stop->load()) {
      record.outcome = OutcomeName(Outcome::kSkipped);
      record.message = "the run was interrupted before this camera";
      status.Raise(ExitCodeOf(Outcome::kSkipped));
    } else {
      const double start = ports.seconds ? ports.seconds() : 0.0;
      const UpdateResult result = ports.driver->Update(
          device, options.file, [&progress](const ProgressStep& step) { progress.Step(step); });
      record.seconds = (ports.seconds ? ports.seconds() : 0.0) - start;
      record.outcome = OutcomeName(result.outcome);
      record.message = result.message;
      if (!result.versionBefore.empty()) {
        record.versionBefore = result.versionBefore;
      }
      record.versionAfter = result.versionAfter;
      status.Raise(ExitCodeOf(result.outcome));
      if (result.outcome == Outcome::kAccessDenied) {
        err << kPrefix << "Windows refused access to the camera; run it from an elevated prompt\n";
      }
    }
    progress.Say(record.outcome + (record.message.empty() ? "" : ": " + record.message));
    report.Add(std::move(record));
    reporter.Write();
  }
  report.SetExitCode(status.code());
  reporter.Write();
  return status.code();
}

}  // namespace

const char* ProgramVersion() {
  return VELTRA_PROGRAM_VERSION;
}

int RunConsole(const Options& options, const RunPorts& ports) {
  if (options.list) {
    const std::vector<ListedDevice> devices = ports.driver->List(true);
    options.json ? ListAsJson(devices, *ports.out) : ListAsText(devices, *ports.out);
    return kExitUpdated;
  }
  return RunUpdate(options, ports);
}

std::optional<int> ReadCommandLine(const std::vector<std::string>& args, Options* options,
                                   std::ostream& out, std::ostream& err) {
  std::string text;
  switch (ParseCommandLine(args, options, &text)) {
    case Parsed::kHelp:
      out << text;
      return kExitUpdated;
    case Parsed::kError:
      err << "veltra-update: " << text << '\n' << kUsageHint;
      return kExitUsage;
    case Parsed::kRun:
      break;
  }
  return std::nullopt;
}

}  // namespace veltra::console

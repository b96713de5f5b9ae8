#include "veltra-bench/bench_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>

#include "sim/fault_names.h"

namespace veltra::bench {

const std::vector<RouteInfo> kRoutes = {
    {"dfu",
     "a camera already in update mode (7E51:DF00 or DF01), started directly as the update "
     "command does; the default without a route"},
    {"generic", "a generic camera (7E51:C1D0): mode switch, DFU download, back with its serial"},
    {"pesca", "a Pesca camera (7E51:C123): update mode DF01, a type 1 or 2 image in two passes"},
    {"tarsa", "a Tarsa camera (7E51:C05C): fallback to update mode DF00, DFU download"},
    {"cx3", "a CX3 camera (04B4:00C3): erase, FX3 boot ROM, boot image, DFU download"},
    {"nxp", "an NXP-based camera (7E51:C2A0): RT1060 ROM, flash loader, MCU-Bootloader download"},
    {"mirel", "a Mirel camera (7E51:C181): the Sunplus library's download"},
};

namespace {

constexpr unsigned long kMaxFaultIndex = 1000000;
constexpr int kMaxBusyPolls = 100000;
constexpr std::size_t kMaxSerialChars = sim::VirtualDevice::kMaxSerialChars;
constexpr const char* kUpdateModeAlias = "update-mode";

// A whole decimal number within [0, limit].
bool ParseIndex(const std::string& text, unsigned long limit, unsigned long* value) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), ::isdigit)) {
    return false;
  }
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || parsed > limit) {
    return false;
  }
  *value = parsed;
  return true;
}

// What every route takes: the file, a fault, the traffic log, quiet output.
struct Binding {
  Options* options = nullptr;
  std::string pid;
  std::string serial;
  std::string fault;
  std::string end = "answer";
  int state = 2;
  std::string updateModeSerial;
  std::string loaderHid;
  int driverInstallSeconds = -1;
  std::string returnPort;
};

// The values of --end, in the order of sim::DownloadEnd.
const std::vector<std::pair<std::string, sim::DownloadEnd>> kDownloadEnds = {
    {"answer", sim::DownloadEnd::kAnswerThenRestart},
    {"at-once", sim::DownloadEnd::kRestartAtOnce},
    {"during-zlp", sim::DownloadEnd::kRestartDuringZeroLength},
    {"error", sim::DownloadEnd::kErrorState},
    {"no-boot", sim::DownloadEnd::kRestartIntoUpdateMode},
};
constexpr std::uint32_t kMaxLoaderEraseMs = 30000;

void AddCommon(CLI::App* app, Binding* bind, bool fileRequired) {
  auto* file = app->add_option("FILE", bind->options->firmwarePath, "the firmware file to write");
  if (fileRequired) {
    file->required();
  }
  app->add_option("--fault", bind->fault,
                  std::string("a fault of the camera: KIND@INDEX, KIND one of ") +
                      sim::kFaultKindList +
                      ", INDEX the camera's transfer from the start of "
                      "the update, from 0");
  app->add_option(
         "--end", bind->end,
         "how the camera ends a DFU download: answer (answers the status read after the "
         "zero-length request, then restarts), at-once (restarts without answering it), "
         "during-zlp (restarts during the zero-length request), error (answers dfuERROR "
         "and keeps its firmware), no-boot (restarts at once, but the image does not start: "
         "back in its update mode)")
      ->check(CLI::IsMember({"answer", "at-once", "during-zlp", "error", "no-boot"}))
      ->default_str("answer");
  app->add_flag("--unpaced", bind->options->unpaced,
                "the camera does not need its pauses (status reads 20 ms apart, MCU chunks and "
                "the block after the erase 50 ms, the MCU verify 10 s, NXP data 50 ms)");
  app->add_option("--loader-erase-ms", bind->options->loaderEraseMs,
                  "how long the NXP flash loader's erase of the image region takes")
      ->check(CLI::Range(0U, kMaxLoaderEraseMs))
      ->default_str("30000");
  app->add_option("--log", bind->options->logPath,
                  "the USB traffic log, JSON Lines (its folder is created)");
  app->add_flag("--quiet", bind->options->quiet,
                "print only message boxes, dialogs and the result");
  app->add_option("--update-mode-serial", bind->updateModeSerial,
                  "the serial the camera's update modes report: its own, none, or one fixed "
                  "serial of its family")
      ->check(CLI::IsMember({"own", "none", "family"}))
      ->default_str("family");
  app->add_option("--loader-hid", bind->loaderHid,
                  "whether a second handle opens on the flash loader's HID device the camera "
                  "library holds")
      ->check(CLI::IsMember({"shared", "held"}))
      ->default_str("held");
  app->add_option("--driver-install", bind->driverInstallSeconds,
                  "seconds a new identity arrives late while Windows installs its driver (on "
                  "this runner's bench, whose devices return at once, it has no effect)")
      ->check(CLI::Range(0, 50))
      ->default_str("50");
  app->add_option("--return-port", bind->returnPort,
                  "where the camera's boot and update modes arrive: its own port, or the "
                  "connector's USB 2 companion port")
      ->check(CLI::IsMember({"same", "companion"}))
      ->default_str("companion");
}

// The switches the command line gave, over the bench's defaults.
void ApplyUnknowns(const Binding& bind, sim::Unknowns* unknowns) {
  if (bind.updateModeSerial == "own") {
    unknowns->updateModeSerial = sim::UpdateModeSerial::kCameraSerial;
  } else if (bind.updateModeSerial == "none") {
    unknowns->updateModeSerial = sim::UpdateModeSerial::kNone;
  } else if (bind.updateModeSerial == "family") {
    unknowns->updateModeSerial = sim::UpdateModeSerial::kFamilySerial;
  }
  if (!bind.loaderHid.empty()) {
    unknowns->exclusiveLoaderHid = bind.loaderHid == "held";
  }
  if (bind.driverInstallSeconds >= 0) {
    unknowns->driverInstallMs = static_cast<std::uint32_t>(bind.driverInstallSeconds) * 1000U;
  }
  if (!bind.returnPort.empty()) {
    unknowns->companionPortInBootModes = bind.returnPort == "companion";
  }
}

void AddDirect(CLI::App* app, Binding* bind) {
  app->add_option("--pid", bind->pid, "the camera's product ID in update mode")
      ->check(CLI::IsMember({"DF00", "DF01"}, CLI::ignore_case))
      ->default_str("DF00");
  app->add_option("--state", bind->state, "the device state it starts in (2 dfuIDLE)")
      ->check(CLI::Range(0, 255))
      ->default_str("2");
  app->add_option("--busy-polls", bind->options->busyPolls,
                  "status reads answered busy after each block")
      ->check(CLI::Range(0, kMaxBusyPolls))
      ->default_str("1");
  app->add_option("--serial", bind->serial, "the camera's USB serial, up to 126 characters")
      ->check(CLI::Validator(
          [](std::string& text) {
            return text.size() <= kMaxSerialChars ? std::string()
                                                  : std::string("at most 126 characters");
          },
          ""));
}

}  // namespace

bool ParseFault(const std::string& text, sim::FaultPlan* plan, std::string* error) {
  const auto at = text.find('@');
  unsigned long index = 0;
  sim::FaultKind kind = sim::FaultKind::kNone;
  if (at != std::string::npos && sim::FaultKindByName(text.substr(0, at), &kind) &&
      ParseIndex(text.substr(at + 1), kMaxFaultIndex, &index)) {
    *plan = sim::FaultPlan{kind, static_cast<int>(index)};
    return true;
  }
  *error = "--fault '" + text + "': expected KIND@INDEX with KIND one of " + sim::kFaultKindList +
           " and INDEX a number from 0, e.g. short@12";
  return false;
}

Parsed ParseCommandLine(const std::vector<std::string>& args, Options* options, std::string* text) {
  std::string footer;
  footer +=
      "\nA route's own options: veltra-bench ROUTE --help. Without a route, FILE and the dfu\n"
      "options (--pid, --state, --busy-polls, --serial) run the dfu route.\n"
      "\nEach run ends by comparing what the camera holds with the bench's own reading of the\n"
      "file: \"equals\" or \"differs\". Exit status: 0 the update succeeded and the camera holds\n"
      "the file, 1 the update failed or the camera differs, 2 a bad command line or file.\n";
  CLI::App app{
      "Runs one update of the program on the virtual camera bench, headless, and says\n"
      "what the camera holds afterwards.",
      "veltra-bench"};
  app.footer(footer);
  app.require_subcommand(0, 1);
  Binding bind;
  bind.options = options;
  AddCommon(&app, &bind, false);
  AddDirect(&app, &bind);
  for (const RouteInfo& route : kRoutes) {
    CLI::App* sub = app.add_subcommand(route.name, route.what);
    AddCommon(sub, &bind, true);
    if (std::string(route.name) == kDirectRoute) {
      sub->alias(kUpdateModeAlias);
      AddDirect(sub, &bind);
    } else if (std::string(route.name) == "cx3") {
      sub->add_option("--boot-image", options->bootImagePath,
                      "the FX3 boot image the program loads (default: the example one)")
          ->check(CLI::ExistingFile);
    } else if (std::string(route.name) == "nxp") {
      sub->add_option("--flash-loader", options->flashLoaderPath,
                      "the RT1060 flash loader the program sends (default: the example one)")
          ->check(CLI::ExistingFile);
    }
  }
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *text = app.help();
    return Parsed::kHelp;
  } catch (const CLI::ParseError& error) {
    *text = error.what();
    return Parsed::kError;
  }
  for (const RouteInfo& route : kRoutes) {
    if (app.got_subcommand(route.name)) {
      options->route = route.name;
    }
  }
  if (options->firmwarePath.empty()) {
    *text = "no firmware file given (veltra-bench FILE, or veltra-bench ROUTE FILE; see --help)";
    return Parsed::kError;
  }
  if (!bind.pid.empty()) {
    options->pid = static_cast<std::uint16_t>(std::strtoul(bind.pid.c_str(), nullptr, 16));
  }
  options->startState = static_cast<std::uint8_t>(bind.state);
  if (!bind.serial.empty()) {
    options->serial = std::wstring(bind.serial.begin(), bind.serial.end());
  }
  ApplyUnknowns(bind, &options->unknowns);
  if (!bind.fault.empty() && !ParseFault(bind.fault, &options->fault, text)) {
    return Parsed::kError;
  }
  for (const auto& [name, end] : kDownloadEnds) {
    if (bind.end == name) {
      options->downloadEnd = end;
    }
  }
  return Parsed::kRun;
}

sim::DfuEngine::Config EngineConfig(const Options& options) {
  sim::DfuEngine::Config config;
  config.downloadEnd = options.downloadEnd;
  if (options.unpaced) {
    config.pacing = sim::Pacing::None();
  }
  return config;
}

}  // namespace veltra::bench

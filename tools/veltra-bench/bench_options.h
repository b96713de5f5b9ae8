// Command line of veltra-bench (CLI11). One command per update route:
//
//   veltra-bench FILE [--pid DF00|DF01] [--state N] [--busy-polls N] [--serial TEXT] [common]
//   veltra-bench dfu FILE ...        the same: a camera already in update mode (alias update-mode)
//   veltra-bench generic|pesca|tarsa|mirel FILE [common]
//   veltra-bench cx3 FILE [--boot-image FILE] [common]
//   veltra-bench nxp FILE [--flash-loader FILE] [common]
//
//   common: [--fault KIND@INDEX] [--log FILE.jsonl] [--quiet]
//           [--end answer|at-once|during-zlp|error|no-boot] [--unpaced] [--loader-erase-ms N]
//           [--update-mode-serial own|none|family] [--loader-hid shared|held]
//           [--driver-install SECONDS] [--return-port same|companion]
//
// KIND is one of sim/fault_names.h; INDEX counts the camera's transfers from the start of the
// update, from 0 (see docs/bench.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/dfu_engine.h"
#include "sim/virtual_device.h"

namespace veltra::bench {

// The routes by name, with what each one shows, in the order --help lists them.
struct RouteInfo {
  const char* name;
  const char* what;
};
extern const std::vector<RouteInfo> kRoutes;
constexpr const char* kDirectRoute = "dfu";

struct Options {
  std::string route = kDirectRoute;
  std::string firmwarePath;
  std::uint8_t startState = 2;  // dfuIDLE
  std::uint16_t pid = 0xDF00;
  std::wstring serial = L"ABC1234567";
  int busyPolls = 1;
  sim::FaultPlan fault;
  // The bench's switches of the camera (docs/bench.md): how it ends a DFU download, whether it
  // needs its pauses, how long the NXP flash loader's erase of the image region takes.
  sim::DownloadEnd downloadEnd = sim::DownloadEnd::kAnswerThenRestart;
  bool unpaced = false;
  std::uint32_t loaderEraseMs = 30000;
  std::string logPath;
  bool quiet = false;
  std::string bootImagePath;    // cx3: empty = the example boot image
  std::string flashLoaderPath;  // nxp: empty = the example flash loader
  // What nothing documents about the camera (--update-mode-serial, --loader-hid,
  // --driver-install, --return-port); the bench's harsh defaults unless given.
  sim::Unknowns unknowns;
};

// The DFU engine's configuration those switches make.
sim::DfuEngine::Config EngineConfig(const Options& options);

// Parses "short@12" and the like. False with a message in *error on anything else.
bool ParseFault(const std::string& text, sim::FaultPlan* plan, std::string* error);

enum class Parsed { kRun, kHelp, kError };
// kHelp: *text is the usage; kError: *text names the problem.
Parsed ParseCommandLine(const std::vector<std::string>& args, Options* options, std::string* text);

}  // namespace veltra::bench

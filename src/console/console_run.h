// One run of the console program once its command line is read: the listing, or the update of
// the chosen cameras one at a time with progress lines, the report and the exit code.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/update_driver.h"
#include "platform/sha256.h"

namespace veltra::console {

struct RunPorts {
  UpdateDriver* driver = nullptr;
  Sha256Port* sha256 = nullptr;
  // Seconds on the program's clock, for the report's time per camera.
  std::function<double()> seconds;
  // Set by Ctrl+C: the camera being written is finished, the rest are skipped.
  const std::atomic<bool>* stop = nullptr;
  std::ostream* out = nullptr;  // the listing, and the run's summary
  std::ostream* err = nullptr;  // progress, refusals and errors
};

// The program's version, as the report names it.
const char* ProgramVersion();

int RunConsole(const Options& options, const RunPorts& ports);

// Reads the command line into *options. Help goes to out and a command-line error (with the usage)
// to err; both end the program with the exit code returned. No value: the run goes on.
std::optional<int> ReadCommandLine(const std::vector<std::string>& args, Options* options,
                                   std::ostream& out, std::ostream& err);

// The usage line printed after a command-line error.
constexpr const char* kUsageHint =
    "usage: veltra-update --list [--json]\n"
    "       veltra-update FILE [--camera SERIAL]... [--port PORT]... [--all] [--yes]\n"
    "                     [--report FILE.json] [--log FILE] [--quiet]\n";

}  // namespace veltra::console

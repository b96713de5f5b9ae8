#include "console/command_line.h"

#include <CLI/CLI.hpp>

namespace veltra::console {

namespace {

constexpr const char* kProgramName = "veltra-update";
constexpr const char* kDescription =
    "Updates the firmware of the cameras connected to this computer, unattended.\n"
    "Exit codes: 4 refused before anything was written, 3 no matching camera, 2 usage or a file "
    "that cannot be read, 1 a camera failed or was skipped, 0 every chosen camera updated.";

}  // namespace

Parsed ParseCommandLine(const std::vector<std::string>& args, Options* options, std::string* text) {
  Options parsed;
  CLI::App app(kDescription, kProgramName);
  app.add_flag("--list", parsed.list, "list every device found, and change nothing");
  app.add_flag("--json", parsed.json, "with --list: the list as JSON");
  app.add_option("FILE", parsed.file, "the firmware file");
  app.add_option("--camera", parsed.cameras, "a camera to update, by its serial (repeatable)")
      ->type_name("SERIAL")
      ->allow_extra_args(false);
  app.add_option("--port", parsed.ports, "a device to update, by its USB port (repeatable)")
      ->type_name("PORT")
      ->allow_extra_args(false);
  app.add_flag("--all", parsed.all, "every camera the file is named for");
  app.add_flag("--yes", parsed.yes, "send the file also to a camera it is not named for");
  app.add_option("--report", parsed.reportPath, "write a JSON report of the run")
      ->type_name("FILE.json");
  app.add_option("--log", parsed.logPath, "write the trace of the run")->type_name("FILE");
  app.add_flag("-q,--quiet", parsed.quiet, "no progress lines");

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    *text = app.help();
    return Parsed::kHelp;
  } catch (const CLI::ParseError& error) {
    *text = error.what();
    return Parsed::kError;
  }
  const bool updating = !parsed.cameras.empty() || !parsed.ports.empty() || parsed.all ||
                        parsed.yes || !parsed.reportPath.empty();
  if (parsed.list) {
    if (!parsed.file.empty() || updating) {
      *text = "--list takes no file and no update options";
      return Parsed::kError;
    }
  } else if (parsed.json) {
    *text = "--json goes with --list";
    return Parsed::kError;
  } else if (parsed.file.empty()) {
    *text = "a firmware file is needed (or --list)";
    return Parsed::kError;
  }
  *options = std::move(parsed);
  return Parsed::kRun;
}

}  // namespace veltra::console

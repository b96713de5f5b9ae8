// The console program's command line:
//   veltra-update --list [--json]
//   veltra-update FILE [--camera SERIAL]... [--port PORT]... [--all] [--yes] [--report FILE.json]
//                 [--log FILE] [--quiet]
#pragma once

#include <string>
#include <vector>

namespace veltra::console {

struct Options {
  bool list = false;
  bool json = false;
  std::string file;
  std::vector<std::string> cameras;  // serials
  std::vector<std::string> ports;    // USB ports, as --list shows them
  bool all = false;
  bool yes = false;
  bool quiet = false;
  std::string reportPath;
  std::string logPath;
};

enum class Parsed { kRun, kHelp, kError };

// kHelp: *text is the help; kError: *text says what is wrong.
Parsed ParseCommandLine(const std::vector<std::string>& args, Options* options, std::string* text);

}  // namespace veltra::console

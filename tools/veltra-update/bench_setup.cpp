#include "veltra-update/bench_setup.h"

#include <cstdlib>
#include <sstream>

namespace veltra::update_bench {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

}  // namespace

bool SetupFromTexts(const std::string& cameras, const std::string& commands,
                    const std::string& traffic, BenchSetup* setup, std::string* error) {
  BenchSetup made;
  if (!demo::ParseRoster(cameras.empty() ? kDefaultCameras : cameras, &made.roster, error)) {
    return false;
  }
  std::istringstream list(commands);
  std::string text;
  while (std::getline(list, text, ';')) {
    if (text.find_first_not_of(" \t") == std::string::npos) {
      continue;
    }
    demo::BenchCommand command;
    if (!demo::ParseBenchCommand(text, &command, error)) {
      return false;
    }
    if (command.camera >= made.roster.size()) {
      *error = "no camera " + std::to_string(command.camera) + " on the bench";
      return false;
    }
    made.commands.push_back(command);
  }
  made.trafficLogPath = traffic;
  *setup = std::move(made);
  return true;
}

bool SetupFromEnvironment(BenchSetup* setup, std::string* error) {
  return SetupFromTexts(Environment("VELTRA_UPDATE_CAMERAS"), Environment("VELTRA_UPDATE_BENCH"),
                        Environment("VELTRA_UPDATE_TRAFFIC"), setup, error);
}

}  // namespace veltra::update_bench

// The bench of a veltra-update run, from its environment, so that the program's own command line
// stays the product's:
//   VELTRA_UPDATE_CAMERAS   the cameras, in the demo's roster syntax (demo/bench_roster.h)
//   VELTRA_UPDATE_BENCH     bench commands before the run, ';'-separated ("fault 2 error@20")
//   VELTRA_UPDATE_TRAFFIC   a file for the USB traffic log
#pragma once

#include <string>

#include "veltra-update/bench_driver.h"

namespace veltra::update_bench {

constexpr char kDefaultCameras[] = "generic,pesca,nxp";

// False (and *error says why) when a variable cannot be read.
bool SetupFromTexts(const std::string& cameras, const std::string& commands,
                    const std::string& traffic, BenchSetup* setup, std::string* error);
bool SetupFromEnvironment(BenchSetup* setup, std::string* error);

}  // namespace veltra::update_bench

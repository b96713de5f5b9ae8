// Command line of veltra-bench.
//
//   veltra-bench <firmware file> [--route dfu] [--state N] [--pid DF00|DF01] [--serial TEXT]
//                [--busy-polls N] [--fault KIND@INDEX] [--log FILE.jsonl] [--quiet]
//
// KIND is one of error, short, stuck, error-state, disconnect; INDEX counts the camera's transfers
// from 0 (see docs/bench.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/virtual_device.h"

namespace veltra::bench {

struct Options {
  std::string firmwarePath;
  std::string route = "dfu";
  std::uint8_t startState = 2;  // dfuIDLE
  std::uint16_t pid = 0xDF00;
  std::wstring serial = L"ABC1234567";
  int busyPolls = 1;
  sim::FaultPlan fault;
  std::string logPath;
  bool quiet = false;
};

// Parses "short@12" and the like. False with a message in *error on anything else.
bool ParseFault(const std::string& text, sim::FaultPlan* plan, std::string* error);
// False with a message in *error (the usage is the caller's to print).
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);
const char* Usage();

}  // namespace veltra::bench

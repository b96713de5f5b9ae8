#include "veltra-bench/bench_options.h"

#include <cstdlib>

namespace veltra::bench {

namespace {

struct FaultName {
  const char* name;
  sim::FaultKind kind;
};
constexpr FaultName kFaultNames[] = {
    {"error", sim::FaultKind::kTransferError},   {"short", sim::FaultKind::kShortTransfer},
    {"stuck", sim::FaultKind::kStuckState},      {"error-state", sim::FaultKind::kErrorState},
    {"disconnect", sim::FaultKind::kDisconnect}, {"timeout", sim::FaultKind::kTimeout}};

// A whole decimal or 0x-hexadecimal number within [0, limit].
bool ParseNumber(const std::string& text, unsigned long limit, unsigned long* value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0' || text[0] == '-' || parsed > limit) {
    return false;
  }
  *value = parsed;
  return true;
}

}  // namespace

const char* Usage() {
  return "usage: veltra-bench <firmware file> [--route dfu] [--state N] [--pid DF00|DF01]\n"
         "                    [--serial TEXT] [--busy-polls N] [--fault KIND@INDEX]\n"
         "                    [--log FILE.jsonl] [--quiet]\n"
         "  KIND: error, short, stuck, error-state, disconnect, timeout; INDEX: the camera's "
         "transfer\n"
         "  number, counted from 0\n";
}

bool ParseFault(const std::string& text, sim::FaultPlan* plan, std::string* error) {
  const auto at = text.find('@');
  unsigned long index = 0;
  if (at != std::string::npos && ParseNumber(text.substr(at + 1), 1000000, &index)) {
    const std::string kind = text.substr(0, at);
    for (const auto& entry : kFaultNames) {
      if (kind == entry.name) {
        *plan = sim::FaultPlan{entry.kind, static_cast<int>(index)};
        return true;
      }
    }
  }
  *error = "bad fault '" + text + "': expected KIND@INDEX, e.g. short@12";
  return false;
}

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    const std::string value = hasValue ? args[i + 1] : std::string();
    unsigned long number = 0;
    if (arg == "--quiet") {
      options->quiet = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (!options->firmwarePath.empty()) {
        *error = "only one firmware file, please: '" + arg + "'";
        return false;
      }
      options->firmwarePath = arg;
      continue;
    }
    if (!hasValue) {
      *error = arg + " needs a value";
      return false;
    }
    ++i;
    if (arg == "--route") {
      if (value != "dfu") {
        *error = "unknown route '" + value + "' (this version knows: dfu)";
        return false;
      }
      options->route = value;
    } else if (arg == "--state") {
      if (!ParseNumber(value, 255, &number)) {
        *error = "--state takes a device state 0-255";
        return false;
      }
      options->startState = static_cast<std::uint8_t>(number);
    } else if (arg == "--pid") {
      if (!ParseNumber("0x" + value, 0xFFFF, &number)) {
        *error = "--pid takes four hex digits, e.g. DF01";
        return false;
      }
      options->pid = static_cast<std::uint16_t>(number);
    } else if (arg == "--serial") {
      options->serial = std::wstring(value.begin(), value.end()).substr(0, 10);
    } else if (arg == "--busy-polls") {
      if (!ParseNumber(value, 100000, &number)) {
        *error = "--busy-polls takes a count";
        return false;
      }
      options->busyPolls = static_cast<int>(number);
    } else if (arg == "--fault") {
      if (!ParseFault(value, &options->fault, error)) {
        return false;
      }
    } else if (arg == "--log") {
      options->logPath = value;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  if (options->firmwarePath.empty()) {
    *error = "no firmware file given";
    return false;
  }
  return true;
}

}  // namespace veltra::bench

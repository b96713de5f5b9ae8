// The console program's exit codes. Where several apply, the highest wins, so a caller that
// tests one threshold (non-zero, or >= 2) reads the worst thing that happened.
#pragma once

#include <algorithm>

#include "console/update_driver.h"

namespace veltra::console {

constexpr int kExitUpdated = 0;   // every chosen camera updated
constexpr int kExitFailed = 1;    // at least one camera failed or was skipped
constexpr int kExitUsage = 2;     // usage, or a file that cannot be read
constexpr int kExitNoCamera = 3;  // no matching camera
constexpr int kExitRefused = 4;   // refused before anything was written (or access denied)

class ExitStatus {
 public:
  void Raise(int code) { code_ = std::max(code_, code); }
  int code() const { return code_; }

 private:
  int code_ = kExitUpdated;
};

constexpr int ExitCodeOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::kUpdated:
      return kExitUpdated;
    case Outcome::kRefused:
    case Outcome::kAccessDenied:
      return kExitRefused;
    case Outcome::kFailed:
    case Outcome::kUnconfirmed:
    case Outcome::kSkipped:
      break;
  }
  return kExitFailed;
}

}  // namespace veltra::console

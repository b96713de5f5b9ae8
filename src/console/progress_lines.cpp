#include "console/progress_lines.h"

namespace veltra::console {

namespace {
constexpr int kTenth = 10;
}

void ProgressLines::Begin(const std::string& label) {
  label_ = label;
  phase_.clear();
  tenth_ = -1;
}

void ProgressLines::Step(const ProgressStep& step) {
  if (quiet_) {
    return;
  }
  if (!step.phase.empty() && step.phase != phase_) {
    phase_ = step.phase;
    err_ << label_ << ": " << phase_ << '\n';
  }
  if (step.percent >= 0) {
    const int tenth = (step.percent > 100 ? 100 : step.percent) / kTenth;
    if (tenth > tenth_) {
      tenth_ = tenth;
      err_ << label_ << ": " << tenth * kTenth << "%\n";
    }
  }
}

void ProgressLines::Say(const std::string& text) {
  if (quiet_) {
    return;
  }
  // One line: the program's line breaks show as " / ".
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    line += (text[i] == '\n' || text[i] == '\r') ? std::string(" / ") : std::string(1, text[i]);
  }
  err_ << label_ << ": " << line << '\n';
}

}  // namespace veltra::console

// Progress on stderr: one line when the program's step changes and one per tenth of the download,
// each led by the camera it is about; nothing when quiet.
#pragma once

#include <ostream>
#include <string>

#include "console/update_driver.h"

namespace veltra::console {

class ProgressLines {
 public:
  ProgressLines(std::ostream& err, bool quiet) : err_(err), quiet_(quiet) {}

  // A new camera: its lines are led by label, and its steps start afresh.
  void Begin(const std::string& label);
  void Step(const ProgressStep& step);
  // A line of its own (the camera's result).
  void Say(const std::string& text);

 private:
  std::ostream& err_;
  bool quiet_;
  std::string label_;
  std::string phase_;
  int tenth_ = -1;
};

}  // namespace veltra::console

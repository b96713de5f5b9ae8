// The routes that run the whole program: a camera of one family is plugged in before the program
// starts, the program's own dialog procedures find it at start-up, and a person at the desk (the
// console dialog) browses to the file, presses F/W UPDATE and OK; every device change of the
// camera's mode switches reaches the dialog as it would on Windows. At the end the route compares
// what the camera holds with the bench's own reading of the file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/cameras/camera_device.h"
#include "veltra-bench/bench_session.h"

namespace veltra::bench {

class ProgramRoute : public Route {
 public:
  explicit ProgramRoute(std::string name);
  ~ProgramRoute() override;
  const char* Name() const override { return name_.c_str(); }
  bool Prepare(Session& session) override;
  int Run(Session& session) override;
  bool Report(Session& session) override;

 private:
  bool PlaceLoaderFiles(Session& session);
  bool ReportDfuFlash(Session& session, const sim::DfuFlash& flash, bool twoPasses);

  std::string name_;
  std::string folder_;  // where the program "lives", with its loader files beside it
  std::shared_ptr<sim::CameraDevice> camera_;
  // What the camera holds, read by the route that knows the camera's kind.
  std::function<bool(Session&)> report_;
};

}  // namespace veltra::bench

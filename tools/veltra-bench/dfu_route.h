// The DFU route of veltra-bench: a camera found in DFU mode (7E51:DF00 or DF01) is opened as the
// update command's direct DFU start does, and the update worker runs against it: state change,
// engine, zero-length end. A combined image that goes in two passes gets its second run when the
// camera comes back, as the device-change handling would start it.
#pragma once

#include <memory>
#include <vector>

#include "dfu/download_engines.h"
#include "sim/dfu_camera.h"
#include "veltra-bench/bench_session.h"

namespace veltra::bench {

class DfuRoute : public Route {
 public:
  const char* Name() const override { return "dfu"; }
  bool Prepare(Session& session) override;
  int Run(Session& session) override;
  bool Report(Session& session) override;

 private:
  bool Open(Session& session);
  bool SecondPartPending(Session& session) const;

  std::shared_ptr<sim::DfuCamera> camera_;
  std::vector<DownloadPass> passes_;  // the DoDownload pass of each worker run
};

}  // namespace veltra::bench

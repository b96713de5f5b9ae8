#include "support/bench_fixture.h"

#include "app/dialog_observer.h"
#include "core/app_state.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"

namespace veltra::test {

BenchTest::BenchTest() : system_(std::make_unique<sim::SimSystem>(clock_)) {
  ResetAppState();
  ResetDeviceTable();
  ConnectToDialog(CurrentUpdate());
  Ports set;
  set.system = system_.get();
  set.dialog = &dialog_;
  set.hidInput = &hidInput_;
  InstallPorts(set);
}

BenchTest::~BenchTest() {
  system_->JoinAllThreads();
  InstallPorts(Ports{});
}

}  // namespace veltra::test

#include "support/bench_fixture.h"

#include "app/app_state.h"

namespace veltra::test {

BenchTest::BenchTest() : system_(std::make_unique<sim::SimSystem>(clock_)) {
  ResetAppState();
  Ports set;
  set.system = system_.get();
  set.dialog = &dialog_;
  InstallPorts(set);
}

BenchTest::~BenchTest() {
  system_->JoinAllThreads();
  InstallPorts(Ports{});
}

}  // namespace veltra::test

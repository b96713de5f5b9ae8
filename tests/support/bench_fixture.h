// Test fixture: a fresh process state and the bench's ports for every test. Tests that need more
// of the bench (devices on the bus, the headless dialog) extend it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ports.h"
#include "sim/bus.h"
#include "sim/sim_hid_input.h"
#include "sim/sim_system.h"
#include "sim/virtual_clock.h"
#include "support/headless_dialog.h"

namespace veltra::test {

class BenchTest : public ::testing::Test {
 protected:
  BenchTest();
  ~BenchTest() override;

  // True when some captured trace line contains the fragment.
  bool Traced(const std::wstring& fragment) const { return system_->TraceContains(fragment); }

  sim::VirtualClock clock_{0.0};
  std::unique_ptr<sim::SimSystem> system_;
  sim::Bus bus_;
  sim::SimHidInput hidInput_{bus_};
  HeadlessDialog dialog_;
};

}  // namespace veltra::test

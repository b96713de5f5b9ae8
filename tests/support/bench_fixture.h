// Test fixture: a fresh program start and the bench's ports for every test, with the user's side
// of the headless dialog (commands, Browse, what the dialog shows). Tests that need more of the
// bench (devices on the bus, the program's dialog procedures) extend it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/shown_controls.h"
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

  // The user at the dialog: a command, Browse with the given file chosen, F/W UPDATE and OK in
  // the confirmation dialog.
  std::intptr_t Command(int id, std::uint16_t notification = 0);
  void Browse(const std::wstring& path);
  void UpdateAndConfirm();
  std::vector<std::wstring> BoxTexts() const;
  bool Visible(int id) const { return shown_.Item(id).visible; }
  bool Enabled(int id) const { return shown_.Item(id).enabled; }
  std::wstring Text(int id) const { return shown_.Item(id).text; }
  std::vector<std::wstring> Entries() const { return shown_.Entries(); }
  // wParams of the messages of one kind the program sent to the dialog.
  std::vector<std::uintptr_t> Sent(std::uint32_t message) const;

  sim::VirtualClock clock_{0.0};
  std::unique_ptr<sim::SimSystem> system_;
  sim::Bus bus_;
  sim::SimHidInput hidInput_{bus_};
  HeadlessDialog dialog_;
  // What the user sees of the controls: the program's dialog port, in front of dialog_.
  ShownControls shown_{dialog_};
};

}  // namespace veltra::test

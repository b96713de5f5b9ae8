#include "support/bench_fixture.h"

#include "app/dialog_observer.h"
#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "core/window_messages.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "loaders/sunplus_download.h"

namespace veltra::test {

BenchTest::BenchTest() : system_(std::make_unique<sim::SimSystem>(clock_)) {
  Ports set;
  set.system = system_.get();
  set.dialog = &shown_;
  set.hidInput = &hidInput_;
  InstallPorts(set);
  // Every test is a fresh start of the program. The session is process-wide in the program, which
  // starts once and connects it to its dialog at start-up; here many tests share one process, so
  // the fixture stands in for that start: it clears what an earlier test left (the Sunplus
  // library's state without calling the library, as no vendor port is installed yet) and
  // connects the session to this test's dialog.
  Controller().Reset();
  InstallDeviceRules(nullptr);
  ResetSunplusState(Controller().Session());
  ConnectToDialog(Controller().Session());
}

BenchTest::~BenchTest() {
  system_->JoinAllThreads();
  InstallDeviceRules(nullptr);
  InstallPorts(Ports{});
}

std::intptr_t BenchTest::Command(int id, std::uint16_t notification) {
  return dialog_.Dispatch(kWmCommand, CommandParam(id, notification));
}

void BenchTest::Browse(const std::wstring& path) {
  dialog_.QueueOpenFile(path);
  Command(IDC_BTN_BROWSE);
}

void BenchTest::UpdateAndConfirm() {
  dialog_.QueueModalCommand(IDD_CONFIRM_DIALOG, IDC_BTN_CONFIRM_OK);
  Command(IDC_BTN_FW_UPDATE);
}

std::vector<std::wstring> BenchTest::BoxTexts() const {
  std::vector<std::wstring> texts;
  for (const auto& box : dialog_.MessageBoxes()) {
    texts.push_back(box.text);
  }
  return texts;
}

std::vector<std::uintptr_t> BenchTest::Sent(std::uint32_t message) const {
  std::vector<std::uintptr_t> params;
  for (const auto& sent : dialog_.Messages()) {
    if (sent.message == message) {
      params.push_back(sent.wParam);
    }
  }
  return params;
}

}  // namespace veltra::test

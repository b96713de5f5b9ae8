#include "scenario_fixture.h"

#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "app/refresher.h"
#include "app_fixture.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/window_messages.h"
#include "loaders/sunplus_download.h"
#include "platform/ports.h"

namespace veltra::test {

const fwgen::Version ScenarioTest::kNewVersion{2, 1, 7, 3};
const std::wstring kSuccessText =
    L"Firmware Downloaded Successfully!\r\nDonot Reset the Device.\r\nDevice will boot "
    L"automatically after completing firmware update!";

namespace {
constexpr std::chrono::seconds kSettleLimit{20};
}

ScenarioTest::ScenarioTest() {
  Ports set = ports();
  set.usb = &log_;
  log_.SetEntryHook([this] { arrivals_.DeliverHeld(); });
  set.camera = &library_;
  set.discovery = &discovery_;
  set.vendor = &vendor_;
  InstallPorts(set);
  ResetSunplusState(CurrentUpdate());
  InstallProgramDialogs(dialog_);

  // The program lives in the test's folder, with the two loader files beside it.
  folder_ = TestTempDir();
  system_->SetExecutableFolder(folder_);
  for (const auto& file : fwgen::ExampleFiles(kNewVersion)) {
    if (file.name == "bootloader.img" || file.name == "RT1060_Flashloader_nopadding.bin") {
      WriteTempFile(file.name, file.bytes);
    }
  }
}

ScenarioTest::~ScenarioTest() {
  log_.SetEntryHook({});
  arrivals_.TakeBack();
  StopUpdateUIThread();
  system_->JoinAllThreads();
  ResetSunplusState(CurrentUpdate());
}

void ScenarioTest::StartProgram() {
  dialog_.Dispatch(kWmInitDialog);
  Settle();
}

void ArrivalPoint::Hold(std::deque<DeviceChange> changes) {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = std::move(changes);
}

std::deque<DeviceChange> ArrivalPoint::TakeBack() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(held_, {});
}

void ArrivalPoint::DeliverHeld() {
  if (std::this_thread::get_id() == dialogThread_) {
    return;  // the dialog thread handles notifications only when it pumps
  }
  std::deque<DeviceChange> changes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changes.swap(held_);
  }
  for (DeviceChange change : changes) {
    dialog_.SendToDialog(kWmDeviceChange, change.event, reinterpret_cast<std::intptr_t>(&change));
  }
}

void ScenarioTest::Settle() {
  const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
  // The refresher thread stays, and so does an update worker that shows the Warning dialog (it
  // waits for the camera or the timeout); every other thread of the program is waited for.
  const auto idle = [this] {
    const int staying =
        (g_hUIThread != 0 ? 1 : 0) + (dialog_.IsModalOpen(IDD_WARNING_DIALOG) ? 1 : 0);
    return system_->RunningThreads() <= staying;
  };
  std::deque<DeviceChange> pending;
  for (;;) {
    if (!dialog_.PumpUntil(idle, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now()))) {
      ADD_FAILURE() << "the program's threads did not finish";
      return;
    }
    // HID arrivals no transfer took come now, before anything raised since.
    std::deque<DeviceChange> untaken = arrivals_.TakeBack();
    pending.insert(pending.begin(), untaken.begin(), untaken.end());
    for (const DeviceChange& change : discovery_.TakeEvents()) {
      pending.push_back(change);
    }
    if (pending.empty()) {
      return;
    }
    DeviceChange change = pending.front();
    pending.pop_front();
    const auto isHidArrival = [](const DeviceChange& c) {
      return c.event == kDbtDeviceArrival && c.cls == DeviceInterfaceClass::kHid;
    };
    std::deque<DeviceChange> hidArrivals;
    if (!simpleOrder_ && change.event == kDbtDeviceArrival &&
        change.cls == DeviceInterfaceClass::kUsbDevice) {
      while (!pending.empty() && isHidArrival(pending.front())) {
        hidArrivals.push_back(pending.front());
        pending.pop_front();
      }
    }
    arrivals_.Hold(std::move(hidArrivals));
    dialog_.Dispatch(kWmDeviceChange, change.event, reinterpret_cast<std::intptr_t>(&change));
  }
}

std::vector<std::uint8_t> ScenarioTest::ExampleBytes(const std::string& example) const {
  for (const auto& file : fwgen::ExampleFiles(kNewVersion)) {
    if (file.name == example) {
      return file.bytes;
    }
  }
  ADD_FAILURE() << "no example file " << example;
  return {};
}

std::wstring ScenarioTest::ExampleFile(const std::string& example, const std::string& fileName) {
  return WriteTempFile(fileName, ExampleBytes(example)).path;
}

void ScenarioTest::Browse(const std::wstring& path) {
  dialog_.QueueOpenFile(path);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_BROWSE));
}

void ScenarioTest::UpdateAndConfirm() {
  dialog_.QueueModalCommand(IDD_CONFIRM_DIALOG, IDC_BTN_CONFIRM_OK);
  dialog_.Dispatch(kWmCommand, CommandParam(IDC_BTN_FW_UPDATE));
}

std::vector<std::wstring> ScenarioTest::BoxTexts() const {
  std::vector<std::wstring> texts;
  for (const auto& box : dialog_.MessageBoxes()) {
    texts.push_back(box.text);
  }
  return texts;
}

void ScenarioTest::ExpectReadyFor(const std::wstring& entry) {
  const int selected = dialog_.ComboGetCurSel();
  ASSERT_GE(selected, 0);
  ASSERT_LT(selected, static_cast<int>(Entries().size()));
  EXPECT_EQ(Entries()[static_cast<std::size_t>(selected)], entry);
  EXPECT_TRUE(Visible(IDC_STATIC_CONNECTED));
  EXPECT_FALSE(Visible(IDC_STATIC_NO_DEVICE));
  EXPECT_FALSE(Visible(IDC_PROGRESS_BAR));
  EXPECT_FALSE(Visible(IDC_STATIC_MODE_SWITCH));
  EXPECT_TRUE(Enabled(IDC_BTN_BROWSE));
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_TRUE(Enabled(IDC_COMBO_DEVICELIST));
  EXPECT_FALSE(Enabled(IDC_BTN_FW_UPDATE));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
  EXPECT_EQ(dialog_.TimedOutWaits(), 0);
}

}  // namespace veltra::test

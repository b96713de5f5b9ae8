#include "scenario_fixture.h"

#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "app/refresher.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "core/update_controller.h"
#include "core/window_messages.h"
#include "platform/ports.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {

const fwgen::Version ScenarioTest::kNewVersion{2, 1, 7, 3};
const std::string kFlashLoaderFile = "RT1060_Flashloader_nopadding.bin";

const std::wstring kSuccessText =
    L"Firmware Downloaded Successfully!\r\nDonot Reset the Device.\r\nDevice will boot "
    L"automatically after completing firmware update!";
const std::wstring kUnconfirmedText =
    L"The firmware was sent, but the camera could not confirm that it was written.\r\nPlease "
    L"read the camera's firmware version to check it, and update again if it is the old one.";

const std::wstring& SuccessTextFor(const sim::CameraDevice& camera) {
  const bool nxp = dynamic_cast<const sim::NxpCamera*>(&camera) != nullptr;
  return nxp && camera.unknowns().exclusiveLoaderHid ? kUnconfirmedText : kSuccessText;
}

namespace {
// Real time a program that hangs may take before the scenario fails; a settle takes milliseconds,
// so this only has to stay under the fault matrix's 60-second watchdog while leaving room for a
// machine loaded by other builds.
constexpr std::chrono::seconds kSettleLimit{45};
}  // namespace

ScenarioTest::ScenarioTest() {
  Ports set = ports();
  set.usb = &log_;
  bus_.SetClock(&clock_);
  clock_.SetListener([this] { AtSetPoint(); });
  log_.SetEntryHook([this] { AtSetPoint(); });
  set.camera = &library_;
  set.discovery = &discovery_;
  set.vendor = &vendor_;
  InstallPorts(set);
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
  clock_.SetListener({});
  StopUpdateUIThread();
  system_->JoinAllThreads();
}

void ScenarioTest::StartProgram() {
  dialog_.Dispatch(kWmInitDialog);
  Settle();
}

std::optional<DeviceChange> ScenarioTest::NextChange() {
  std::lock_guard<std::mutex> lock(queueMutex_);
  for (const DeviceChange& change : discovery_.TakeEvents()) {
    queued_.push_back(change);
  }
  if (queued_.empty()) {
    return std::nullopt;
  }
  DeviceChange change = queued_.front();
  queued_.pop_front();
  return change;
}

void ScenarioTest::AtSetPoint() {
  bus_.RunDue();
  // The dialog thread handles notifications only when it pumps (Settle).
  if (!simpleOrder_ && std::this_thread::get_id() != dialogThread_) {
    DeliverDue();
  }
}

void ScenarioTest::DeliverDue() {
  // One thread delivers at a time, so the dialog sees the bus's order; a thread that finds
  // another one delivering leaves its notifications to it.
  for (;;) {
    {
      std::unique_lock<std::mutex> serial(deliveryMutex_, std::try_to_lock);
      if (!serial.owns_lock()) {
        return;
      }
      while (std::optional<DeviceChange> change = NextChange()) {
        dialog_.SendToDialog(kWmDeviceChange, change->event,
                             reinterpret_cast<std::intptr_t>(&*change));
      }
    }
    std::lock_guard<std::mutex> lock(queueMutex_);
    for (const DeviceChange& change : discovery_.TakeEvents()) {
      queued_.push_back(change);
    }
    if (queued_.empty()) {
      return;
    }
  }
}

void ScenarioTest::Settle() {
  const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
  // Idle: every program thread has ended or waits for an event nobody has set. An update worker
  // that shows the Warning dialog waits in it for the camera or its timeout.
  const auto idle = [this] {
    const int waiting =
        system_->BlockedThreads() + (dialog_.IsModalOpen(IDD_WARNING_DIALOG) ? 1 : 0);
    return system_->RunningThreads() <= waiting;
  };
  for (;;) {
    if (!dialog_.PumpUntil(idle, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now()))) {
      ADD_FAILURE() << "the program's threads did not finish";
      return;
    }
    // What a thread posted to the dialog just before it ended is handled before anything else.
    if (dialog_.Pump() > 0) {
      continue;
    }
    bus_.RunDue();
    if (std::optional<DeviceChange> change = NextChange()) {
      dialog_.Dispatch(kWmDeviceChange, change->event, reinterpret_cast<std::intptr_t>(&*change));
      continue;
    }
    // Nothing is due: on to the next change the bus has scheduled, with the dialog's timers
    // that fall due before it.
    const std::optional<std::uint64_t> next = bus_.NextDue();
    if (!next) {
      return;
    }
    const std::optional<std::uint64_t> timer = dialog_.NextTimerDue();
    if (timer && *timer <= *next) {
      clock_.AdvanceTo(*timer);
      dialog_.FireDueTimers();
    } else {
      clock_.AdvanceTo(*next);
    }
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

void ScenarioTest::ExpectReadyFor(const std::wstring& entry) {
  const int selected = shown_.ComboGetCurSel();
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

std::wstring ScenarioTest::SelectedEntry() {
  const int selected = shown_.ComboGetCurSel();
  const std::vector<std::wstring> entries = Entries();
  if (selected < 0 || selected >= static_cast<int>(entries.size())) {
    return L"<none>";
  }
  return entries[static_cast<std::size_t>(selected)];
}

void ScenarioTest::ExpectRomLoadedOnceLoaderIsGood(sim::NxpCamera& camera) {
  WriteTempFile(kFlashLoaderFile, PayloadBytes(kFlashLoaderLength, 14));
  dialog_.ClearRecords();
  bus_.Leave(&camera);
  bus_.Return(&camera);
  Settle();
  EXPECT_EQ(camera.CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);
  EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace veltra::test

// The main dialog's message table where no whole update reaches: the progress arithmetic, refused
// notifications and exit.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/resource_ids.h"
#include "app_fixture.h"
#include "camera/selected_device.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "sim/dfu_camera.h"

namespace veltra::test {
namespace {

using MainDialogTest = AppTest;

TEST_F(MainDialogTest, ProgressMessagesShowThePercentageWithTheBarThreeAhead) {
  struct Row {
    std::uintptr_t total;  // for WM_APP_PROGRESS
    std::uintptr_t value;
    const wchar_t* text;
    std::uint32_t message;
    int bar;
  };
  // Truncating division; the control clamps what lies beyond 100. The Sunplus library reports
  // its percentage plus one and moves the bar four ahead. Without a total the block count shows
  // 0 %, and large counts do not overflow the percentage.
  const Row rows[] = {
      {200, 0, L"0%", WM_APP_PROGRESS, 3},
      {200, 3, L"1%", WM_APP_PROGRESS, 4},
      {200, 199, L"99%", WM_APP_PROGRESS, 100},
      {200, 200, L"100%", WM_APP_PROGRESS, 100},
      {0xFFFFFFFFu, 0x80000000u, L"50%", WM_APP_PROGRESS, 53},
      {0, 7, L"0%", WM_APP_PROGRESS, 3},
      {0, 1, L"0%", WM_APP_PERCENT, 4},
      {0, 51, L"50%", WM_APP_PERCENT, 54},
      {0, 101, L"100%", WM_APP_PERCENT, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    shown_.ShowItem(IDC_STATIC_STATUS, false);
    shown_.ShowItem(IDC_STATIC_UPDATING, false);
    if (row.message == WM_APP_PROGRESS) {
      dialog_.Dispatch(WM_APP_ERASE_START, row.total);
    }
    dialog_.Dispatch(row.message, row.value);
    EXPECT_EQ(Text(IDC_STATIC_STATUS), row.text);
    EXPECT_EQ(shown_.Bar(), row.bar);
    EXPECT_TRUE(Visible(IDC_STATIC_UPDATING));
  }
}

TEST_F(MainDialogTest, RefusedNotificationsAreReportedAndTheRefresherStartsAllTheSame) {
  // A refused USB-device registration is reported after the scan; a refused HID one ends the
  // start-up before it (refusals add up: the second round refuses both).
  for (DeviceInterfaceClass refused :
       {DeviceInterfaceClass::kUsbDevice, DeviceInterfaceClass::kHid}) {
    const bool hid = refused == DeviceInterfaceClass::kHid;
    SCOPED_TRACE(hid ? "HID" : "USB device");
    dialog_.ClearRecords();
    shown_.ComboReset();
    dialog_.RefuseNotification(refused);
    auto camera = std::make_shared<sim::DfuCamera>();
    bus_.Plug(camera);
    dialog_.Dispatch(kWmInitDialog);
    ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{L"Register Dev. Notification Failed!"});
    EXPECT_EQ(dialog_.MessageBoxes()[0].style, kMbIconError);
    EXPECT_EQ(shown_.Entries().size(), hid ? 0u : 1u);
    EXPECT_EQ(Visible(IDC_STATIC_NO_DEVICE), hid);
    EXPECT_NE(Controller().Refresher().hUIThread, kNullHandle);
    bus_.Unplug(camera.get());
  }
}

// EXIT and the close box end the program whether the refresher is idle, reading the firmware
// version or resetting the camera. A command under way finishes first: the dialog handles its
// messages meanwhile, so the read's message box (owned by the dialog) is shown rather than both
// threads waiting on each other, and the camera is released only after the command is through.
TEST_F(MainDialogTest, ExitAndCloseReleaseEverythingAndEndTheProgram) {
  const struct {
    const char* name;
    int command;  // 0: the refresher is idle
  } runs[] = {{"idle", 0},
              {"during a version read", IDC_BTN_READFW_VERSION},
              {"during a reset", IDC_BTN_RESET}};
  for (const auto& run : runs) {
    for (std::uint32_t how : {kWmCommand, kWmClose}) {
      SCOPED_TRACE(std::string(run.name) + (how == kWmCommand ? ", EXIT" : ", close box"));
      auto camera = std::make_shared<sim::DfuCamera>();
      bus_.Plug(camera);
      ASSERT_EQ(InitializeDevice(Controller().Session().link,
                                 bus_.UsbInterfacePath(camera.get()).c_str()),
                1);
      dialog_.Dispatch(kWmInitDialog);
      ASSERT_NE(Controller().Refresher().hUIThread, kNullHandle);
      dialog_.ClearRecords();
      if (run.command != 0) {
        // The command reaches the camera on the refresher thread; the user ends the program
        // before it is through.
        camera_.Answer("InitExtensionUnit", 1);
        std::atomic<bool> inside{false};
        camera_.During("InitExtensionUnit", [&inside] {
          inside = true;
          const auto limit = std::chrono::steady_clock::now() + HeadlessDialog::kWaitLimit;
          while (Controller().Refresher().bUIThreadRun.load() != 0 &&
                 std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        });
        Command(run.command);
        ASSERT_TRUE(dialog_.PumpUntil([&inside] { return inside.load(); }));
      }
      const std::size_t callsBefore = camera_.Calls().size();
      const int timedOutBefore = dialog_.TimedOutWaits();

      if (how == kWmCommand) {
        Command(IDC_BTN_EXIT);
      } else {
        dialog_.Dispatch(kWmClose);
      }
      EXPECT_EQ(dialog_.TimedOutWaits(), timedOutBefore);  // no thread waited on a frozen dialog
      EXPECT_EQ(usb_.OpenFileHandles(), 0);
      EXPECT_EQ(Controller().Refresher().hUIThread, kNullHandle);
      EXPECT_EQ(Controller().Refresher().hUIEvent, kNullHandle);
      EXPECT_EQ(system_->RunningThreads(), 0);  // the refresher was joined
      EXPECT_TRUE(dialog_.ProgramEnded());
      // What the command still did, then the camera released, once, after it.
      std::vector<std::string> after = camera_.Calls();
      after.erase(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(callsBefore));
      ASSERT_FALSE(after.empty());
      EXPECT_EQ(after.back(), "DeinitExtensionUnit()");
      // A reset sends both its resets before the refresher ends: the route's reset releases the
      // camera once more.
      EXPECT_EQ(std::count(after.begin(), after.end(), "DeinitExtensionUnit()"),
                run.command == IDC_BTN_RESET ? 2 : 1);
      if (run.command == IDC_BTN_READFW_VERSION) {
        EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware Version Failed"});
      } else if (run.command == IDC_BTN_RESET) {
        EXPECT_EQ(after.front(), "InitExtensionUnit(" + Narrow(camera::DevicePathAt(0)) + ")");
        EXPECT_EQ(after[1], "SendHIDCommandWithFirstByte(4)");
      }
      camera_.Answer("InitExtensionUnit", 0);
      bus_.Unplug(camera.get());
    }
  }
  // A device change without a broadcast header goes no further.
  system_->ClearTrace();
  dialog_.Dispatch(kWmDeviceChange, 0x0007, 0);
  EXPECT_FALSE(Traced(L"DBT_DEVICEARRIVAL"));
}

}  // namespace
}  // namespace veltra::test

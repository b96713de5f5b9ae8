// The main dialog's message table where no whole update reaches: the progress arithmetic, refused
// notifications and exit.
#include <memory>
#include <string>

#include "app_fixture.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
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
    dialog_.ShowItem(IDC_STATIC_STATUS, false);
    dialog_.ShowItem(IDC_STATIC_UPDATING, false);
    if (row.message == WM_APP_PROGRESS) {
      dialog_.Dispatch(WM_APP_ERASE_START, row.total);
    }
    dialog_.Dispatch(row.message, row.value);
    EXPECT_EQ(Text(IDC_STATIC_STATUS), row.text);
    EXPECT_EQ(dialog_.ProgressPos(), row.bar);
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
    dialog_.ComboReset();
    dialog_.RefuseNotification(refused);
    auto camera = std::make_shared<sim::DfuCamera>();
    bus_.Plug(camera);
    dialog_.Dispatch(kWmInitDialog);
    ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{L"Register Dev. Notification Failed!"});
    EXPECT_EQ(dialog_.MessageBoxes()[0].style, kMbIconError);
    EXPECT_EQ(dialog_.ComboItems().size(), hid ? 0u : 1u);
    EXPECT_EQ(Visible(IDC_STATIC_NO_DEVICE), hid);
    EXPECT_NE(g_hUIThread, kNullHandle);
    bus_.Unplug(camera.get());
  }
}

TEST_F(MainDialogTest, ExitAndCloseReleaseEverythingAndEndTheProgram) {
  for (std::uint32_t how : {kWmCommand, kWmClose}) {
    SCOPED_TRACE(how);
    auto camera = std::make_shared<sim::DfuCamera>();
    bus_.Plug(camera);
    ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
    dialog_.Dispatch(kWmInitDialog);
    ASSERT_NE(g_hUIThread, kNullHandle);
    const int deinits = camera_.Count("DeinitExtensionUnit");

    if (how == kWmCommand) {
      Command(IDC_BTN_EXIT);
    } else {
      dialog_.Dispatch(kWmClose);
    }
    EXPECT_EQ(camera_.Count("DeinitExtensionUnit"), deinits + 1);
    EXPECT_EQ(usb_.OpenFileHandles(), 0);
    EXPECT_EQ(g_hUIThread, kNullHandle);
    EXPECT_EQ(g_hUIEvent, kNullHandle);
    EXPECT_EQ(system_->RunningThreads(), 0);  // the refresher was joined
    EXPECT_TRUE(dialog_.ProgramEnded());
    bus_.Unplug(camera.get());
  }
  // A device change without a broadcast header goes no further.
  system_->ClearTrace();
  dialog_.Dispatch(kWmDeviceChange, 0x0007, 0);
  EXPECT_FALSE(Traced(L"DBT_DEVICEARRIVAL"));
}

}  // namespace
}  // namespace veltra::test

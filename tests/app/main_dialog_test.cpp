// The main dialog's message table where no whole update reaches: the progress arithmetic, the
// mode-switch timer, the busy rules of READ F/W VERSION and RESET, the selection change, a
// cancelled Browse, refused notifications and exit.
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

TEST_F(MainDialogTest, UpdateDoneClearsTheProgressAndReleasesTheDfuHandles) {
  auto camera = std::make_shared<sim::DfuCamera>();
  bus_.Plug(camera);
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  dialog_.Dispatch(WM_APP_ERASE_START, 10);
  dialog_.Dispatch(WM_APP_PROGRESS, 5);

  dialog_.Dispatch(WM_APP_UPDATE_DONE);
  EXPECT_EQ(CurrentUpdate().progressTotal.load(), 0u);
  EXPECT_EQ(dialog_.ProgressPos(), 0);
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(usb_.OpenInterfaceHandles(), 0);
  EXPECT_EQ(deviceHandle.load(), kNullHandle);
}

TEST_F(MainDialogTest, BlinkTimersAlternateTheirTextWithNothing) {
  for (const auto& [timer, text] : std::initializer_list<std::pair<int, const wchar_t*>>{
           {IDT_BLINK_ERASE, L"Erasing Memory...Please Wait..."},
           {IDT_BLINK_VERIFY, L"Verify Flash... Please Wait..."}}) {
    CurrentUpdate().blinkState = 0;
    dialog_.ShowItem(IDC_STATIC_UPDATING, true);
    dialog_.SetTimer(timer, 300);
    for (const wchar_t* shown : {text, L"", text}) {
      ASSERT_TRUE(dialog_.FireTimer(timer));
      EXPECT_EQ(Text(IDC_STATIC_STATUS), shown);
    }
    EXPECT_FALSE(Visible(IDC_STATIC_UPDATING));
    dialog_.KillTimer(timer);
  }
}

TEST_F(MainDialogTest, ModeSwitchTimerGivesExitBackOnlyWhileTheCameraIsAway) {
  dialog_.EnableItem(IDC_BTN_EXIT, false);
  CurrentUpdate().bAwaitingModeSwitch = 0;  // the camera came back meanwhile
  dialog_.SetTimer(IDT_TIMER_FOR_HD_ISSUE, 60000);
  dialog_.FireTimer(IDT_TIMER_FOR_HD_ISSUE);
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));

  CurrentUpdate().bAwaitingModeSwitch = 1;
  clock_.Advance(60000);
  EXPECT_EQ(dialog_.FireDueTimers(), 1);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}

TEST_F(MainDialogTest, ReadVersionAndResetRefuseEachOtherWhileBusy) {
  // RESET busy: READ F/W VERSION only tells the user.
  g_bResetBusy = 1;
  Command(IDC_BTN_READFW_VERSION);
  EXPECT_EQ(g_bReadVersionBusy.load(), 0);
  ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{L"Please wait...Device Reset in progress"});
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Alert");

  // Version read busy: RESET tells the user and still resets the camera directly.
  g_bResetBusy = 0;
  g_bReadVersionBusy = 1;
  AddRecord(L"Cam", L"7E51", L"C1D0", L"\\\\?\\usb#cam");
  Select(0);
  camera_.Answer("InitExtensionUnit", 1);
  Command(IDC_BTN_RESET);
  EXPECT_EQ(g_bResetBusy.load(), 0);
  EXPECT_EQ(BoxTexts().back(), L"Please wait...ReadFirmwarVersion in progress");
  EXPECT_TRUE(camera_.Called("SendHIDCommandWithFirstByte(4)"));

  // Without the extension unit the camera is sent the DFU reset request; here nothing answers.
  camera_.Answer("InitExtensionUnit", 0);
  Command(IDC_BTN_RESET);
  EXPECT_TRUE(Traced(L"Check RESET IN DFU SendDeviceResetCommand failed\r\n"));
}

TEST_F(MainDialogTest, SelectionChangeDropsTheFileOnlyForAnotherCamera) {
  AddRecord(L"Cam A", L"7e51", L"C1D0", L"\\\\?\\usb#a");
  AddRecord(L"Cam B", L"04b4", L"00C3", L"\\\\?\\usb#b");
  Select(0);
  g_nLastSelectedIndex = 0;
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\A.img");
  dialog_.EnableItem(IDC_BTN_FW_UPDATE, true);
  camera_.Answer("InitExtensionUnit", 1);

  Command(IDC_COMBO_DEVICELIST, kCbnSelChange);  // the same camera again
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"C:\\fw\\A.img");
  EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));

  dialog_.ComboSetCurSel(1);
  Command(IDC_COMBO_DEVICELIST, kCbnSelChange);
  EXPECT_EQ(g_nLastSelectedIndex.load(), 1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"\\\\?\\USB#B");
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
  EXPECT_FALSE(Enabled(IDC_BTN_FW_UPDATE));
  EXPECT_FALSE(Enabled(IDC_BTN_RESET));  // not the maker's vendor

  // A camera waiting in update mode has no version to read; its DFU interface stays open for
  // the update.
  auto camera = std::make_shared<sim::DfuCamera>();
  bus_.Plug(camera);
  AddRecord(L"DFU Device_USB_1_HUB_1", L"7E51", L"DF00",
            bus_.UsbInterfacePath(camera.get()).c_str());
  camera_.Answer("InitExtensionUnit", 0);
  dialog_.ComboSetCurSel(2);
  Command(IDC_COMBO_DEVICELIST, kCbnSelChange);
  EXPECT_FALSE(Enabled(IDC_BTN_READFW_VERSION));
  EXPECT_EQ(usb_.OpenFileHandles(), 1);
}

TEST_F(MainDialogTest, CancelledBrowseKeepsAnEarlierChoice) {
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\A.img");
  dialog_.EnableItem(IDC_BTN_FW_UPDATE, true);
  dialog_.QueueOpenFile(std::nullopt);
  Command(IDC_BTN_BROWSE);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"C:\\fw\\A.img");
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

// The main dialog's message table: the worker threads' progress messages with their arithmetic,
// the timers, the busy rules of READ F/W VERSION and RESET, the selection change, Browse, start-up
// and exit.
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "sim/dfu_camera.h"

namespace veltra::test {
namespace {

using MainDialogTest = AppTest;

TEST_F(MainDialogTest, ProgressMessagesShowThePercentageWithTheBarThreeAhead) {
  dialog_.Dispatch(WM_APP_ERASE_START, 200);
  EXPECT_FALSE(Visible(IDC_STATIC_UPDATING));
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"Erasing Memory...Please Wait...");
  EXPECT_EQ(g_progressTotal.load(), 200u);

  struct Row {
    std::uintptr_t done;
    const wchar_t* text;
    int bar;
  };
  // Truncating division; the control clamps 103 to 100.
  for (const Row& row : {Row{0, L"0%", 3}, Row{1, L"0%", 3}, Row{3, L"1%", 4}, Row{100, L"50%", 53},
                         Row{199, L"99%", 100}, Row{200, L"100%", 100}}) {
    SCOPED_TRACE(row.done);
    dialog_.Dispatch(WM_APP_PROGRESS, row.done);
    EXPECT_EQ(Text(IDC_STATIC_STATUS), row.text);
    EXPECT_EQ(dialog_.ProgressPos(), row.bar);
    EXPECT_EQ(Text(IDC_STATIC_UPDATING), L"Updating Firmware..");
    EXPECT_TRUE(Visible(IDC_STATIC_UPDATING));
  }

  // Large counts do not overflow the percentage.
  dialog_.Dispatch(WM_APP_ERASE_START, 0xFFFFFFFFu);
  dialog_.Dispatch(WM_APP_PROGRESS, 0x80000000u);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"50%");

  // A progress message without a total shows 0 % instead of dividing by zero.
  dialog_.Dispatch(WM_APP_ERASE_START, 0);
  dialog_.Dispatch(WM_APP_PROGRESS, 7);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"0%");
  EXPECT_EQ(dialog_.ProgressPos(), 3);
}

TEST_F(MainDialogTest, SunplusPercentShowsTheValueAndMovesTheBarFourAhead) {
  dialog_.ShowItem(IDC_STATIC_STATUS, false);
  dialog_.ShowItem(IDC_PROGRESS_BAR, false);
  dialog_.Dispatch(WM_APP_PERCENT, 1);  // library reported 0
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"0%");
  EXPECT_EQ(dialog_.ProgressPos(), 4);
  EXPECT_TRUE(Visible(IDC_STATIC_STATUS));
  EXPECT_TRUE(Visible(IDC_PROGRESS_BAR));
  EXPECT_TRUE(Visible(IDC_STATIC_UPDATING));
  dialog_.Dispatch(WM_APP_PERCENT, 51);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"50%");
  EXPECT_EQ(dialog_.ProgressPos(), 54);
  dialog_.Dispatch(WM_APP_PERCENT, 101);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"100%");
  EXPECT_EQ(dialog_.ProgressPos(), 100);
}

TEST_F(MainDialogTest, UpdateDoneClearsTheProgressAndReleasesTheDfuHandles) {
  auto camera = std::make_shared<sim::DfuCamera>();
  bus_.Plug(camera);
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  ASSERT_EQ(usb_.OpenFileHandles(), 1);
  dialog_.Dispatch(WM_APP_ERASE_START, 10);
  dialog_.Dispatch(WM_APP_PROGRESS, 5);
  dialog_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw.img");

  dialog_.Dispatch(WM_APP_UPDATE_DONE);
  EXPECT_EQ(g_progressTotal.load(), 0u);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"");
  EXPECT_EQ(dialog_.ProgressPos(), 0);
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");  // the done state
  EXPECT_TRUE(Enabled(IDC_BTN_BROWSE));
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(usb_.OpenInterfaceHandles(), 0);
  EXPECT_EQ(deviceHandle.load(), kNullHandle);
}

TEST_F(MainDialogTest, BlinkTimersAlternateTheirTextWithNothing) {
  struct Case {
    int timer;
    const wchar_t* text;
  };
  for (const Case& c : {Case{IDT_BLINK_ERASE, L"Erasing Memory...Please Wait..."},
                        Case{IDT_BLINK_VERIFY, L"Verify Flash... Please Wait..."}}) {
    g_blinkState = 0;
    dialog_.ShowItem(IDC_STATIC_UPDATING, true);
    dialog_.SetTimer(c.timer, 300);
    ASSERT_TRUE(dialog_.FireTimer(c.timer));
    EXPECT_EQ(Text(IDC_STATIC_STATUS), c.text);
    EXPECT_FALSE(Visible(IDC_STATIC_UPDATING));
    EXPECT_EQ(g_blinkState.load(), 5);
    dialog_.FireTimer(c.timer);
    EXPECT_EQ(Text(IDC_STATIC_STATUS), L"");
    EXPECT_EQ(g_blinkState.load(), 0);
    dialog_.FireTimer(c.timer);
    EXPECT_EQ(Text(IDC_STATIC_STATUS), c.text);
    dialog_.KillTimer(c.timer);
  }
}

TEST_F(MainDialogTest, ModeSwitchTimerGivesExitBackOnlyWhileTheCameraIsAway) {
  dialog_.EnableItem(IDC_BTN_EXIT, false);
  g_bAwaitingModeSwitch = 0;  // the camera came back meanwhile
  dialog_.SetTimer(IDT_TIMER_FOR_HD_ISSUE, 60000);
  dialog_.FireTimer(IDT_TIMER_FOR_HD_ISSUE);
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(Traced(L"IDT_TIMER_FOR_HD_ISSUE elapsed"));

  g_bAwaitingModeSwitch = 1;
  clock_.Advance(60000);
  EXPECT_EQ(dialog_.FireDueTimers(), 1);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
  EXPECT_TRUE(Traced(L"IDT_TIMER_FOR_HD_ISSUE elapsed\r\n"));
}

TEST_F(MainDialogTest, ReadVersionAndResetRefuseEachOtherWhileBusy) {
  // RESET busy: READ F/W VERSION only tells the user.
  g_bResetBusy = 1;
  Command(IDC_BTN_READFW_VERSION);
  EXPECT_EQ(g_bReadVersionBusy.load(), 0);
  ASSERT_EQ(dialog_.MessageBoxes().size(), 1u);
  EXPECT_EQ(dialog_.MessageBoxes()[0].text, L"Please wait...Device Reset in progress");
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Alert");

  // Version read busy: RESET tells the user and still resets the camera directly.
  g_bResetBusy = 0;
  g_bReadVersionBusy = 1;
  AddRecord(L"Cam", L"7E51", L"C1D0", L"\\\\?\\usb#cam");
  Select(0);
  camera_.Answer("InitExtensionUnit", 1);
  Command(IDC_BTN_RESET);
  EXPECT_EQ(g_bResetBusy.load(), 0);
  EXPECT_EQ(dialog_.MessageBoxes().back().text, L"Please wait...ReadFirmwarVersion in progress");
  EXPECT_TRUE(camera_.Called("InitExtensionUnit(\\\\?\\usb#cam)"));
  EXPECT_TRUE(camera_.Called("SendHIDCommandWithFirstByte(4)"));
}

TEST_F(MainDialogTest, ResetOfACameraWithoutExtensionUnitSendsTheDfuResetRequest) {
  AddRecord(L"Nowhere", L"7E51", L"DF00", L"\\\\?\\usb#gone");
  Select(0);
  Command(IDC_BTN_RESET);
  EXPECT_EQ(g_bResetBusy.load(), 1);  // the refresher is not running here: nobody served it
  EXPECT_FALSE(camera_.Called("SendHIDCommandWithFirstByte(4)"));
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
  EXPECT_TRUE(Enabled(IDC_BTN_READFW_VERSION));
  EXPECT_TRUE(Enabled(IDC_BTN_RESET));
  EXPECT_TRUE(Traced(L"UVC Extension is supported \r\n"));

  dialog_.ComboSetCurSel(1);
  Command(IDC_COMBO_DEVICELIST, kCbnSelChange);
  EXPECT_EQ(g_nSelectedIndex.load(), 1);
  EXPECT_EQ(g_nLastSelectedIndex.load(), 1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"\\\\?\\USB#B");  // upper-cased by the lookup
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
  EXPECT_FALSE(Enabled(IDC_BTN_FW_UPDATE));
  EXPECT_FALSE(Enabled(IDC_BTN_RESET));  // not the maker's vendor

  // Other notifications of the list are ignored.
  const auto calls = camera_.Calls().size();
  Command(IDC_COMBO_DEVICELIST, 3);
  EXPECT_EQ(camera_.Calls().size(), calls);
}

TEST_F(MainDialogTest, SelectingACameraInUpdateModeDisablesReadVersion) {
  auto camera = std::make_shared<sim::DfuCamera>();
  bus_.Plug(camera);
  const std::wstring path = bus_.UsbInterfacePath(camera.get());
  AddRecord(L"DFU Device_USB_1_HUB_1", L"7E51", L"DF00", path.c_str());
  dialog_.ComboSetCurSel(0);
  Command(IDC_COMBO_DEVICELIST, kCbnSelChange);
  EXPECT_FALSE(Enabled(IDC_BTN_READFW_VERSION));
  EXPECT_TRUE(Traced(L"UVC Extension is not supported for this device\r\n"));
  EXPECT_EQ(usb_.OpenFileHandles(), 1);  // the WinUSB interface stays open for the update
}

TEST_F(MainDialogTest, BrowseResultsDecideWhatTheDialogDoes) {
  AddRecord(L"Cam", L"7E51", L"C1D0", L"\\\\?\\usb#cam");
  Select(0);

  dialog_.QueueOpenFile(std::nullopt);  // cancelled
  Command(IDC_BTN_BROWSE);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 1);

  dialog_.QueueOpenFile(L"C:\\missing\\nothing.img");  // cannot be read
  Command(IDC_BTN_BROWSE);
  EXPECT_EQ(BoxTexts().back(), L"File Reading failed ");
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 1);

  dialog_.EnableItem(IDC_BTN_FW_UPDATE, false);
  dialog_.QueueOpenFile(WriteFile("Cam.img"));  // unmarked: taken whole
  Command(IDC_BTN_BROWSE);
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 0);
  EXPECT_EQ(std::wstring(g_szUpdateDevicePath), L"\\\\?\\usb#cam");
  EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
}

TEST_F(MainDialogTest, InitDialogPreparesTheControlsAndStartsTheRefresher) {
  system_->SetExecutableFolder("/opt/veltra");
  dialog_.SetItemText(IDC_STATIC_STATUS, L"old");
  dialog_.Dispatch(kWmInitDialog);
  EXPECT_EQ(g_hMainDlg, kMainDlg);
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"");
  for (int id : {IDC_STATIC_CONNECTED, IDC_STATIC_UPDATING, IDC_PROGRESS_BAR}) {
    EXPECT_FALSE(Visible(id)) << id;
  }
  EXPECT_EQ(dialog_.SmallIconFile(), L"Orlomark.ico");
  EXPECT_EQ(std::wstring(g_szExePath), L"\\opt\\veltra\\Veltra_FW_Updater.exe");
  EXPECT_EQ(g_exeDirLength, 11);
  const std::vector<DeviceInterfaceClass> classes = {DeviceInterfaceClass::kHid,
                                                     DeviceInterfaceClass::kUsbDevice};
  EXPECT_EQ(dialog_.RegisteredNotifications(), classes);
  // No camera on the bus: the start-up scan leaves the no-device state.
  EXPECT_TRUE(Visible(IDC_STATIC_NO_DEVICE));
  EXPECT_FALSE(Enabled(IDC_BTN_BROWSE));
  EXPECT_NE(g_hUIThread, kNullHandle);
  EXPECT_TRUE(Traced(L"createThreadUpdateUI CreateThread success \r\n"));
}

TEST_F(MainDialogTest, RefusedHidNotificationsLeaveTheDialogWithoutDevices) {
  dialog_.RefuseNotification(DeviceInterfaceClass::kHid);
  AddRecord(L"Cam", L"7E51", L"C1D0", L"\\\\?\\usb#cam");
  dialog_.Dispatch(kWmInitDialog);
  ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{L"Register Dev. Notification Failed!"});
  EXPECT_EQ(dialog_.MessageBoxes()[0].style, kMbIconError);
  EXPECT_TRUE(dialog_.RegisteredNotifications().empty());
  EXPECT_TRUE(Visible(IDC_STATIC_NO_DEVICE));
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);  // the scan did not run: the list is untouched
  EXPECT_NE(g_hUIThread, kNullHandle);         // the refresher starts all the same
}

TEST_F(MainDialogTest, RefusedUsbNotificationsAreReportedAndTheScanStillRuns) {
  dialog_.RefuseNotification(DeviceInterfaceClass::kUsbDevice);
  bus_.Plug(std::make_shared<sim::DfuCamera>());
  dialog_.Dispatch(kWmInitDialog);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Register Dev. Notification Failed!"});
  EXPECT_EQ(dialog_.RegisteredNotifications(),
            std::vector<DeviceInterfaceClass>{DeviceInterfaceClass::kHid});
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);
  EXPECT_TRUE(Visible(IDC_STATIC_CONNECTED));
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
}

TEST_F(MainDialogTest, DeviceChangeGoesToTheDeviceChangeHandling) {
  DeviceChange change;
  change.event = kDbtDeviceArrival;
  change.deviceType = kDbtDevtypDeviceInterface;
  change.cls = DeviceInterfaceClass::kHid;
  dialog_.Dispatch(kWmDeviceChange, kDbtDeviceArrival, reinterpret_cast<std::intptr_t>(&change));
  EXPECT_TRUE(Traced(L"DBT_DEVICEARRIVAL \r\n"));
  EXPECT_TRUE(Visible(IDC_STATIC_NO_DEVICE));  // nothing on the bus

  // An event without a broadcast header is traced and goes no further.
  system_->ClearTrace();
  dialog_.Dispatch(kWmDeviceChange, 0x0007, 0);
  EXPECT_FALSE(Traced(L"DBT_DEVICEARRIVAL"));
}

}  // namespace
}  // namespace veltra::test

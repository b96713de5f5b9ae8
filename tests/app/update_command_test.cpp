// F/W UPDATE and the dispatch behind the confirmation dialog: the checks before the dialog, what
// closing it does, and per camera family the flags, library calls, timers and controls.
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "devices/device_table.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "sim/dfu_camera.h"

namespace veltra::test {
namespace {

constexpr const wchar_t* kCamPath = L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#cam";
constexpr const wchar_t* kOtherPath = L"\\\\?\\usb#vid_7e51&pid_c1d1&mi_00#other";

class UpdateCommandTest : public AppTest {
 protected:
  // One listed camera (entry 0) plus a second one, entry 0 selected, a firmware file chosen.
  void Prepare(const wchar_t* name, const wchar_t* vid, const wchar_t* pid,
               const char* file = "Veltra_C1.img") {
    AddRecord(name, vid, pid, kCamPath);
    AddRecord(L"Other", L"7E51", L"C1D1", kOtherPath);
    Select(0);
    ChooseFile(WriteFile(file));
    dialog_.EnableItem(IDC_BTN_EXIT, true);
  }
  bool Question() const {
    for (const auto& box : dialog_.MessageBoxes()) {
      if (box.caption == L"Veltra_FW_Updater" && box.style == (kMbYesNo | kMbIconWarning)) {
        return true;
      }
    }
    return false;
  }
  std::vector<int> Modals() const { return dialog_.ModalDialogsOpened(); }
};

TEST_F(UpdateCommandTest, WithoutAFileTheUserIsAskedToChooseOne) {
  AddRecord(L"Veltra_C1", L"7E51", L"C1D0", kCamPath);
  Select(0);
  Command(IDC_BTN_FW_UPDATE);
  ASSERT_EQ(dialog_.MessageBoxes().size(), 1u);
  EXPECT_EQ(dialog_.MessageBoxes()[0].text, L"Choose File!");
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Alert");
  EXPECT_EQ(dialog_.MessageBoxes()[0].style, kMbIconWarning);
  EXPECT_TRUE(Modals().empty());
}

TEST_F(UpdateCommandTest, ModelCheckAsksOnlyWhenTheFileIsNotNamedAfterTheModel) {
  struct Case {
    const wchar_t* camera;
    const char* file;
    bool asks;
  };
  const Case cases[] = {
      {L"Veltra_RX40_MH", "Veltra_RX40M_v2.img", false},  // the MH model takes the M firmware
      {L"Veltra_RX40_MH", "Veltra_RX40_MH.img", true},    // ... and not its own name
      {L"Veltra_C1", "Veltra_C1_1.2.img", false},
      {L"Veltra_C1", "other.img", true},
      {L"Veltra_C1", "veltra_c1.img", true},  // case-sensitive
      {L"DFU Device_USB_2_HUB_1", "anything.img", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.camera) + " / " + c.file);
    ResetDeviceTable();
    dialog_.ComboReset();
    dialog_.ClearRecords();
    Prepare(c.camera, L"7E51", L"C1D0", c.file);
    dialog_.QueueModalClose(IDD_CONFIRM_DIALOG);
    Command(IDC_BTN_FW_UPDATE);
    EXPECT_EQ(Question(), c.asks);
    EXPECT_EQ(Modals(), std::vector<int>{IDD_CONFIRM_DIALOG});  // default answer: Yes
    EXPECT_EQ(std::wstring(g_szSelectedDevicePath), kCamPath);
  }

  // "No" stops before the confirmation dialog.
  ResetDeviceTable();
  dialog_.ComboReset();
  dialog_.ClearRecords();
  Prepare(L"Veltra_C1", L"7E51", L"C1D0", "unrelated.img");
  dialog_.QueueMessageBoxAnswer(kIdNo);
  Command(IDC_BTN_FW_UPDATE);
  EXPECT_TRUE(Question());
  EXPECT_TRUE(Modals().empty());
}

TEST_F(UpdateCommandTest, ClosingTheConfirmationStartsNothing) {
  Prepare(L"Veltra_C1", L"7E51", L"C1D0");
  camera_.Answer("IsPescaDeviceAvail", 1);
  g_bUpdateDeviceGone = 0;
  const auto before = clock_.NowMs();
  for (bool escape : {false, true}) {
    if (escape) {
      dialog_.QueueModalCommand(IDD_CONFIRM_DIALOG, 2);
    } else {
      dialog_.QueueModalClose(IDD_CONFIRM_DIALOG);
    }
    Command(IDC_BTN_FW_UPDATE);
  }
  EXPECT_EQ(g_hConfirmDlg.load(), kConfirmDlg);
  EXPECT_EQ(dialog_.EndedDialogs().size(), 2u);
  EXPECT_EQ(dialog_.EndedDialogs()[0].second, 0);
  EXPECT_EQ(camera_.Count("IsPescaDeviceAvail"), 0);
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 0);
  EXPECT_EQ(clock_.NowMs(), before);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
}

TEST_F(UpdateCommandTest, AVanishedFileIsReportedAfterTheConfirmation) {
  Prepare(L"Veltra_C1", L"7E51", L"C1D0");
  ChooseFile(L"C:\\gone\\Veltra_C1.img");
  const auto before = clock_.NowMs();
  UpdateAndConfirm();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Check File Path!"});
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Alert");
  EXPECT_EQ(dialog_.EndedDialogs()[0], std::make_pair(Window::kConfirmDialog, std::intptr_t{1020}));
  EXPECT_GE(clock_.NowMs() - before, 1000u);
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 1);
  EXPECT_EQ(camera_.Count("IsPescaDeviceAvail"), 0);
}

TEST_F(UpdateCommandTest, PescaModeSwitchArmsTheReturnAndStartsTheTimers) {
  Prepare(L"Pesca", L"7e51", L"C123");
  camera_.Answer("IsPescaDeviceAvail", 1);
  camera_.Answer("InitPescaExtensionUnit", 1);
  camera_.Answer("SetExtensionUnitValueForPesca", 1);
  UpdateAndConfirm();

  EXPECT_TRUE(camera_.Called("IsPescaDeviceAvail(" + Narrow(kCamPath) + ")"));
  EXPECT_TRUE(camera_.Called("DeinitExtUnit()"));
  EXPECT_TRUE(camera_.Called("SetExtensionUnitValueForPesca(5,1)"));
  EXPECT_EQ(camera_.Count("IsTarsaDeviceAvail"), 0);
  EXPECT_EQ(g_bPescaDevice.load(), 1);
  EXPECT_EQ(g_bMatchByUniqueID.load(), 1);
  EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 1);
  EXPECT_EQ(g_bAwaitingModeSwitch.load(), 1);
  EXPECT_EQ(g_bUpdateDeviceGone.load(), 1);
  // Every listed path is saved for the return.
  EXPECT_EQ(g_nSavedDeviceCount.load(), 2);
  EXPECT_EQ(std::wstring(g_savedDevicePaths[1]), kOtherPath);

  EXPECT_EQ(dialog_.TimerPeriod(IDT_TIMER_FOR_HD_ISSUE), 60000u);
  EXPECT_EQ(dialog_.TimerPeriod(IDT_BLINK_ERASE), 200u);
  EXPECT_FALSE(Visible(IDC_STATIC_UPDATING));
  EXPECT_EQ(Text(IDC_STATIC_STATUS), L"Erasing Memory...Please Wait...");
  EXPECT_TRUE(Visible(IDC_STATIC_MODE_SWITCH));
  EXPECT_TRUE(Visible(IDC_PROGRESS_BAR));
  EXPECT_FALSE(Enabled(IDC_BTN_EXIT));  // updating
  EXPECT_FALSE(Traced(L"Alert : Check FirmwareUpdate"));
}

TEST_F(UpdateCommandTest, FailedSwitchCommandsAreOnlyTraced) {
  struct Case {
    const char* family;
    const char* init;
    bool timer2;
  };
  for (const Case& c : {Case{"IsPescaDeviceAvail", "InitPescaExtensionUnit", true},
                        Case{"IsTarsaDeviceAvail", "InitTarsaExtensionUnit", false}}) {
    SCOPED_TRACE(c.family);
    ResetDeviceTable();
    dialog_.ComboReset();
    dialog_.KillTimer(IDT_TIMER_FOR_HD_ISSUE);
    system_->ClearTrace();
    camera_.Answer("IsPescaDeviceAvail", 0);
    camera_.Answer(c.family, 1);
    camera_.Answer(c.init, 1);
    Prepare(L"Cam", L"7E51", L"C05C");
    const auto before = clock_.NowMs();
    UpdateAndConfirm();
    EXPECT_TRUE(Traced(L"Alert : Check FirmwareUpdate\r\n"));
    EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 1);
    EXPECT_EQ(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE), c.timer2);
    // Tarsa waits 5 s after starting the blink.
    EXPECT_EQ(clock_.NowMs() - before, c.timer2 ? 1000u : 6000u);
  }
  EXPECT_TRUE(camera_.Called("FallbacktoFWTarsa()"));
}

TEST_F(UpdateCommandTest, TarsaWithAForeignVendorOrNoChannelIsLeftAlone) {
  for (const wchar_t* vid : {L"04B4", L"7E51"}) {
    ResetDeviceTable();
    dialog_.ComboReset();
    Prepare(L"Tarsa", vid, L"C05C");
    camera_.Answer("IsTarsaDeviceAvail", 1);  // InitTarsaExtensionUnit answers 0
    UpdateAndConfirm();
    EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 0);
    EXPECT_EQ(camera_.Count("FallbacktoFWTarsa"), 0);
    EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
    EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
    EXPECT_EQ(g_bUpdateDeviceGone.load(), 1);
  }
  // The foreign vendor is refused before the channel is even tried.
  EXPECT_EQ(camera_.Count("InitTarsaExtensionUnit"), 1);
}

TEST_F(UpdateCommandTest, GenericCameraSwitchesWithTheImageTypeAndKeepsTheResult) {
  Prepare(L"Veltra_C1", L"7E51", L"C1D0");
  g_imageType = 2;
  camera_.Answer("InitExtensionUnit", 1);
  camera_.Answer("FirmwareUpdate", 50);
  UpdateAndConfirm();
  EXPECT_TRUE(camera_.Called("FirmwareUpdate(2)"));
  EXPECT_EQ(g_updateResult.load(), 50);
  EXPECT_EQ(g_bPescaDevice.load(), 0);
  EXPECT_EQ(Text(IDC_STATIC_UPDATING), L"");
  EXPECT_EQ(dialog_.TimerPeriod(IDT_TIMER_FOR_HD_ISSUE), 60000u);
  EXPECT_EQ(g_bMatchByUniqueID.load(), 1);
}

TEST_F(UpdateCommandTest, HidBootLoaderStartsTheWorkerAndArmsTheNxpRouteForDf02) {
  system_->SetFailThreadCreation(true);  // look at the flags without a worker running
  for (const wchar_t* pid : {L"DF02", L"0135"}) {
    SCOPED_TRACE(Narrow(pid));
    ResetDeviceTable();
    dialog_.ComboReset();
    dialog_.ClearRecords();
    g_bNXPMode = 0;
    g_bWriteFirstPart = 1;
    g_bDFUOpened = 1;
    g_bIsStartUpdatedFromDFU = 1;
    g_updateResult = 9;
    Prepare(L"HID Boot", L"7E51", pid, "HID Boot.bin");
    camera_.Answer("Init_HIDHandle", 1);
    UpdateAndConfirm();
    const bool df02 = std::wstring(pid) == L"DF02";
    EXPECT_EQ(g_bNXPMode.load(), df02 ? 1 : 0);
    EXPECT_EQ(g_bWriteFirstPart.load(), df02 ? 0 : 1);
    EXPECT_EQ(g_bDFUOpened.load(), df02 ? 0 : 1);
    EXPECT_EQ(g_updateResult.load(), df02 ? 0 : 9);
    EXPECT_EQ(Text(IDC_STATIC_UPDATING), L"Device Entering into Firmware update mode");
    EXPECT_TRUE(Visible(IDC_STATIC_MODE_SWITCH));
    EXPECT_FALSE(Enabled(IDC_BTN_BROWSE));
    ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});
    EXPECT_FALSE(dialog_.MessageBoxes()[0].owned);
  }
}

TEST_F(UpdateCommandTest, CameraInDfuModeStartsAtOnceWithThePassForItsImage) {
  system_->SetFailThreadCreation(true);
  struct Case {
    std::uint16_t pid;
    std::uint8_t type;
    bool firstPart;
  };
  for (const Case& c : {Case{0xDF01, 1, true}, Case{0xDF01, 2, true}, Case{0xDF01, 3, false},
                        Case{0xDF00, 1, false}}) {
    SCOPED_TRACE(std::to_string(c.pid) + "/" + std::to_string(c.type));
    ResetDeviceTable();
    dialog_.ComboReset();
    sim::DfuCamera::Options options;
    options.pid = c.pid;
    auto camera = std::make_shared<sim::DfuCamera>(options);
    bus_.Plug(camera);
    const std::wstring path = bus_.UsbInterfacePath(camera.get());
    AddRecord(L"DFU Device_USB_1_HUB_1", L"7E51", c.pid == 0xDF01 ? L"DF01" : L"DF00",
              path.c_str());
    Select(0);
    ChooseFile(WriteFile("fw.img"));
    g_imageType = c.type;
    g_bWriteFirstPart = c.firstPart ? 0 : 1;  // the opposite of what the start must leave
    g_bIsStartUpdatedFromDFU = 0;
    const auto before = clock_.NowMs();
    UpdateAndConfirm();
    EXPECT_EQ(g_bIsStartUpdatedFromDFU.load(), 1);
    EXPECT_EQ(g_bWriteFirstPart.load(), c.firstPart ? 1 : 0);
    EXPECT_EQ(g_bDFUOpened.load(), c.firstPart ? 0 : 1);
    EXPECT_EQ(g_updateResult.load(), 0);
    EXPECT_EQ(clock_.NowMs() - before, 6000u);  // 1 s after OK, 5 s after the start
    EXPECT_TRUE(Visible(IDC_STATIC_STATUS));
    EXPECT_FALSE(Enabled(IDC_BTN_EXIT));
    bus_.Unplug(camera.get());
  }
}

TEST_F(UpdateCommandTest, PescaInDfuModeStartsDirectlyOrStopsWhenItCannotBeOpened) {
  system_->SetFailThreadCreation(true);
  Prepare(L"Pesca", L"7E51", L"DF01", "Pesca.img");  // not on the bus: the WinUSB open fails
  camera_.Answer("IsPescaDeviceAvail", 1);
  UpdateAndConfirm();
  EXPECT_EQ(g_bPescaDevice.load(), 1);
  EXPECT_EQ(g_bIsStartUpdatedFromDFU.load(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
}

TEST_F(UpdateCommandTest, Cx3CameraIsErasedAndResetOverHidReports) {
  Prepare(L"CX3 Cam", L"04B4", L"00C3");
  camera_.Answer("InitExtensionUnit", 1);
  for (std::uint8_t status : {1, 1, 0}) {
    camera_.QueueHidReply(status);  // erase busy twice
  }
  camera_.QueueHidReply(3);  // the first reset failed; then no reply: the camera left
  UpdateAndConfirm();

  EXPECT_TRUE(camera_.Called("SetPreparseDataAndAttributes()"));
  EXPECT_TRUE(camera_.Called("DevicestateCX3SNI()"));
  EXPECT_EQ(camera_.Count("SetHidReport(AA010000,4)"), 1);
  EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)"), 2);
  EXPECT_EQ(camera_.Count("GetHidReport"), 5);
  EXPECT_TRUE(Traced(L"Flash erase completed, attempting to reset the device\n"));
  EXPECT_TRUE(Traced(L"Reset Failed, Attempting to reset again...\n"));
  EXPECT_TRUE(Traced(L"Device reset completed. Exiting. \n"));
  EXPECT_EQ(g_bMatchByUniqueID.load(), 1);
  EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 1);
  EXPECT_TRUE(Visible(IDC_STATIC_MODE_SWITCH));
  EXPECT_TRUE(Visible(IDC_PROGRESS_BAR));
  EXPECT_EQ(camera_.Count("FirmwareUpdate"), 0);
}

TEST_F(UpdateCommandTest, Cx3RouteEndsOnAnUnreadableEraseOrAResetThatNeverTakes) {
  Prepare(L"CX3 Cam", L"04B4", L"00C3");
  camera_.Answer("InitExtensionUnit", 1);
  dialog_.ShowItem(IDC_STATIC_MODE_SWITCH, false);
  UpdateAndConfirm();  // no reply at all
  EXPECT_TRUE(Traced(L"Flash Erase failed\r\n"));
  EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)"), 0);
  EXPECT_FALSE(Visible(IDC_STATIC_MODE_SWITCH));
  EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 0);

  camera_.QueueHidReply(0);
  for (int i = 0; i < 10; ++i) {
    camera_.QueueHidReply(3);
  }
  UpdateAndConfirm();
  EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)"), 10);
  EXPECT_TRUE(Traced(L"Reset Failed\n"));
  EXPECT_EQ(g_bUpdatedFromHIDMode.load(), 0);
  EXPECT_TRUE(Visible(IDC_STATIC_MODE_SWITCH));

  // An erase that never completes: 100 polls, then the controls without a reset.
  camera_.Answer("InitExtensionUnit", 1);
  for (int i = 0; i < 100; ++i) {
    camera_.QueueHidReply(1);
  }
  const int resets = camera_.Count("SetHidReport(AA020000,4)");
  UpdateAndConfirm();
  EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)"), resets);
}

}  // namespace
}  // namespace veltra::test

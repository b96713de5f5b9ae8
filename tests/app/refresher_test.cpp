// Which request the refresher thread serves first, how it stops, and how the Warning and Error
// dialogs close.
#include "app/refresher.h"

#include <string>
#include <vector>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "camera/selected_device.h"
#include "core/update_controller.h"

namespace veltra::test {
namespace {

class RefresherTest : public AppTest {
 protected:
  void SetUp() override {
    AddRecord(L"Veltra_C1", L"7E51", L"C1D0", L"\\\\?\\usb#cam");
    Select(0);
    camera_.Answer("InitExtensionUnit", 1);
  }

  bool WaitFor(Flag& flag, int value) {
    return dialog_.PumpUntil([&] { return flag.load() == value; });
  }
};

TEST_F(RefresherTest, VersionReadWinsWhenBothRequestsAreSet) {
  createThreadUpdateUI();
  ASSERT_NE(Controller().Refresher().hUIThread, kNullHandle);
  ASSERT_NE(Controller().Refresher().hUIEvent, kNullHandle);
  // Both requests as the dialog hands them over (the commands themselves refuse each other).
  Controller().Commands().RequestReset(camera::TakeSelectedCamera(0));
  Controller().Commands().RequestReadVersion(camera::TakeSelectedCamera(0));
  Sys().SetEventObject(Controller().Refresher().hUIEvent);
  ASSERT_TRUE(WaitFor(Controller().Commands().bReadVersionBusy, 0));
  EXPECT_EQ(camera_.Count("ReadFirmwareVersion"), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware Version Failed"});  // read refused
  EXPECT_EQ(camera_.Count("SendHIDCommandWithFirstByte"), 0);
  EXPECT_EQ(Controller().Commands().bResetBusy.load(), 1);  // not served by the same signal

  // The next signal serves the reset.
  Command(IDC_BTN_RESET);  // the refresher sends both resets: the dialog's, then the route's
  ASSERT_TRUE(WaitFor(Controller().Commands().bResetBusy, 0));
  EXPECT_EQ(camera_.Count("SendHIDCommandWithFirstByte(4)"), 2);
  EXPECT_EQ(camera_.Count("ReadFirmwareVersion"), 1);

  // READ F/W VERSION wakes it for one read.
  Command(IDC_BTN_READFW_VERSION);
  ASSERT_TRUE(WaitFor(Controller().Commands().bReadVersionBusy, 0));
  EXPECT_EQ(camera_.Count("ReadFirmwareVersion"), 2);
}

using StatusDialogTest = AppTest;

// The Warning dialog closes only on OK (which the camera's removal enables), never on Esc; the
// Error dialog also closes on Esc.
TEST_F(StatusDialogTest, WarningClosesOnlyOnOkAndTheErrorAlsoOnEsc) {
  dialog_.HoldModal(IDD_WARNING_DIALOG);
  const Handle worker = Sys().StartThread(
      [] { return static_cast<std::uint32_t>(Dialog().DialogBoxModal(IDD_WARNING_DIALOG)); });
  ASSERT_TRUE(dialog_.PumpUntil([&] { return dialog_.IsModalOpen(IDD_WARNING_DIALOG); }));
  EXPECT_EQ(WarningDialogProc(kWarnDlg, kWmCommand, CommandParam(2), 0), kDlgFalse);
  EXPECT_TRUE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
  WarningDialogProc(kWarnDlg, kWmCommand, CommandParam(IDC_BTN_CONFIRM_OK), 0);
  Sys().WaitThread(worker, 0);
  EXPECT_EQ(system_->ThreadExitCode(worker), 1u);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_WARNING_TIMEOUT));
  EXPECT_EQ(dialog_.ModalDialogsOpened(), std::vector<int>{IDD_WARNING_DIALOG});

  EXPECT_EQ(ErrorDialogProc(kErrorDlg, kWmCommand, CommandParam(2), 0), kDlgTrue);
  EXPECT_EQ(dialog_.EndedDialogs().back(), std::make_pair(Window::kWarnDialog, std::intptr_t{1}));
}

}  // namespace
}  // namespace veltra::test

// F/W UPDATE and the dispatch behind the confirmation dialog where no whole update reaches: the
// model check before the dialog, the pass a direct start takes, and the bounded CX3 erase and
// reset.
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "app_fixture.h"
#include "devices/device_table.h"
#include "sim/dfu_camera.h"
#include "support/firmware_files.h"

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
    Browse(WriteFile(file));
    shown_.EnableItem(IDC_BTN_EXIT, true);
  }
  bool Question() const {
    for (const auto& box : dialog_.MessageBoxes()) {
      if (box.caption == L"Veltra_FW_Updater" && box.style == (kMbYesNo | kMbIconWarning)) {
        return true;
      }
    }
    return false;
  }
  void Fresh() {
    Controller().ForgetDevices();
    shown_.ComboReset();
    dialog_.ClearRecords();
  }
  std::vector<int> Modals() const { return dialog_.ModalDialogsOpened(); }
};

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
    Fresh();
    Prepare(c.camera, L"7E51", L"C1D0", c.file);
    dialog_.QueueModalClose(IDD_CONFIRM_DIALOG);
    Command(IDC_BTN_FW_UPDATE);
    EXPECT_EQ(Question(), c.asks);
    EXPECT_EQ(Modals(), std::vector<int>{IDD_CONFIRM_DIALOG});  // default answer: Yes
  }

  // "No" stops before the confirmation dialog.
  Fresh();
  Prepare(L"Veltra_C1", L"7E51", L"C1D0", "unrelated.img");
  dialog_.QueueMessageBoxAnswer(kIdNo);
  Command(IDC_BTN_FW_UPDATE);
  EXPECT_TRUE(Question());
  EXPECT_TRUE(Modals().empty());
}

// A camera already in its update mode is opened and its worker started at once, with the pass
// its image takes there: a "DF01" camera writes the first part of a type-1 or type-2 image first,
// every other start the second part, which is what the camera then holds.
TEST_F(UpdateCommandTest, CameraInDfuModeStartsAtOnceWithThePassForItsImage) {
  const Bytes first = PayloadBytes(1500, 1), second = PayloadBytes(1500, 2);
  struct Case {
    std::uint16_t pid;
    std::uint8_t type;
    bool firstPart;
  };
  for (const Case& c : {Case{0xDF01, 2, true}, Case{0xDF01, 3, false}, Case{0xDF00, 1, false}}) {
    SCOPED_TRACE(std::to_string(c.pid) + "/" + std::to_string(c.type));
    Fresh();
    sim::DfuCamera::Options options;
    options.pid = c.pid;
    auto camera = std::make_shared<sim::DfuCamera>(options);
    bus_.Plug(camera);
    AddRecord(L"DFU Device_USB_1_HUB_1", L"7E51", c.pid == 0xDF01 ? L"DF01" : L"DF00",
              bus_.UsbInterfacePath(camera.get()).c_str());
    Select(0);
    Browse(WriteTempFile("fw.img", CombinedFile(c.type, first, second)).path);
    const auto before = clock_.NowMs();
    UpdateAndConfirm();
    // The worker reports to the dialog synchronously: the dialog runs until it has ended.
    ASSERT_TRUE(dialog_.PumpUntil([this] { return system_->RunningThreads() == 0; },
                                  std::chrono::milliseconds(20000)));
    EXPECT_GE(clock_.NowMs() - before, 6000u);  // 1 s after OK, 5 s after the start
    EXPECT_EQ(camera->Flash().image, c.firstPart ? first : second);
    bus_.Unplug(camera.get());
  }
}

// The erase is polled while the camera answers busy, and the reset is repeated while it answers
// that the reset failed; both loops end, and only a completed erase leads to a reset.
TEST_F(UpdateCommandTest, Cx3IsErasedAndResetOverHidReportsWithinTheirLimits) {
  // The boot image that brings the erased camera back is checked first: a good one lies beside
  // the program.
  system_->SetExecutableFolder(TestTempDir());
  WriteTempFile("bootloader.img", Fx3BootImage({{0x40003000, PayloadBytes(64)}}, 0x40003000));
  Prepare(L"CX3 Cam", L"04B4", L"00C3");
  camera_.Answer("InitExtensionUnit", 1);
  for (std::uint8_t status : {1, 1, 0, 3}) {  // erase busy twice, then the first reset failed
    camera_.QueueHidReply(status);
  }
  UpdateAndConfirm();  // the second reply to the reset is missing: the camera left
  EXPECT_EQ(camera_.Count("SetHidReport(AA010000,4)"), 1);
  EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)"), 2);
  EXPECT_EQ(camera_.Count("GetHidReport"), 5);
  EXPECT_TRUE(Visible(IDC_STATIC_MODE_SWITCH));
  EXPECT_EQ(camera_.Count("FirmwareUpdate"), 0);

  struct Case {
    std::uint8_t status;  // every reply
    int replies;
    int resets;  // reset requests sent
  };
  // A reset that never takes (ten tries); an erase that never ends (100 polls); no reply at all,
  // which ends the update at once.
  for (const Case& c : {Case{3, 10, 10}, Case{1, 100, 0}, Case{0, 0, 0}}) {
    SCOPED_TRACE(c.replies);
    if (c.resets > 0) {
      camera_.QueueHidReply(0);
    }
    for (int i = 0; i < c.replies; ++i) {
      camera_.QueueHidReply(c.status);
    }
    const int before = camera_.Count("SetHidReport(AA020000,4)");
    UpdateAndConfirm();
    EXPECT_EQ(camera_.Count("SetHidReport(AA020000,4)") - before, c.resets);
  }
  EXPECT_TRUE(Traced(L"Flash Erase failed\r\n"));
  EXPECT_TRUE(Traced(L"Reset Failed\n"));
  ASSERT_FALSE(dialog_.MessageBoxes().empty());
  EXPECT_EQ(dialog_.MessageBoxes().back().text, L"Firmware Download Failed!");
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
}

}  // namespace
}  // namespace veltra::test

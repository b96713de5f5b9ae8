// Whole updates on the bench that the desk's route table (desk_test.cpp) does not run: every image
// kind through the update mode, checked section by section and step by step in the dialog, and a
// camera found waiting in its boot ROM at start-up.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "scenario_fixture.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The dialog right after OK: the camera is told to switch and the update display runs.
void ExpectModeSwitchSent(const ShownControls& shown, const HeadlessDialog& dialog) {
  EXPECT_TRUE(shown.Item(IDC_STATIC_MODE_SWITCH).visible);
  EXPECT_TRUE(shown.Item(IDC_PROGRESS_BAR).visible);
  EXPECT_EQ(shown.Item(IDC_STATIC_STATUS).text, L"Erasing Memory...Please Wait...");
  EXPECT_FALSE(shown.Item(IDC_BTN_EXIT).enabled);
  EXPECT_FALSE(shown.Item(IDC_BTN_BROWSE).enabled);
  EXPECT_FALSE(shown.Item(IDC_COMBO_DEVICELIST).enabled);
  EXPECT_EQ(dialog.TimerPeriod(IDT_BLINK_ERASE), 200u);
}

TEST_F(ScenarioTest, GenericCameraTakesEveryImageKindThroughItsUpdateMode) {
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  StartProgram();
  const std::wstring entry = L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)";
  EXPECT_EQ(Entries(), std::vector<std::wstring>{entry});
  ExpectReadyFor(entry);
  EXPECT_TRUE(Enabled(IDC_BTN_RESET));
  EXPECT_TRUE(Enabled(IDC_BTN_READFW_VERSION));

  struct Kind {
    const char* example;
    std::uint8_t imageType;  // what FirmwareUpdate is told
  };
  int updates = 0;
  // MCU and FPGA files leave the image type as it was (0 at start); the others carry 3.
  for (const Kind& kind : {Kind{"mcu.img", 0}, Kind{"fpga.img", 0}, Kind{"combined_type3.img", 3},
                           Kind{"nxp_firmware.bin", 3}}) {
    SCOPED_TRACE(kind.example);
    dialog_.ClearRecords();
    // Named after the model's firmware ("Veltra_RX40M") so that the model check passes quietly.
    const std::wstring path =
        ExampleFile(kind.example, std::string("Veltra_RX40M_") + kind.example);
    Browse(path);
    EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), path);
    EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));

    UpdateAndConfirm();
    ExpectModeSwitchSent(shown_, dialog_);
    EXPECT_EQ(dialog_.TimerPeriod(IDT_TIMER_FOR_HD_ISSUE), 60000u);
    EXPECT_EQ(camera->LastImageType(), kind.imageType);

    Settle();
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
    EXPECT_EQ(camera->UpdatesCompleted(), ++updates);
    EXPECT_FALSE(camera->InUpdateMode());
    EXPECT_EQ(camera->Version(), NewFirmware());
    const Bytes file = ExampleBytes(kind.example);
    const sim::DfuFlash flash = camera->Flash();
    if (std::string(kind.example) == "mcu.img") {
      EXPECT_EQ(flash.mcu, FileSection(file, "kwipMCU", 0));
      EXPECT_EQ(flash.image, FileSection(file, "kwipIMG", 0));
    } else if (std::string(kind.example) == "fpga.img") {
      EXPECT_EQ(flash.fpga, FileSection(file, "kwipFPGA", 0));
      EXPECT_EQ(flash.image, FileSection(file, "kwipIMG", 0));
    } else if (std::string(kind.example) == "combined_type3.img") {
      EXPECT_EQ(flash.image, FileSection(file, "kwipIMG", 1, 1));  // type 3: the second image only
    } else {
      EXPECT_EQ(flash.image, file);  // unmarked: the whole file
    }
    // Back in the list, selected again by its serial, idle.
    EXPECT_EQ(Entries(), std::vector<std::wstring>{entry});
    ExpectReadyFor(entry);
    EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
    EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
  }
}

TEST_F(ScenarioTest, Rt1060RomFoundAtStartUpGetsTheFlashLoaderAndThenTheFirmware) {
  sim::NxpCamera::Options options;
  options.startMode = sim::NxpCamera::Mode::kRom;
  auto camera = Plug(std::make_shared<sim::NxpCamera>(options));
  StartProgram();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);
  // The ROM's WRITE_FILE as NXP's serial download protocol lays it out, big-endian: type 0x0404
  // at byte 1, the RAM address at 3, the format at 7 (unused by a file: 0), the byte count at 8.
  bool writeFileSeen = false;
  for (const auto& line : TrafficOf(traffic_.str(), "hid_out")) {
    const std::vector<std::uint8_t> r = HexField(line, "out");
    if (r.size() > 12 && r[0] == 1 && r[1] == 0x04 && r[2] == 0x04) {
      writeFileSeen = true;
      EXPECT_EQ(std::vector<std::uint8_t>(r.begin() + 3, r.begin() + 12),
                (std::vector<std::uint8_t>{0x20, 0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x51, 0x00}));
    }
  }
  EXPECT_TRUE(writeFileSeen);
  // The flash loader runs at high speed: on the connector's USB 2 port (USB(17)).
  const std::wstring entry = L"DFU HID Device_USB_1_HUB_0(VID_7E51,PID_DF02_0)";
  ExpectReadyFor(entry);

  const std::wstring path = ExampleFile("nxp_firmware.bin", "nxp_firmware.bin");
  Browse(path);
  ASSERT_FALSE(dialog_.FileRequests().empty());
  EXPECT_TRUE(dialog_.FileRequests().back().binFirst);  // the NXP route offers *.BIN first
  UpdateAndConfirm();
  Settle();
  const Bytes file = ExampleBytes("nxp_firmware.bin");
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, file.size()), file);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{SuccessTextFor(*camera)});
  ExpectReadyFor(L"Veltra_NX20(VID_7e51,PID_C2A0_0)");
}

}  // namespace
}  // namespace veltra::test

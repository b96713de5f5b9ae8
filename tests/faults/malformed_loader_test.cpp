// Damaged loader files beside the program, through the whole program: a camera that falls into a
// chip vendor's boot loader during its update (the CX3 camera into the FX3 boot ROM, the NXP
// camera into the RT1060 ROM) meets a missing, empty, cut or foreign loader file. Each case must
// end with its message or trace, with nothing sent that the ROM could take for a program to
// start, without a success message and without a hang; what the program can do once a good file
// is back in place is checked as well.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../app/scenario_fixture.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "image/firmware_image.h"
#include "loaders/fx3_download.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

const std::string kBootImageFile = "bootloader.img";
const std::string kFlashLoaderFile = "RT1060_Flashloader_nopadding.bin";
const std::wstring kCheckPathText = L"Check File Path!";

// A loader file as a case leaves it beside the program: nullopt removes it.
struct LoaderCase {
  const char* name;
  std::optional<Bytes> file;
  std::wstring box;          // the message box shown, empty for none
  std::wstring trace;        // a trace line that tells what was wrong
  bool traceAbsent = false;  // trace is a line that must not appear (nothing was started)
};

void PrintTo(const LoaderCase& c, std::ostream* os) {
  *os << c.name;
}

class MalformedLoaderTest : public ScenarioTest {
 protected:
  void PutLoader(const std::string& name, const std::optional<Bytes>& bytes) {
    if (bytes) {
      WriteTempFile(name, *bytes);
    } else {
      std::filesystem::remove(folder_ + "/" + name);
    }
  }
  // Traffic log lines of one device and kind of transfer.
  int Logged(const std::string& dev, const std::string& op) const {
    return static_cast<int>(TrafficOf(traffic_.str(), op, dev).size());
  }
  // The update is over and the user is told so once: the loader file's own problem when it
  // has one (missing, empty, the wrong size), otherwise the failed load; never the success
  // message, and never from inside the list's rebuild.
  void ExpectFailureTold(const LoaderCase& c) {
    const std::wstring told = c.box.empty() ? L"Firmware Download Failed!" : c.box;
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{told});
    for (const auto& box : dialog_.MessageBoxes()) {
      EXPECT_EQ(box.caption, L"Error");
      EXPECT_FALSE(box.duringListRebuild);
    }
    EXPECT_EQ(Traced(c.trace), !c.traceAbsent) << "trace for " << c.name;
  }
};

// ---- the CX3 camera and the FX3 boot image ----

Bytes GoodBootImage() {
  return Fx3BootImage({{0x40003000, PayloadBytes(4000, 12)}, {0x40000000, PayloadBytes(64, 13)}},
                      0x40003000);
}

std::vector<LoaderCase> BootImageCases() {
  const Bytes good = GoodBootImage();
  Bytes foreign = good;
  foreign[0] = 'M';
  foreign[1] = 'Z';
  Bytes hugeSection = good;
  fwgen::PutLe32(hugeSection, 4, 0x40000000);  // 2^30 words: wraps a 32-bit byte count to 0
  Bytes noEnd =
      Fx3BootImage({{0x40003000, PayloadBytes(4000, 12)}}, 0x40003000, {0x1C, 0xB0, false});
  noEnd.resize(noEnd.size() - 8);  // the terminating section is gone
  return {
      {"missing", std::nullopt, kCheckPathText, L"DoDownloadCypress ++\r\n", true},
      {"empty", Bytes{},
       L"The boot image file bootloader.img is empty.\r\nPlease put the right file next to the "
       L"program.",
       L"Loader file is empty....\r\n"},
      {"signature_only", Bytes{'C', 'Y'}, L"",
       L"DoDownloadCypress :: boot image signature not found\r\n"},
      {"cut_in_a_section", Bytes(good.begin(), good.begin() + 2000), L"",
       L"DoDownloadCypress :: boot image section runs past the end\r\n"},
      {"foreign_signature", foreign, L"",
       L"DoDownloadCypress :: boot image signature not found\r\n"},
      {"section_length_too_big", hugeSection, L"",
       L"DoDownloadCypress :: boot image section runs past the end\r\n"},
      {"no_terminating_section", noEnd, L"",
       L"DoDownloadCypress :: boot image has no terminating section\r\n"},
  };
}

class BootImageTest : public MalformedLoaderTest,
                      public ::testing::WithParamInterface<LoaderCase> {};

TEST_P(BootImageTest, RefusedWithoutTouchingTheRomAndWithoutSuccess) {
  const LoaderCase& c = GetParam();
  PutLoader(kBootImageFile, c.file);
  auto camera = Plug(std::make_shared<sim::Cx3Camera>());
  StartProgram();
  Browse(ExampleFile("mcu.img", "Veltra_CX3_mcu.img"));
  UpdateAndConfirm();
  Settle();

  ASSERT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kBootRom);
  ExpectFailureTold(c);
  const sim::Fx3Rom rom = camera->Rom();
  EXPECT_TRUE(rom.Writes().empty());
  EXPECT_EQ(rom.RefusedRequests(), 0);
  EXPECT_EQ(Logged("04B4:00F3", "cypress"), 0);
  EXPECT_FALSE(camera->FlashHoldsFirmware());
  EXPECT_FALSE(Traced(L"DoDownloadCypress --\r\n"));
  // The dialog is not left waiting for a camera that cannot come back.
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));

  // The good file back and the camera plugged in again: the ROM that stayed on the bus is not
  // taken over again until it leaves; on its return it is loaded, and the update goes through.
  PutLoader(kBootImageFile, GoodBootImage());
  dialog_.ClearRecords();
  bus_.Leave(camera.get());
  bus_.Return(camera.get());
  Settle();
  ASSERT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kLoadedProgram);
  EXPECT_FALSE(camera->Rom().Writes().empty());
  Browse(ExampleFile("mcu.img", "Veltra_CX3_mcu.img"));
  UpdateAndConfirm();
  Settle();
  EXPECT_TRUE(camera->FlashHoldsFirmware());
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  const std::vector<std::wstring> boxes = BoxTexts();
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), kSuccessText), boxes.end());
}

INSTANTIATE_TEST_SUITE_P(Cases, BootImageTest, ::testing::ValuesIn(BootImageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the NXP camera and the flash loader ----

constexpr std::size_t kFlashLoaderLength = 86272;  // what the ROM is told to expect

std::wstring FlashLoaderSizeText(std::size_t length) {
  return L"The flash loader file RT1060_Flashloader_nopadding.bin must be 86017 to 86272 bytes "
         L"long, but it is " +
         std::to_wstring(length) +
         L" bytes long.\r\nPlease put the right file next to the program.";
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<LoaderCase> FlashLoaderCases() {
  const Bytes good = PayloadBytes(kFlashLoaderLength, 14);
  return {
      {"missing", std::nullopt, kCheckPathText, L"DoDownloadNXPCypress ++\r\n", true},
      {"empty", Bytes{},
       L"The flash loader file RT1060_Flashloader_nopadding.bin is empty.\r\nPlease put the "
       L"right file next to the program.",
       L"Loader file is empty....\r\n"},
      // One byte short of filling the count the ROM is told, and one byte over it.
      {"cut_short", Bytes(good.begin(), good.end() - 256), FlashLoaderSizeText(86016),
       L"Flash loader file has the wrong size....\r\n"},
      {"too_long", Concat(good, Bytes{0}), FlashLoaderSizeText(86273),
       L"Flash loader file has the wrong size....\r\n"},
  };
}

class FlashLoaderTest : public MalformedLoaderTest,
                        public ::testing::WithParamInterface<LoaderCase> {};

TEST_P(FlashLoaderTest, RefusedWithoutTouchingTheRomEndsTheUpdateAndTheCameraIsUpdatedLater) {
  const LoaderCase& c = GetParam();
  PutLoader(kFlashLoaderFile, c.file);
  auto camera = Plug(std::make_shared<sim::NxpCamera>());
  StartProgram();
  const std::wstring file = ExampleFile("nxp_firmware.bin", "Veltra_NX20.bin");
  Browse(file);
  UpdateAndConfirm();
  Settle();

  ASSERT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kRom);
  const sim::Rt1060Rom rom = camera->Rom();
  EXPECT_TRUE(rom.Commands().empty());
  EXPECT_EQ(rom.DataReports(), 0);
  EXPECT_TRUE(rom.Loads().empty());
  EXPECT_EQ(Logged("1FC9:0135", "hid_out"), 0);
  EXPECT_FALSE(Traced(L"DoDownloadNXPCypress --\r\n"));
  ExpectFailureTold(c);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));

  // The good file back and the camera plugged in again: the ROM is taken over and the flash
  // loader waits; the user starts the update again and it goes through to the end.
  PutLoader(kFlashLoaderFile, PayloadBytes(kFlashLoaderLength, 14));
  dialog_.ClearRecords();
  bus_.Leave(camera.get());
  bus_.Return(camera.get());
  Settle();
  ASSERT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);
  EXPECT_TRUE(BoxTexts().empty());
  Browse(file);
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  const Bytes image = ExampleBytes("nxp_firmware.bin");
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, image.size()), image);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  ExpectReadyFor(L"Veltra_NX20(VID_7e51,PID_C2A0_0)");
}

INSTANTIATE_TEST_SUITE_P(Cases, FlashLoaderTest, ::testing::ValuesIn(FlashLoaderCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltra::test

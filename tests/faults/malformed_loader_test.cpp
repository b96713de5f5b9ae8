// Damaged loader files beside the program, through the whole program. The CX3 camera is erased
// and the NXP camera switched into its ROM only once the loader file that brings it back has been
// read and checked: a missing, empty, cut or foreign file is named with its reason, and the
// camera keeps running its firmware. A camera found waiting in its boot ROM is still taken over,
// and a bad file then leaves the ROM untouched. Each case ends without a success message and
// without a hang, and what the program can do once a good file is back in place is checked too.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../app/scenario_fixture.h"
#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "image/firmware_image.h"
#include "loaders/fx3_download.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

const std::string kBootImageFile = "bootloader.img";
const std::wstring kCheckPathText = L"Check File Path!";

// A loader file as a case leaves it beside the program: nullopt removes it.
struct LoaderCase {
  const char* name;
  std::optional<Bytes> file;
  std::wstring reason;       // why the update refuses it before the camera hears anything
  std::wstring box;          // the message box of a boot ROM's take-over, empty for none
  std::wstring trace;        // a trace line of a boot ROM's take-over
  bool traceAbsent = false;  // trace is a line that must not appear (nothing was started)
};

void PrintTo(const LoaderCase& c, std::ostream* os) {
  *os << c.name;
}

// What the user reads when the update refuses the file.
std::wstring RefusalText(const std::string& file, const std::wstring& reason) {
  return L"The file " + std::wstring(file.begin(), file.end()) +
         L" next to the program cannot be used: " + reason +
         L".\r\nNothing was sent to the camera; it keeps its current firmware. Please put the "
         L"right file next to the program and try again.";
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
  // Whether the program made that camera-library call.
  bool Called(const std::string& call) const {
    return traffic_.str().find("\"call\":\"" + call + "\"") != std::string::npos;
  }
  // The update was refused with one message and the dialog is ready for the next try.
  void ExpectRefused(const std::string& file, const LoaderCase& c) {
    ASSERT_EQ(dialog_.MessageBoxes().size(), 1u);
    EXPECT_EQ(dialog_.MessageBoxes()[0].text, RefusalText(file, c.reason));
    EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Error");
    EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
    EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
    EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
    EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
  }
  // A ROM's take-over with the bad file: its own message (or none) and trace, never success.
  void ExpectTakeOverRefused(const LoaderCase& c) {
    for (const auto& box : dialog_.MessageBoxes()) {
      EXPECT_EQ(box.text, c.box);
      EXPECT_EQ(box.caption, L"Error");
      EXPECT_FALSE(box.duringListRebuild);
    }
    EXPECT_EQ(dialog_.MessageBoxes().empty(), c.box.empty());
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
  const std::wstring header =
      L"it does not start with a boot image's header (\"CY\" and two more bytes)";
  const std::wstring pastEnd = L"one of its sections runs past the end of the file";
  return {
      {"missing", std::nullopt, L"it is missing", kCheckPathText, L"DoDownloadCypress ++\r\n",
       true},
      {"empty", Bytes{}, L"it is empty",
       L"The boot image file bootloader.img is empty.\r\nPlease put the right file next to the "
       L"program.",
       L"Loader file is empty....\r\n"},
      {"signature_only", Bytes{'C', 'Y'}, header, L"",
       L"DoDownloadCypress :: boot image signature not found\r\n"},
      {"cut_in_a_section", Bytes(good.begin(), good.begin() + 2000), pastEnd, L"",
       L"DoDownloadCypress :: boot image section runs past the end\r\n"},
      {"foreign_signature", foreign, header, L"",
       L"DoDownloadCypress :: boot image signature not found\r\n"},
      {"section_length_too_big", hugeSection, pastEnd, L"",
       L"DoDownloadCypress :: boot image section runs past the end\r\n"},
      {"no_terminating_section", noEnd,
       L"it ends before the section that names the program's entry point", L"",
       L"DoDownloadCypress :: boot image has no terminating section\r\n"},
  };
}

class BootImageTest : public MalformedLoaderTest,
                      public ::testing::WithParamInterface<LoaderCase> {};

// The camera is not erased: the boot image is refused first, and with a good one in place the
// next try updates the camera.
TEST_P(BootImageTest, RefusedBeforeTheEraseAndTheCameraKeepsItsFirmware) {
  const LoaderCase& c = GetParam();
  PutLoader(kBootImageFile, c.file);
  auto camera = Plug(std::make_shared<sim::Cx3Camera>());
  StartProgram();
  const sim::FirmwareVersion before = camera->Version();
  Browse(ExampleFile("mcu.img", "Veltra_CX3_mcu.img"));
  UpdateAndConfirm();
  Settle();

  ExpectRefused(kBootImageFile, c);
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  EXPECT_TRUE(camera->FlashHoldsFirmware());
  EXPECT_EQ(camera->Version(), before);
  EXPECT_FALSE(Called("SetHidReport")) << "the camera was sent a command";

  PutLoader(kBootImageFile, GoodBootImage());
  dialog_.ClearRecords();
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  EXPECT_EQ(camera->Version(), NewFirmware());
}

// A CX3 found waiting in its boot ROM is taken over all the same; the bad file leaves the ROM
// untouched, and the camera is loaded once it comes back with a good file in place.
TEST_P(BootImageTest, RomFoundWithoutAnUpdateIsLeftUntouchedUntilAGoodFileIsThere) {
  const LoaderCase& c = GetParam();
  PutLoader(kBootImageFile, c.file);
  sim::Cx3Camera::Options options;
  options.startMode = sim::Cx3Camera::Mode::kBootRom;
  auto camera = Plug(std::make_shared<sim::Cx3Camera>(options));
  StartProgram();

  ASSERT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kBootRom);
  ExpectTakeOverRefused(c);
  const sim::Fx3Rom rom = camera->Rom();
  EXPECT_TRUE(rom.Writes().empty());
  EXPECT_EQ(rom.RefusedRequests(), 0);
  EXPECT_EQ(Logged("04B4:00F3", "cypress"), 0);
  EXPECT_FALSE(Traced(L"DoDownloadCypress --\r\n"));
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));

  PutLoader(kBootImageFile, GoodBootImage());
  dialog_.ClearRecords();
  bus_.Leave(camera.get());
  bus_.Return(camera.get());
  Settle();
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kLoadedProgram);
  EXPECT_FALSE(camera->Rom().Writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BootImageTest, ::testing::ValuesIn(BootImageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the NXP camera and the flash loader ----

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
      {"missing", std::nullopt, L"it is missing", kCheckPathText, L"DoDownloadNXPCypress ++\r\n",
       true},
      {"empty", Bytes{}, L"it is empty",
       L"The flash loader file RT1060_Flashloader_nopadding.bin is empty.\r\nPlease put the "
       L"right file next to the program.",
       L"Loader file is empty....\r\n"},
      // One byte short of filling the count the ROM is told, and one byte over it.
      {"cut_short", Bytes(good.begin(), good.end() - 256),
       L"it must be 86017 to 86272 bytes long, but it is 86016 bytes long",
       FlashLoaderSizeText(86016), L"Flash loader file has the wrong size....\r\n"},
      {"too_long", Concat(good, Bytes{0}),
       L"it must be 86017 to 86272 bytes long, but it is 86273 bytes long",
       FlashLoaderSizeText(86273), L"Flash loader file has the wrong size....\r\n"},
  };
}

class FlashLoaderTest : public MalformedLoaderTest,
                        public ::testing::WithParamInterface<LoaderCase> {};

// The NXP camera, known by its product ID, is not switched into its ROM: the flash loader is
// refused first, and with a good one in place the next try updates the camera.
TEST_P(FlashLoaderTest, RefusedBeforeTheSwitchAndTheCameraKeepsItsFirmware) {
  const LoaderCase& c = GetParam();
  PutLoader(kFlashLoaderFile, c.file);
  auto camera = Plug(std::make_shared<sim::NxpCamera>());
  StartProgram();
  const sim::FirmwareVersion before = camera->Version();
  const std::wstring file = ExampleFile("nxp_firmware.bin", "Veltra_NX20.bin");
  Browse(file);
  UpdateAndConfirm();
  Settle();

  ExpectRefused(kFlashLoaderFile, c);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  EXPECT_EQ(camera->Version(), before);
  EXPECT_FALSE(Called("FirmwareUpdate")) << "the camera was told to switch";

  PutLoader(kFlashLoaderFile, PayloadBytes(kFlashLoaderLength, 14));
  dialog_.ClearRecords();
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  const Bytes image = ExampleBytes("nxp_firmware.bin");
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, image.size()), image);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{SuccessTextFor(*camera)});
  ExpectReadyFor(L"Veltra_NX20(VID_7e51,PID_C2A0_0)");
}

// An NXP camera found waiting in its ROM is taken over all the same; the bad file leaves the ROM
// untouched, and the flash loader is given to it once it comes back with a good file in place.
TEST_P(FlashLoaderTest, RomFoundWithoutAnUpdateIsLeftUntouchedUntilAGoodFileIsThere) {
  const LoaderCase& c = GetParam();
  PutLoader(kFlashLoaderFile, c.file);
  sim::NxpCamera::Options options;
  options.startMode = sim::NxpCamera::Mode::kRom;
  auto camera = Plug(std::make_shared<sim::NxpCamera>(options));
  StartProgram();

  ASSERT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kRom);
  const sim::Rt1060Rom rom = camera->Rom();
  EXPECT_TRUE(rom.Commands().empty());
  EXPECT_EQ(rom.DataReports(), 0);
  EXPECT_TRUE(rom.Loads().empty());
  EXPECT_EQ(Logged("1FC9:0135", "hid_out"), 0);
  EXPECT_FALSE(Traced(L"DoDownloadNXPCypress --\r\n"));
  ExpectTakeOverRefused(c);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));

  ExpectRomLoadedOnceLoaderIsGood(*camera);
}

INSTANTIATE_TEST_SUITE_P(Cases, FlashLoaderTest, ::testing::ValuesIn(FlashLoaderCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltra::test

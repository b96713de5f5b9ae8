// Files the program refuses, each through the whole program: what the user is told and what the
// camera holds afterwards. A camera alone on the bus, as on most desks.
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "scenario_fixture.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::wstring kNxpEntry = L"Veltra_NX20(VID_7e51,PID_C2A0_0)";

std::wstring NxpTooLargeText() {
  return L"The firmware image is too large for this camera: it can take at most 95904 "
         L"bytes.\r\nNothing was written; the camera keeps its current firmware.";
}

std::wstring ImageTypeText(int type) {
  return L"This firmware file cannot be used: its image type is " + std::to_wstring(type) +
         L", and only image types 1, 2 and 3 can be written.\r\nPlease choose another firmware "
         L"file.";
}

// A file that cannot be used is refused when it is chosen, after a good one: the user is told,
// the path box empties, F/W UPDATE goes off, and even a press that slipped through sends the
// camera nothing. A combined image whose type no pass rule knows is told as such; a damaged file
// or a folder is refused as a file that cannot be read. A file of type 3 is then taken as usual.
TEST_F(ScenarioTest, UnusableFilesAreRefusedInBrowse) {
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  StartProgram();
  const std::wstring entry = L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)";
  const sim::FirmwareVersion before = camera->Version();
  const std::wstring good = ExampleFile("mcu.img", "Veltra_RX40M_mcu.img");
  const Bytes mcu = ExampleBytes("mcu.img");
  const std::string folder = TestTempDir() + "/a_folder.img";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  struct Case {
    const char* name;
    std::wstring path;
    std::wstring text;  // empty: some refusal
  };
  const auto file = [](const char* name, const Bytes& bytes) {
    return WriteTempFile(name, bytes).path;
  };
  const Case cases[] = {
      {"type 0", file("Veltra_RX40M_t0.img", CombinedFileBytes(0)), ImageTypeText(0)},
      {"type 4", file("Veltra_RX40M_t4.img", CombinedFileBytes(4)), ImageTypeText(4)},
      {"type 255", file("Veltra_RX40M_t255.img", CombinedFileBytes(0xFF)), ImageTypeText(255)},
      {"empty", file("empty.img", {}), L""},
      {"cut in its header", file("cut.img", Bytes(mcu.begin(), mcu.begin() + 12)), L""},
      {"section past the end", file("half.img", Bytes(mcu.begin(), mcu.begin() + mcu.size() / 2)),
       L""},
      {"a folder", WindowsPath(folder), L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Browse(good);
    ASSERT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
    dialog_.ClearRecords();
    traffic_.str("");
    Browse(c.path);
    if (c.text.empty()) {
      EXPECT_FALSE(BoxTexts().empty());
    } else {
      EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{c.text});
    }
    EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
    ExpectReadyFor(entry);
    EXPECT_EQ(traffic_.str(), "");
    UpdateAndConfirm();
    Settle();
    EXPECT_EQ(camera->TransferCount(), 0);
    EXPECT_FALSE(camera->InUpdateMode());
  }
  EXPECT_EQ(camera->UpdatesCompleted(), 0);
  EXPECT_EQ(camera->Version(), before);

  dialog_.ClearRecords();
  Browse(ExampleFile("combined_type3.img", "Veltra_RX40M_combined.img"));
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_TRUE(Enabled(IDC_BTN_FW_UPDATE));
}

// An NXP image that the erased region cannot hold is refused before the erase: the camera keeps
// its firmware and comes back with it on a re-plug. One that exactly fits is then written whole.
TEST_F(ScenarioTest, NxpImageLargerThanTheErasedRegionIsRefusedBeforeTheErase) {
  auto camera = Plug(std::make_shared<sim::NxpCamera>());
  StartProgram();
  ExpectReadyFor(kNxpEntry);
  const sim::FirmwareVersion before = camera->Version();
  const Bytes factory = camera->FlashBytes(0x60000000, 0x20000);

  const Bytes tooLarge = fwgen::StampedPayload(95905, kNewVersion, 21);
  Browse(WriteTempFile("Veltra_NX20.bin", tooLarge).path);
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{NxpTooLargeText()});
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_EQ(camera->FlashBytes(0x60000000, 0x20000), factory);

  bus_.Replug(camera.get());
  Settle();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  EXPECT_EQ(camera->Version(), before);
  ExpectReadyFor(kNxpEntry);

  dialog_.ClearRecords();
  const Bytes fits = fwgen::StampedPayload(95904, kNewVersion, 22);
  Browse(WriteTempFile("Veltra_NX20.bin", fits).path);
  UpdateAndConfirm();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{SuccessTextFor(*camera)});
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, fits.size()), fits);
  EXPECT_NE(camera->Version(), before);
  EXPECT_EQ(sim::ToString(camera->Version()), "2.1.7.3");
}

// A flash loader file shorter than the count the ROM is told is taken when its zero-filled last
// report fills the count: the ROM starts it and the update goes through. (Files that cannot fill
// the count, or overrun it, are among the malformed loaders.)
TEST_F(ScenarioTest, NxpUpdateTakesAFlashLoaderThatFillsTheCountWithItsLastReport) {
  Bytes loader = ExampleBytes("RT1060_Flashloader_nopadding.bin");
  loader.resize(86017);
  WriteTempFile("RT1060_Flashloader_nopadding.bin", loader);
  auto camera = Plug(std::make_shared<sim::NxpCamera>());
  StartProgram();

  Browse(ExampleFile("nxp_firmware.bin", "Veltra_NX20.bin"));
  UpdateAndConfirm();
  Settle();
  const Bytes file = ExampleBytes("nxp_firmware.bin");
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{SuccessTextFor(*camera)});
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, file.size()), file);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  ExpectReadyFor(kNxpEntry);
}

}  // namespace
}  // namespace veltra::test

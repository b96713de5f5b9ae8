// Cameras found waiting in a chip vendor's boot ROM, through the whole program: what is told about
// a loader file that cannot be used, how often a ROM is tried, one ROM loaded at a time, and a ROM
// that is not the updated camera's beside an update.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "app_fixture.h"
#include "scenario_fixture.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

const std::string kBootImageFile = "bootloader.img";

// A USB stick: plugged in and pulled out, it makes the program rebuild its list twice.
class Stick : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x0781, 0x5567}; }
};

// An RT1060 ROM whose HID channel does not open (Init_HIDHandle answers 0).
class DeafRt1060Rom : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x1FC9, 0x0135}; }
};

std::shared_ptr<sim::NxpCamera> NxpInRom() {
  sim::NxpCamera::Options options;
  options.serial = L"NXPROM0001";
  options.startMode = sim::NxpCamera::Mode::kRom;
  return std::make_shared<sim::NxpCamera>(options);
}

std::shared_ptr<sim::Cx3Camera> Cx3InRom(const wchar_t* serial) {
  sim::Cx3Camera::Options options;
  options.serial = serial;
  options.startMode = sim::Cx3Camera::Mode::kBootRom;
  return std::make_shared<sim::Cx3Camera>(options);
}

class TakeOverTest : public ScenarioTest {
 protected:
  // A stick comes and goes: two more notifications, each rebuilding the list.
  void StickComesAndGoes() {
    auto stick = std::make_shared<Stick>();
    bus_.PlugAt(clock_.NowMs() + 100, stick);
    bus_.UnplugAt(clock_.NowMs() + 600, stick.get());
    Settle();
  }
  int LibraryCalls(const std::string& call) const {
    const auto lines = TrafficOf(traffic_.str(), "library");
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
      return line.value("call", "") == call;
    }));
  }
  void ExpectNoBoxDuringARebuild() const {
    for (const auto& box : dialog_.MessageBoxes()) {
      EXPECT_FALSE(box.duringListRebuild) << Narrow(box.text.c_str());
    }
  }
};

// ---- a flash loader file that cannot be used
// -----------------------------------------------------

struct LoaderNotice {
  const char* name;
  Bytes file;
  std::wstring text;
};
void PrintTo(const LoaderNotice& c, std::ostream* os) {
  *os << c.name;
}

std::vector<LoaderNotice> LoaderNotices() {
  return {
      {"empty", Bytes{},
       L"The flash loader file RT1060_Flashloader_nopadding.bin is empty.\r\nPlease put the "
       L"right file next to the program."},
      {"cut_short", PayloadBytes(86016, 14),
       L"The flash loader file RT1060_Flashloader_nopadding.bin must be 86017 to 86272 bytes "
       L"long, but it is 86016 bytes long.\r\nPlease put the right file next to the program."},
  };
}

class LoaderNoticeTest : public TakeOverTest, public ::testing::WithParamInterface<LoaderNotice> {};

// An RT1060 ROM found at start-up with a flash loader file that cannot be used: the user is told
// which problem it is once for as long as the ROM stays, whatever else comes and goes, and never
// from inside the list's rebuild. The ROM is left untouched; once the file is right and the ROM
// comes again, it is loaded.
TEST_P(LoaderNoticeTest, SaidOncePerAppearanceOfTheRom) {
  const LoaderNotice& c = GetParam();
  WriteTempFile(kFlashLoaderFile, c.file);
  auto camera = Plug(NxpInRom());
  StartProgram();
  StickComesAndGoes();

  ASSERT_EQ(BoxTexts(), std::vector<std::wstring>{c.text});
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Error");
  ExpectNoBoxDuringARebuild();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kRom);
  EXPECT_TRUE(camera->Rom().Commands().empty());
  EXPECT_EQ(camera->Rom().DataReports(), 0);

  ExpectRomLoadedOnceLoaderIsGood(*camera);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoaderNoticeTest, ::testing::ValuesIn(LoaderNotices()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- take-overs --------------------------------------------------------------------------------

// Two CX3 cameras found in their FX3 boot ROMs at start-up: both are loaded, one after the other,
// each on its own handle, and no handle stays open once the loads are over.
TEST_F(TakeOverTest, TwoFx3RomsAreLoadedOneAtATimeAndNoHandleStaysOpen) {
  auto first = Plug(Cx3InRom(L"CX3ROM0001"));
  auto second = Plug(Cx3InRom(L"CX3ROM0002"));
  StartProgram();
  EXPECT_EQ(first->CurrentMode(), sim::Cx3Camera::Mode::kLoadedProgram);
  EXPECT_EQ(second->CurrentMode(), sim::Cx3Camera::Mode::kLoadedProgram);
  EXPECT_EQ(first->Rom().RefusedRequests(), 0);
  EXPECT_EQ(second->Rom().RefusedRequests(), 0);
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_TRUE(BoxTexts().empty());
}

// An RT1060 ROM whose HID channel does not open is tried once per appearance, not at every
// notification (each try held the dialog for the ROM's 5 s settling pause).
TEST_F(TakeOverTest, Rt1060RomThatCannotBeOpenedIsTriedOncePerAppearance) {
  auto rom = Plug(std::make_shared<DeafRt1060Rom>());
  StartProgram();
  StickComesAndGoes();
  EXPECT_EQ(LibraryCalls("Init_HIDHandle"), 1);
  bus_.Leave(rom.get());
  bus_.Return(rom.get());
  Settle();
  EXPECT_EQ(LibraryCalls("Init_HIDHandle"), 2);
  EXPECT_TRUE(BoxTexts().empty());
}

// An NXP camera whose own RT1060 ROM cannot be opened once it has switched: nothing can be sent,
// the ROM is held, and the update's minute still runs out with its message and EXIT back, instead
// of waiting for ever for a camera that cannot come back.
class NxpCameraWithDeafRom : public sim::NxpCamera {
 public:
  bool HasHidInterface() const override {
    return CurrentMode() != Mode::kRom && sim::NxpCamera::HasHidInterface();
  }
};

TEST_F(TakeOverTest, OwnRt1060RomThatCannotBeOpenedEndsTheUpdateWithItsMessage) {
  auto camera = Plug(std::make_shared<NxpCameraWithDeafRom>());
  StartProgram();
  const sim::FirmwareVersion before = camera->Version();
  Browse(ExampleFile("nxp_firmware.bin", "Veltra_NX20.bin"));
  UpdateAndConfirm();
  Settle();
  ASSERT_TRUE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE)) << "nothing would end the update";
  clock_.Advance(60000);
  dialog_.FireDueTimers();
  Settle();
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kRom);
  EXPECT_EQ(camera->Version(), before);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::wstring>{L"The camera did not enter its firmware update mode.\r\n"
                                      L"Please re-plug the camera and try again."});
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}

// A boot ROM that is not the updated camera's comes while a generic camera is away switching into
// its update mode. Whether the ROM's load fails or cannot start, the generic camera's update goes
// on to its end: the success message, the new firmware in the camera.
struct ForeignRom {
  const char* name;
  std::function<std::shared_ptr<sim::VirtualDevice>(TakeOverTest&)> make;
};
void PrintTo(const ForeignRom& c, std::ostream* os) {
  *os << c.name;
}

class ForeignRomTest : public TakeOverTest, public ::testing::WithParamInterface<ForeignRom> {};

TEST_P(ForeignRomTest, NeverEndsStallsOrReArmsTheUpdate) {
  const std::shared_ptr<sim::VirtualDevice> rom = GetParam().make(*this);
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  StartProgram();
  Browse(ExampleFile("mcu.img", "Veltra_RX40M_mcu.img"));
  UpdateAndConfirm();
  ASSERT_FALSE(bus_.IsPresent(camera.get()));
  bus_.PlugAt(clock_.NowMs() + 100, rom);
  Settle();

  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_EQ(camera->UpdatesCompleted(), 1);
  EXPECT_EQ(camera->Version(), NewFirmware());
  EXPECT_FALSE(camera->InUpdateMode());
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForeignRomTest,
    ::testing::Values(ForeignRom{"fx3_with_a_damaged_boot_image",
                                 [](TakeOverTest&) -> std::shared_ptr<sim::VirtualDevice> {
                                   WriteTempFile(kBootImageFile, Bytes{'C', 'Y'});
                                   return Cx3InRom(L"CX3ROM0001");
                                 }},
                      ForeignRom{"rt1060_that_cannot_be_opened",
                                 [](TakeOverTest&) -> std::shared_ptr<sim::VirtualDevice> {
                                   return std::make_shared<DeafRt1060Rom>();
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltra::test

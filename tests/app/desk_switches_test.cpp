// Every update route across what nothing documents about the cameras (sim::Unknowns): which
// serial their update modes report, whether the library holds the flash loader's HID device
// without sharing, a return up to 50 s late while Windows installs a driver, and a return on the
// connector's USB 2 port. Whatever the values, each update ends as the camera makes true, and the
// bench shows what the camera holds.
//
// CI runs the harsh case and each switch turned alone from it; VELTRA_EVERY_SWITCH=1 runs every
// combination.
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "desk_fixture.h"

namespace veltra::test {
namespace {

// Long enough for the 126 characters Windows reports.
std::wstring SerialOf(const std::wstring& head, std::size_t length) {
  std::wstring serial = head;
  while (serial.size() < length) {
    serial += static_cast<wchar_t>(L'0' + serial.size() % 10);
  }
  return serial.substr(0, length);
}

struct Desk {
  Route route;
  std::string switches;
  sim::Unknowns unknowns;
};
void PrintTo(const Desk& desk, std::ostream* out) {
  *out << desk.route.name << "_" << desk.switches;
}

std::string NameOf(const sim::Unknowns& u) {
  const char* serial = u.updateModeSerial == sim::UpdateModeSerial::kCameraSerial ? "OwnSerial"
                       : u.updateModeSerial == sim::UpdateModeSerial::kNone       ? "NoSerial"
                                                                                  : "FamilySerial";
  return std::string(serial) + (u.exclusiveLoaderHid ? "_HidHeld" : "_HidShared") +
         (u.driverInstallMs > 0 ? "_Late" : "_Prompt") +
         (u.companionPortInBootModes ? "_Companion" : "_SamePort");
}

std::vector<sim::Unknowns> SwitchValues() {
  const sim::Unknowns harsh;
  const char* every = std::getenv("VELTRA_EVERY_SWITCH");
  std::vector<sim::Unknowns> values;
  if (every != nullptr && every[0] == '1') {
    for (auto serial : {sim::UpdateModeSerial::kCameraSerial, sim::UpdateModeSerial::kNone,
                        sim::UpdateModeSerial::kFamilySerial}) {
      for (bool held : {false, true}) {
        for (std::uint32_t late : {0u, sim::Unknowns::kMaxDriverInstallMs}) {
          for (bool companion : {false, true}) {
            values.push_back({serial, held, late, companion});
          }
        }
      }
    }
    return values;
  }
  values.push_back(harsh);
  for (auto serial : {sim::UpdateModeSerial::kCameraSerial, sim::UpdateModeSerial::kNone}) {
    sim::Unknowns u = harsh;
    u.updateModeSerial = serial;
    values.push_back(u);
  }
  sim::Unknowns shared = harsh;
  shared.exclusiveLoaderHid = false;
  values.push_back(shared);
  sim::Unknowns prompt = harsh;
  prompt.driverInstallMs = 0;
  values.push_back(prompt);
  sim::Unknowns samePort = harsh;
  samePort.companionPortInBootModes = false;
  values.push_back(samePort);
  return values;
}

// Every route with an update mode, across the switch values that apply to it (switch 5 only to
// the flash loader's route).
std::vector<Desk> Desks() {
  std::vector<Desk> desks;
  for (const Route& route : Routes()) {
    if (!route.waiting) {
      // The Sunplus route has no update mode: the switches do not apply.
      desks.push_back({route, "NoUpdateMode", sim::Unknowns{}});
      continue;
    }
    for (const sim::Unknowns& u : SwitchValues()) {
      if (!route.flashLoader && !u.exclusiveLoaderHid) {
        continue;
      }
      desks.push_back({route, NameOf(u), u});
    }
  }
  return desks;
}

class DeskSwitchTest : public DeskTest, public ::testing::WithParamInterface<Desk> {
 protected:
  // The entry of the route's camera, whatever its index.
  bool SelectedIsTheRoutesCamera() {
    const std::wstring prefix = GetParam().route.entry(0);
    return SelectedEntry().rfind(prefix.substr(0, prefix.size() - 2), 0) == 0;
  }
  void ExpectEndedOnTheCamera() {
    EXPECT_TRUE(SelectedIsTheRoutesCamera())
        << "selected: " << std::string(SelectedEntry().begin(), SelectedEntry().end());
    EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
    EXPECT_FALSE(Visible(IDC_PROGRESS_BAR));
    EXPECT_EQ(dialog_.TimedOutWaits(), 0);
  }
};

// The commonest desk: the camera, with a serial of the 126 characters Windows reports, is the only
// device on the bus from start to end.
TEST_P(DeskSwitchTest, LoneCameraIsUpdatedAndSelectedAgain) {
  const Desk& desk = GetParam();
  auto camera = Plug(desk.route.make(SerialOf(L"LONE", 126), desk.unknowns));
  StartProgram();
  ExpectReadyFor(desk.route.entry(0));
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(desk.route.example);
  Settle();
  ExpectSuccessSeen(desk.route.endsWithWarning, *camera);
  EXPECT_TRUE(desk.route.updated(*camera, ExampleBytes(desk.route.example)));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{desk.route.entry(0)});
  ExpectReadyFor(desk.route.entry(0));
}

// The camera is found waiting in its update mode (with the serial the switch gives it there, or
// none): it is updated from there, and once it runs the new firmware it is the one selected.
TEST_P(DeskSwitchTest, CameraFoundInItsUpdateModeIsUpdatedAndSelectedAgain) {
  const Desk& desk = GetParam();
  if (!desk.route.waiting) {
    GTEST_SKIP() << "the Sunplus route has no update mode";
  }
  auto other = Plug(desk.route.make(L"7", desk.unknowns));  // the shortest serial there is
  auto camera = Plug(desk.route.waiting(SerialOf(L"WAITING", 30), desk.unknowns));
  StartProgram();
  ASSERT_EQ(Entries().size(), 2u);
  const std::wstring prefix = desk.route.entry(0);
  Pick(Entries()[0].rfind(prefix.substr(0, prefix.size() - 2), 0) == 0 ? 1 : 0);
  ASSERT_FALSE(SelectedIsTheRoutesCamera());
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(desk.route.example);
  Settle();
  // From its update mode no route's family is known: every one ends with the success message.
  ExpectSuccessSeen(false, *camera);
  const Bytes file = ExampleBytes(desk.route.example);
  EXPECT_TRUE(desk.route.updated(*camera, file));
  EXPECT_FALSE(desk.route.updated(*other, file));
  ExpectEndedOnTheCamera();
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{desk.route.entry(0), desk.route.entry(1)}));
  EXPECT_EQ(SelectedEntry(), desk.route.entry(1));
}

// Two cameras of the same model whose serials share their first 10 characters; the second one
// listed is updated, even though the user picks the other one while it switches, and is the
// one selected afterwards; the first keeps its firmware.
TEST_P(DeskSwitchTest, SecondOfTwoIdenticalCamerasIsUpdatedAndSelectedAgain) {
  const Desk& desk = GetParam();
  if (!desk.route.waiting) {
    GTEST_SKIP() << "two cameras of the Sunplus route are refused (DeskTest)";
  }
  auto first = Plug(desk.route.make(SerialOf(L"TWINSERIAL-A", 40), desk.unknowns));
  auto second = Plug(desk.route.make(SerialOf(L"TWINSERIAL-B", 40), desk.unknowns));
  StartProgram();
  const std::vector<std::wstring> entries{desk.route.entry(0), desk.route.entry(1)};
  ASSERT_EQ(Entries(), entries);
  Pick(1);
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(desk.route.example);
  Pick(0);
  Settle();
  ExpectSuccessSeen(desk.route.endsWithWarning, *second);
  const Bytes file = ExampleBytes(desk.route.example);
  EXPECT_TRUE(desk.route.updated(*second, file));
  EXPECT_FALSE(desk.route.updated(*first, file));
  EXPECT_EQ(Entries(), entries);
  ExpectReadyFor(desk.route.entry(1));
}

// Another camera of the route waits in its update mode from the start, and a third arrives in
// it while the camera is away: each reports the serial the switch gives (none, or the family's
// fixed one). Neither is ever taken or sent anything.
TEST_P(DeskSwitchTest, BystandersInUpdateModeAreNeverTaken) {
  const Desk& desk = GetParam();
  if (!desk.route.waiting) {
    GTEST_SKIP() << "the Sunplus route has no update mode";
  }
  auto camera = Plug(desk.route.make(SerialOf(L"CAMERA", 12), desk.unknowns));
  auto before = Plug(desk.route.waiting(L"BYSTANDER1", desk.unknowns));
  auto arriving = desk.route.waiting(L"BYSTANDER2", desk.unknowns);
  StartProgram();
  ASSERT_EQ(Entries().size(), 2u);
  const std::wstring prefix = desk.route.entry(0);
  Pick(Entries()[0].rfind(prefix.substr(0, prefix.size() - 2), 0) == 0 ? 0 : 1);
  ASSERT_TRUE(SelectedIsTheRoutesCamera());
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(desk.route.example);
  bus_.PlugAt(clock_.NowMs() + 200, arriving);
  Settle();
  ExpectSuccessSeen(desk.route.endsWithWarning, *camera);
  EXPECT_TRUE(desk.route.updated(*camera, ExampleBytes(desk.route.example)));
  EXPECT_EQ(before->TransferCount(), 0);
  EXPECT_EQ(arriving->TransferCount(), 0);
  ExpectEndedOnTheCamera();
}

INSTANTIATE_TEST_SUITE_P(EverySwitch, DeskSwitchTest, ::testing::ValuesIn(Desks()),
                         [](const ::testing::TestParamInfo<Desk>& info) {
                           return std::string(info.param.route.name) + "_" + info.param.switches;
                         });

}  // namespace
}  // namespace veltra::test

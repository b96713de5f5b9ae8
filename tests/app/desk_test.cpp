// Whole updates on a desk as users have it: other devices that come and go meanwhile, a camera
// found in its update mode, two cameras of the Sunplus route (every route across the bench's
// switches: desk_switches_test.cpp). A camera that re-enumerates comes back after its
// re-enumeration time on the program's clock, whatever the program is doing then; the ROM's second
// notification, for instance, may be handled before its flash loader is back, as on Windows.
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "desk_fixture.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"

namespace veltra::test {
namespace {

// ---- other devices during an update
// --------------------------------------------------------------

struct Visitor {
  const char* name;
  std::function<std::shared_ptr<sim::VirtualDevice>()> make;
};
const Visitor kVisitors[] = {
    {"camera",
     [] {
       sim::DfuModeCamera::Options o;
       o.serial = L"VISIT00001";
       o.name = L"Veltra_Visitor";
       return std::make_shared<sim::GenericCamera>(o);
     }},
    {"stick",
     [] {
       return std::make_shared<ForeignDevice>(sim::UsbId{0x0781, 0x5567}, false);
     }},
    {"keyboard",
     [] {
       return std::make_shared<ForeignDevice>(sim::UsbId{0x046D, 0xC31C}, true);
     }},
};

struct Visit {
  Visitor visitor;
  bool duringWorker;
};
void PrintTo(const Visit& visit, std::ostream* out) {
  *out << visit.visitor.name << (visit.duringWorker ? " during the worker" : " while away");
}
std::vector<Visit> Visits() {
  std::vector<Visit> visits;
  for (const Visitor& visitor : kVisitors) {
    visits.push_back({visitor, false});
    visits.push_back({visitor, true});
  }
  return visits;
}

class DeskVisitorTest : public DeskTest, public ::testing::WithParamInterface<Visit> {};

// A generic camera is updated while another device is plugged in and pulled out again: while the
// camera is away switching into its update mode, or while the update worker is checking the
// camera's state before its download. Neither changes anything about the update.
TEST_P(DeskVisitorTest, OtherDeviceComingAndGoingChangesNothing) {
  const Visit& visit = GetParam();
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  StartProgram();
  const std::shared_ptr<sim::VirtualDevice> other = visit.visitor.make();

  UpdateWith("mcu.img");
  if (visit.duringWorker) {
    // Plugged at the worker's first request to the camera in update mode, pulled out 10 ms later
    // on the program's clock while the worker still checks the camera's state.
    hook_.AtNextTransfer([this, other] {
      bus_.PlugAt(clock_.NowMs(), other);
      bus_.UnplugAt(clock_.NowMs() + 10, other.get());
    });
  } else {
    ASSERT_FALSE(bus_.IsPresent(camera.get()));
    bus_.PlugAt(clock_.NowMs() + 200, other);
    bus_.UnplugAt(clock_.NowMs() + 700, other.get());
  }
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_TRUE(DfuCameraUpdated(*camera, {}));
  EXPECT_FALSE(TrafficMentions("\"dev\":\"0781")) << "the stick was sent something";
  EXPECT_FALSE(TrafficMentions("\"dev\":\"046D")) << "the keyboard was sent something";
  if (auto visiting = std::dynamic_pointer_cast<sim::GenericCamera>(other)) {
    EXPECT_EQ(visiting->UpdatesCompleted(), 0);
    EXPECT_EQ(visiting->LastImageType(), 0);
  }
  ExpectReadyFor(L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)");
}

INSTANTIATE_TEST_SUITE_P(EveryVisitor, DeskVisitorTest, ::testing::ValuesIn(Visits()),
                         [](const ::testing::TestParamInfo<Visit>& info) {
                           return std::string(info.param.visitor.name) +
                                  (info.param.duringWorker ? "DuringWorker" : "WhileAway");
                         });

// A camera that never comes back from its mode switch, while a stick comes and goes and another
// camera arrives in its update mode without a serial: the update ends with its message after the
// minute, EXIT is back, and the other camera is sent nothing.
TEST_F(DeskTest, CameraThatNeverReturnsIsToldWhateverComesAndGoes) {
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  camera->SetReturnScheduler([](const std::function<void()>& /*comeBack*/) {});
  StartProgram();
  sim::DfuModeCamera::Options waiting;
  waiting.serial.clear();
  waiting.startInUpdateMode = true;
  auto other = std::make_shared<sim::GenericCamera>(waiting);
  auto stick = std::make_shared<ForeignDevice>(sim::UsbId{0x0781, 0x5567}, false);

  UpdateWith("mcu.img");
  const std::uint64_t switched = clock_.NowMs();
  bus_.PlugAt(switched + 10000, stick);
  bus_.PlugAt(switched + 30000, other);
  bus_.UnplugAt(switched + 50000, stick.get());
  Settle();
  EXPECT_TRUE(BoxTexts().empty());
  // The minute from the switch, whatever came and went meanwhile.
  ASSERT_LE(clock_.NowMs(), switched + 60000);
  clock_.Advance(switched + 60000 - clock_.NowMs());
  dialog_.FireDueTimers();
  Settle();
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"The camera did not enter its firmware update "
                                                  L"mode.\r\nPlease re-plug the camera and try "
                                                  L"again."});
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_EQ(other->TransferCount(), 0);
  EXPECT_FALSE(TrafficMentions("\"dev\":\"0781")) << "the stick was sent something";
}

// ---- update mode and the Sunplus route ---------------------------------------------------------

// Where the host controller sits: on the root complex, or behind a PCI bridge, whose location
// path has one PCI(...) element more; the name's hub digits then come from other characters of
// it, and the camera is still listed and updated.
struct Controller {
  const char* name;
  bool behindPciBridge;
  const wchar_t* entry;  // the entry's exact text, or null: only listed under some suffix
};
const Controller kControllers[] = {
    {"OnTheRootComplex", false, L"DFU Device_USB_1_HUB_1(VID_7E51,PID_DF01_0)"},
    {"BehindAPciBridge", true, nullptr},
};
void PrintTo(const Controller& controller, std::ostream* out) {
  *out << controller.name;
}
class DeskUpdateModeTest : public DeskTest, public ::testing::WithParamInterface<Controller> {};

// A Pesca camera found waiting in its update mode takes a two-pass image: after the first pass
// it comes back under the path it had, is opened again and takes the second pass.
TEST_P(DeskUpdateModeTest, CameraFoundInUpdateModeTakesATwoPassImage) {
  const Controller& controller = GetParam();
  bus_.SetBehindPciBridge(controller.behindPciBridge);
  sim::DfuModeCamera::Options options = sim::PescaOptions();
  options.startInUpdateMode = true;
  auto camera = std::make_shared<sim::PescaCamera>(options);
  // The name's characters come from the location path: the camera sits on its SuperSpeed port.
  sim::Unknowns unknowns;
  unknowns.companionPortInBootModes = false;
  camera->SetUnknowns(unknowns);
  Plug(camera);
  StartProgram();
  ASSERT_EQ(Entries().size(), 1u);
  const std::wstring entry = Entries()[0];
  EXPECT_EQ(entry.rfind(L"DFU Device_USB_", 0), 0u) << entry;
  EXPECT_NE(entry.find(L"(VID_7E51,PID_DF01_0)"), std::wstring::npos) << entry;
  if (controller.entry != nullptr) {
    EXPECT_EQ(entry, controller.entry);
  }
  ExpectReadyFor(entry);
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith("combined_type1.img");
  Settle();
  const sim::DfuFlash flash = camera->Flash();
  ASSERT_GE(flash.imageSections.size(), 2u);
  EXPECT_FALSE(flash.imageSections[0].empty());
  EXPECT_FALSE(flash.imageSections[1].empty());
  EXPECT_EQ(camera->Version(), NewFirmware());
  EXPECT_FALSE(camera->InUpdateMode());
  // The update ends as a whole one does (the success message or the Warning dialog), and no
  // failure is shown.
  const std::vector<std::wstring> boxes = BoxTexts();
  EXPECT_EQ(boxes.size() + (dialog_.IsModalOpen(IDD_WARNING_DIALOG) ? 1 : 0), 1u);
  for (const std::wstring& box : boxes) {
    EXPECT_EQ(box, kSuccessText);
  }
}
INSTANTIATE_TEST_SUITE_P(EveryController, DeskUpdateModeTest, ::testing::ValuesIn(kControllers),
                         [](const ::testing::TestParamInfo<Controller>& info) {
                           return std::string(info.param.name);
                         });

const std::wstring kOneSunplusCameraText =
    L"More than one camera of this kind is connected.\r\nPlease leave only the camera to update "
    L"connected and try again.";

// The Sunplus library opens a camera of its own choosing, not the selected one: with two of its
// cameras on the bus the update is refused before the library is called.
TEST_F(DeskTest, TwoSunplusCamerasAreRefused) {
  sim::MirelCamera::Options options;
  auto first = Plug(std::make_shared<sim::MirelCamera>(options));
  options.serial = L"MRL0000002";
  options.sunplusIds = true;
  auto second = Plug(std::make_shared<sim::MirelCamera>(options));
  StartProgram();
  ASSERT_EQ(Entries().size(), 2u);
  Pick(1);

  UpdateWith("nxp_firmware.bin");
  Settle();
  ASSERT_EQ(dialog_.MessageBoxes().size(), 1u);
  EXPECT_EQ(dialog_.MessageBoxes()[0].text, kOneSunplusCameraText);
  EXPECT_EQ(first->ImagesReceived() + second->ImagesReceived(), 0);
  EXPECT_EQ(vendor_.LoadCount(), 0);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_TRUE(Enabled(IDC_BTN_BROWSE));
}

}  // namespace
}  // namespace veltra::test

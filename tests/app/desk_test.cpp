// Whole updates on a desk as users have it: one camera alone on the bus, two identical cameras,
// other devices that come and go meanwhile. A camera that re-enumerates comes back after its
// re-enumeration time on the program's clock, whatever the program is doing then; the ROM's second
// notification, for instance, may be handled before its flash loader is back, as on Windows.
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/dialog_procedures.h"
#include "app_fixture.h"
#include "core/resource_ids.h"
#include "core/window_messages.h"
#include "scenario_fixture.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A device that is no camera: a USB stick (USB device interface only) or a keyboard (with a HID
// interface). The program must never send it anything.
class ForeignDevice : public sim::VirtualDevice {
 public:
  ForeignDevice(sim::UsbId id, bool hid) : id_(id), hid_(hid) {}
  sim::UsbId Id() const override { return id_; }
  bool HasHidInterface() const override { return hid_; }

 private:
  sim::UsbId id_;
  bool hid_;
};

// Hands the USB port through, and runs a one-shot action on the thread of the next control
// transfer, before the transfer: a point in the middle of the update worker's run.
class TransferHook : public UsbTransport {
 public:
  explicit TransferHook(UsbTransport& inner) : inner_(inner) {}
  void AtNextTransfer(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    action_ = std::move(action);
  }
  Handle OpenDevice(const wchar_t* path) override { return inner_.OpenDevice(path); }
  void CloseDevice(Handle device) override { inner_.CloseDevice(device); }
  bool WinUsbInitialize(Handle device, Handle* interfaceHandle) override {
    return inner_.WinUsbInitialize(device, interfaceHandle);
  }
  void WinUsbFree(Handle interfaceHandle) override { inner_.WinUsbFree(interfaceHandle); }
  bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                       std::uint32_t* transferred) override {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      action.swap(action_);
    }
    if (action) {
      action();
    }
    return inner_.ControlTransfer(interfaceHandle, setup, data, transferred);
  }
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override {
    return inner_.DeviceIoControl(device, ioctl, record, length, returned);
  }

 private:
  UsbTransport& inner_;
  std::mutex mutex_;
  std::function<void()> action_;
};

class DeskTest : public ScenarioTest {
 protected:
  DeskTest() {
    Ports set = ports();
    set.usb = &hook_;
    InstallPorts(set);
  }

  void Pick(int index) {
    dialog_.ComboSetCurSel(index);
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));
  }
  std::wstring SelectedEntry() {
    const int selected = dialog_.ComboGetCurSel();
    const std::vector<std::wstring> entries = Entries();
    if (selected < 0 || selected >= static_cast<int>(entries.size())) {
      return L"<none>";
    }
    return entries[static_cast<std::size_t>(selected)];
  }
  // Browse with the example file, named after the model so that the model check passes quietly.
  void UpdateWith(const std::string& example) {
    Browse(ExampleFile(example,
                       "Veltra_RX40M+Veltra_Pesca+Veltra_Tarsa+Veltra_Mirel+Veltra_CX3+"
                       "Veltra_NX20_" +
                           example));
    UpdateAndConfirm();
  }
  // The user sees the route's end: the success message, or the Warning dialog, which gives way
  // to its OK or, after its three minutes, to the Error dialog.
  void ExpectSuccessSeen(bool warning) {
    if (!warning) {
      EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
      return;
    }
    EXPECT_TRUE(BoxTexts().empty());
    ASSERT_TRUE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
    if (dialog_.WindowItemEnabled(Window::kWarnDialog, IDC_BTN_CONFIRM_OK)) {
      WarningDialogProc(AppTest::kWarnDlg, kWmCommand, CommandParam(IDC_BTN_CONFIRM_OK), 0);
    } else {
      dialog_.QueueModalCommand(IDD_ERROR_DIALOG, 1);
      clock_.Advance(180000);
      dialog_.FireDueTimers();
    }
    Settle();
    EXPECT_FALSE(dialog_.IsModalOpen(IDD_WARNING_DIALOG));
  }
  bool TrafficMentions(const std::string& fragment) const {
    return traffic_.str().find(fragment) != std::string::npos;
  }

  TransferHook hook_{log_};
};

// ---- one route per row -------------------------------------------------------------------------

struct Route {
  const char* name;
  const char* example;
  // A camera of the route with that serial; its entry when listed at index i is entry(i).
  std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring& serial)> make;
  std::function<std::wstring(int index)> entry;
  // Whether the camera now runs the example's firmware.
  std::function<bool(sim::CameraDevice&, const Bytes& file)> updated;
  // The route ends with the Warning dialog instead of the success message.
  bool endsWithWarning = false;
};

sim::FirmwareVersion NewVersion() {
  const fwgen::Version& v = ScenarioTest::kNewVersion;
  return sim::FirmwareVersion{v.major, v.minor, v.build, v.revision};
}

template <typename Camera>
std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring&)> DfuFamily(
    const sim::DfuModeCamera::Options& options) {
  return [options](const std::wstring& serial) {
    sim::DfuModeCamera::Options o = options;
    o.serial = serial;
    return std::make_shared<Camera>(o);
  };
}

std::function<std::wstring(int)> Entry(const std::wstring& prefix) {
  return [prefix](int index) { return prefix + std::to_wstring(index) + L")"; };
}

bool DfuCameraUpdated(sim::CameraDevice& camera, const Bytes& /*file*/) {
  auto& dfu = static_cast<sim::DfuModeCamera&>(camera);
  return dfu.UpdatesCompleted() == 1 && !dfu.InUpdateMode() && dfu.Version() == NewVersion();
}

const Route kRoutes[] = {
    {"generic", "mcu.img", DfuFamily<sim::GenericCamera>({}),
     Entry(L"Veltra_RX40_MH(VID_7e51,PID_C1D0_"), DfuCameraUpdated},
    {"pesca", "mcu.img", DfuFamily<sim::PescaCamera>(sim::PescaOptions()),
     Entry(L"Veltra_Pesca(VID_7e51,PID_C123_"), DfuCameraUpdated, true},
    {"tarsa", "mcu.img", DfuFamily<sim::TarsaCamera>(sim::TarsaOptions()),
     Entry(L"Veltra_Tarsa(VID_7e51,PID_C05C_"), DfuCameraUpdated},
    {"cx3", "mcu.img",
     [](const std::wstring& serial) {
       sim::Cx3Camera::Options o;
       o.serial = serial;
       return std::make_shared<sim::Cx3Camera>(o);
     },
     Entry(L"Veltra_CX3(VID_04b4,PID_00C3_"),
     [](sim::CameraDevice& camera, const Bytes&) {
       auto& cx3 = static_cast<sim::Cx3Camera&>(camera);
       return cx3.CurrentMode() == sim::Cx3Camera::Mode::kCamera && cx3.FlashHoldsFirmware() &&
              cx3.Version() == NewVersion();
     }},
    {"nxp", "nxp_firmware.bin",
     [](const std::wstring& serial) {
       sim::NxpCamera::Options o;
       o.serial = serial;
       return std::make_shared<sim::NxpCamera>(o);
     },
     Entry(L"Veltra_NX20(VID_7e51,PID_C2A0_"),
     [](sim::CameraDevice& camera, const Bytes& file) {
       auto& nxp = static_cast<sim::NxpCamera&>(camera);
       return nxp.CurrentMode() == sim::NxpCamera::Mode::kCamera &&
              nxp.FlashBytes(sim::kFlashImageAddress, file.size()) == file &&
              nxp.Version() == NewVersion();
     }},
    // Without a serial the camera is known again by the path it left from.
    {"nxp_without_serial", "nxp_firmware.bin",
     [](const std::wstring& /*serial*/) {
       sim::NxpCamera::Options o;
       o.serial.clear();
       return std::make_shared<sim::NxpCamera>(o);
     },
     Entry(L"Veltra_NX20(VID_7e51,PID_C2A0_"),
     [](sim::CameraDevice& camera, const Bytes& file) {
       auto& nxp = static_cast<sim::NxpCamera&>(camera);
       return nxp.CurrentMode() == sim::NxpCamera::Mode::kCamera &&
              nxp.FlashBytes(sim::kFlashImageAddress, file.size()) == file;
     }},
    {"mirel", "nxp_firmware.bin",
     [](const std::wstring& serial) {
       sim::MirelCamera::Options o;
       o.serial = serial;
       return std::make_shared<sim::MirelCamera>(o);
     },
     Entry(L"Veltra_Mirel(VID_7e51,PID_C181_"),
     [](sim::CameraDevice& camera, const Bytes& file) {
       auto& mirel = static_cast<sim::MirelCamera&>(camera);
       return mirel.Image() == file && mirel.Version() == NewVersion();
     }},
};

void PrintTo(const Route& route, std::ostream* out) {
  *out << route.name;
}

class DeskRouteTest : public DeskTest, public ::testing::WithParamInterface<Route> {};

std::string RouteName(const ::testing::TestParamInfo<Route>& info) {
  return info.param.name;
}

// The commonest desk: the camera is the only device on the bus from start to end.
TEST_P(DeskRouteTest, LoneCameraIsUpdatedAndSelectedAgain) {
  const Route& route = GetParam();
  auto camera = Plug(route.make(L"SER0000001"));
  StartProgram();
  ExpectReadyFor(route.entry(0));
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(route.example);
  Settle();
  ExpectSuccessSeen(route.endsWithWarning);
  EXPECT_TRUE(route.updated(*camera, ExampleBytes(route.example)));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{route.entry(0)});
  ExpectReadyFor(route.entry(0));
}

// Two cameras of the same model; the second one listed is updated and is the one selected
// afterwards, and the first keeps its firmware.
TEST_P(DeskRouteTest, SecondOfTwoIdenticalCamerasIsUpdatedAndSelectedAgain) {
  const Route& route = GetParam();
  if (std::string(route.name) == "mirel") {
    GTEST_SKIP() << "two cameras of the Sunplus route are refused (SunplusTest below)";
  }
  auto first = Plug(route.make(L"SER0000001"));
  auto second = Plug(route.make(L"SER0000002"));
  StartProgram();
  const std::vector<std::wstring> entries{route.entry(0), route.entry(1)};
  ASSERT_EQ(Entries(), entries);
  Pick(1);
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateWith(route.example);
  Settle();
  ExpectSuccessSeen(route.endsWithWarning);
  const Bytes file = ExampleBytes(route.example);
  EXPECT_TRUE(route.updated(*second, file));
  EXPECT_FALSE(route.updated(*first, file));
  EXPECT_EQ(Entries(), entries);
  ExpectReadyFor(route.entry(1));
}

INSTANTIATE_TEST_SUITE_P(EveryRoute, DeskRouteTest, ::testing::ValuesIn(kRoutes), RouteName);

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
  auto camera = Plug(std::make_shared<sim::PescaCamera>(options));
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
  EXPECT_EQ(camera->Version(), NewVersion());
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

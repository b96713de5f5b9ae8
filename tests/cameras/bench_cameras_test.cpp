// The rules of the bench's camera models that a whole update does not show but the program's
// tests lean on: what a reset does without a whole firmware, the program's device table against
// the bench's identities, and the strict devices.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "devices/device_rules.h"
#include "dfu/dfu_requests.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/dfu_camera.h"
#include "sim/flash_loader.h"
#include "sim/fx3_rom.h"
#include "sim/rt1060_rom.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

class BenchCameraTest : public BenchTest {
 protected:
  BenchCameraTest() {
    Ports set = ports();
    set.usb = &traffic_;
    set.camera = &library_;
    InstallPorts(set);
  }
  ~BenchCameraTest() override { ReleaseDfuHandles(link_); }

  template <typename Device>
  std::shared_ptr<Device> Plug(std::shared_ptr<Device> device) {
    bus_.Plug(device);
    return device;
  }
  // The path the program would use: the capture path while there is a video interface.
  std::wstring PathOf(const sim::VirtualDevice& device) const {
    const std::wstring capture = bus_.CapturePath(&device);
    return capture.empty() ? bus_.UsbInterfacePath(&device) : capture;
  }

  DfuLink link_;
  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  sim::TrafficLog traffic_{usb_, log_};
  sim::SimCameraLibrary library_{bus_, &traffic_};
};

TEST_F(BenchCameraTest, DfuResetBootsOnlyAWholeFirmware) {
  sim::DfuModeCamera::Options options;
  options.startInUpdateMode = true;
  options.serial = L"";
  auto camera = Plug(std::make_shared<sim::GenericCamera>(options));
  const auto reopen = [&] {
    ReleaseDfuHandles(link_);
    return InitializeDevice(link_, bus_.UsbInterfacePath(camera.get()).c_str());
  };

  // Nothing received: the firmware it had boots.
  ASSERT_EQ(reopen(), 1);
  EXPECT_EQ(SendDeviceResetCommand(link_), 1);
  EXPECT_FALSE(camera->InUpdateMode());

  // Data arrived but no manifest: the flash is half rewritten, so every reset finds no whole
  // firmware and the camera keeps coming back in update mode.
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  ASSERT_EQ(CameraLib().FirmwareUpdate(3), 1);
  ASSERT_EQ(reopen(), 1);
  const Bytes block = fwgen::StampedPayload(100, Version{}, 4);
  ASSERT_EQ(SendData(link_, block.data(), static_cast<std::uint32_t>(block.size())), 1);
  for (int reset = 0; reset < 2; ++reset) {
    ASSERT_EQ(reopen(), 1);
    EXPECT_EQ(SendDeviceResetCommand(link_), 1);
    EXPECT_TRUE(camera->InUpdateMode());
  }

  // Unplugged and plugged back: power does not make the broken-off download whole either.
  bus_.Replug(camera.get());
  ASSERT_EQ(reopen(), 1);
  EXPECT_EQ(SendDeviceResetCommand(link_), 1);
  EXPECT_TRUE(camera->InUpdateMode());
}

// What the devices refuse as the hardware does (a request at the wrong interface, a status read of
// the wrong length, a HID report short of its length); what an unanswered transfer costs on the
// program's clock, as the traffic log shows it.
TEST_F(BenchCameraTest, StrictDevicesRefuseOffShapeRequestsAndTimeOutsCostTheirTime) {
  auto dfu = Plug(std::make_shared<sim::DfuCamera>());
  ASSERT_EQ(InitializeDevice(link_, bus_.UsbInterfacePath(dfu.get()).c_str()), 1);
  const Handle bound = link_.winUSBHandle;
  std::uint8_t reply[6] = {};
  std::uint32_t moved = 0;
  dfu->engine().SetState(10);
  EXPECT_FALSE(usb_.ControlTransfer(bound, SetupPacket{0x40, 0x04, 1, 1, 0}, nullptr, &moved));
  EXPECT_FALSE(usb_.ControlTransfer(bound, SetupPacket{0xC0, 0x03, 0, 0, 4}, reply, &moved));

  auto nxp = Plug(std::make_shared<sim::NxpCamera>());
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*nxp).c_str()), 1);
  ASSERT_EQ(CameraLib().FirmwareUpdate(0), 1);
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(nxp.get()).c_str()), 1);
  const std::uint8_t report[1025] = {1};
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1024, 1), 0);

  // A stall costs nothing; a time-out costs WinUSB's 5 s, and the HID write time-out.
  dfu->SetFault({sim::FaultKind::kTransferError, 0});
  std::uint64_t start = clock_.NowMs();
  EXPECT_FALSE(usb_.ControlTransfer(bound, SetupPacket{0xC0, 0x03, 0, 0, 6}, reply, &moved));
  EXPECT_EQ(Sys().GetLastError(), sim::kErrorGenFailure);
  EXPECT_EQ(clock_.NowMs() - start, 0u);
  dfu->SetFault({sim::FaultKind::kTimeout, 0});
  EXPECT_EQ(GetStatus(link_, &link_.dfu_status), 0);
  const auto control = TrafficOf(log_.str(), "control", "7E51:DF00");
  ASSERT_FALSE(control.empty());
  const nlohmann::json& read = control.back();
  EXPECT_EQ(read["t_ms"], 5000);
  EXPECT_EQ(read["setup"], nlohmann::json::parse("[192,3,0,0,6]"));
  EXPECT_EQ(read["result"], -1);
  EXPECT_EQ(read["error"], 121);
  library_.SetHidWriteTimeoutMs(1500);
  nxp->SetFault({sim::FaultKind::kTimeout, 0});
  start = clock_.NowMs();
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 0);
  EXPECT_EQ(clock_.NowMs() - start, 1500u);
}

// The program's device rules and the bench's identities are written apart (the bench from the
// hardware's side), so that a misread ID is not shared; here they must agree on what each of the
// bench's devices is.
TEST(DeviceRulesTest, ProgramRulesAgreeWithTheBenchIdentities) {
  using F = DeviceFamily;
  using M = DeviceMode;
  using R = UpdateRoute;
  struct Row {
    std::uint16_t benchVid;
    std::uint16_t benchPid;
    DeviceFamily family;
    DeviceMode mode;
    UpdateRoute route;
    ListedAs foundAgainAs;
  } rows[] = {
      {sim::kMakerVid, sim::kPescaPid, F::kPesca, M::kNormal, R::kModeSwitch,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kPescaPid2, F::kPesca, M::kNormal, R::kModeSwitch,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kTarsaPid, F::kTarsa, M::kNormal, R::kModeSwitch,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kGenericCameraPid, F::kUnknown, M::kNormal, R::kModeSwitch,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kMirelPid, F::kMirel, M::kNormal, R::kSunplusLibrary,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kNxpCameraPid, F::kNxpCamera, M::kNormal, R::kNxpLoader,
       ListedAs::kNormalMode},
      {sim::kSunplusVid, sim::kSunplusCameraPid, F::kSunplus, M::kNormal, R::kSunplusLibrary,
       ListedAs::kNormalMode},
      {sim::kMakerVid, sim::kDfuPid, F::kUnknown, M::kUpdate, R::kDfu, ListedAs::kUpdateMode},
      {sim::kMakerVid, sim::kDfuPidPesca, F::kPesca, M::kUpdate, R::kDfu, ListedAs::kUpdateMode},
      {sim::kMakerVid, sim::kFlashLoaderPid, F::kBootLoader, M::kFlashLoader, R::kNxpLoader,
       ListedAs::kUpdateMode},
      {sim::kCypressVid, sim::kFx3RomPid, F::kBootLoader, M::kBootRom, R::kFx3Loader,
       ListedAs::kBootRom},
      {sim::kNxpVid, sim::kRt1060RomPid, F::kBootLoader, M::kBootRom, R::kNxpLoader,
       ListedAs::kBootRom},
  };
  for (const Row& row : rows) {
    const std::wstring vid = sim::Hex4(row.benchVid);
    const std::wstring pid = sim::Hex4(row.benchPid);
    const DeviceRule& rule = DeviceRules().Lookup(vid.c_str(), pid.c_str());
    EXPECT_EQ(&rule, &DeviceRules().Lookup(row.benchVid, row.benchPid)) << vid << ":" << pid;
    EXPECT_EQ(rule.family, row.family) << vid << ":" << pid;
    EXPECT_EQ(rule.mode, row.mode) << vid << ":" << pid;
    EXPECT_EQ(rule.route, row.route) << vid << ":" << pid;
    EXPECT_EQ(rule.foundAgainAs, row.foundAgainAs) << vid << ":" << pid;
  }
}

}  // namespace
}  // namespace veltra::test

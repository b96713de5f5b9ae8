// The rules of the bench's camera models that a whole update does not show but the program's
// tests lean on: what a camera does when its handles go stale, when a reset finds no whole
// firmware, when a command never finishes, and which vendor IDs the library lists.
#include <gtest/gtest.h>

#include "support/traffic_lines.h"

#include <cwchar>
#include <memory>
#include <sstream>
#include <string>

#include "devices/known_devices.h"
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
  ~BenchCameraTest() override { ReleaseDfuHandles(); }

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
  // Sends a CX3 command report and reads replies until one is not "busy" (at most 100); reads
  // counts the replies read. False when the report or a reply could not be moved.
  static bool Exchange(std::initializer_list<std::uint8_t> report, std::uint8_t* reply,
                       int* reads) {
    std::uint8_t bytes[4] = {};
    std::copy(report.begin(), report.end(), bytes);
    if (CameraLib().SetHidReport(bytes, static_cast<std::int32_t>(report.size())) != 1) {
      return false;
    }
    for (*reads = 1; *reads <= 100; ++*reads) {
      if (CameraLib().GetHidReport(reply) != 1) {
        return false;
      }
      if (reply[1] != sim::cx3::kStatusBusy) {
        return true;
      }
    }
    return true;
  }

  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  sim::TrafficLog traffic_{usb_, log_};
  sim::SimCameraLibrary library_{bus_, &traffic_};
};

// A camera that switches mode leaves the bus and comes back as another device: whatever the
// library or the program had open on it is stale and must be opened anew.
TEST_F(BenchCameraTest, HandlesOpenedBeforeAModeSwitchOrResetAreStale) {
  auto generic = Plug(std::make_shared<sim::GenericCamera>());
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*generic).c_str()), 1);
  EXPECT_EQ(CameraLib().FirmwareUpdate(3), 1);
  EXPECT_EQ(generic->Id().pid, sim::kDfuPid);
  EXPECT_EQ(generic->Serial(), L"ABC1234567");
  EXPECT_FALSE(generic->HasVideoInterface());
  std::uint8_t v1 = 0, v2 = 0;
  std::uint16_t v3 = 0, v4 = 0;
  EXPECT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 0);
  EXPECT_EQ(CameraLib().InitExtensionUnit(bus_.UsbInterfacePath(generic.get()).c_str()), 0);

  auto tarsa = Plug(std::make_shared<sim::TarsaCamera>());
  const std::wstring before = PathOf(*tarsa);
  EXPECT_EQ(CameraLib().FallbacktoFWTarsa(), 0);  // nothing open yet
  ASSERT_EQ(CameraLib().InitTarsaExtensionUnit(before.c_str()), 1);
  EXPECT_EQ(CameraLib().ResetTarsa(), 1);
  EXPECT_EQ(CameraLib().FallbacktoFWTarsa(), 0);  // opened before the reset: stale
  // With its serial it returns under the same path, which must be opened anew.
  EXPECT_EQ(PathOf(*tarsa), before);
  ASSERT_EQ(CameraLib().InitTarsaExtensionUnit(before.c_str()), 1);
  EXPECT_EQ(CameraLib().FallbacktoFWTarsa(), 1);

  auto nxp = Plug(std::make_shared<sim::NxpCamera>());
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*nxp).c_str()), 1);
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(nxp.get()).c_str()), 1);
  const std::uint8_t report[1025] = {1};
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 0);  // the camera takes no ROM reports
  EXPECT_EQ(CameraLib().FirmwareUpdate(0), 1);
  EXPECT_EQ(nxp->Id().pid, sim::kRt1060RomPid);
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 0);
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(nxp.get()).c_str()), 1);
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 1);
}

TEST_F(BenchCameraTest, DfuResetBootsOnlyAWholeFirmware) {
  sim::DfuModeCamera::Options options;
  options.startInUpdateMode = true;
  options.serial = L"";
  auto camera = Plug(std::make_shared<sim::GenericCamera>(options));

  // Nothing received: the firmware it had boots.
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  EXPECT_EQ(SendDeviceResetCommand(), 1);
  EXPECT_FALSE(camera->InUpdateMode());

  // Data arrived but no manifest: the flash is half rewritten, so every reset finds no whole
  // firmware and the camera keeps coming back in update mode.
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  ASSERT_EQ(CameraLib().FirmwareUpdate(3), 1);
  ReleaseDfuHandles();
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  const Bytes block = fwgen::StampedPayload(100, Version{}, 4);
  ASSERT_EQ(SendData(block.data(), static_cast<std::uint32_t>(block.size())), 1);
  for (int reset = 0; reset < 2; ++reset) {
    ReleaseDfuHandles();
    ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
    EXPECT_EQ(SendDeviceResetCommand(), 1);
    EXPECT_TRUE(camera->InUpdateMode());
  }

  // Unplugged and plugged back: power does not make the broken-off download whole either.
  ReleaseDfuHandles();
  bus_.Replug(camera.get());
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  EXPECT_EQ(SendDeviceResetCommand(), 1);
  EXPECT_TRUE(camera->InUpdateMode());
}

TEST_F(BenchCameraTest, Cx3ResetsFailAsToldAndAStuckEraseStaysBusy) {
  sim::Cx3Camera::Options options;
  options.resetFailures = 2;
  options.extensionUnit = false;
  auto camera = Plug(std::make_shared<sim::Cx3Camera>(options));
  std::uint8_t reply[64] = {};
  int reads = 0;

  // Without the extension unit the library still finds the camera's command channel.
  EXPECT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 0);
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);
  EXPECT_EQ(CameraLib().GetHidReport(reply), 0);  // nothing asked yet
  for (int attempt = 0; attempt < 2; ++attempt) {
    ASSERT_TRUE(Exchange({0xAA, 0x02, 0, 0}, reply, &reads));
    EXPECT_EQ(reply[1], sim::cx3::kStatusResetFailed);
  }
  // The flash was never erased: the camera reboots as itself, and the old channel is stale.
  EXPECT_FALSE(Exchange({0xAA, 0x02, 0, 0}, reply, &reads));
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  EXPECT_EQ(CameraLib().DevicestateCX3SNI(reply), 1);
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);
  EXPECT_EQ(CameraLib().DevicestateCX3SNI(reply), 0);

  camera->SetFault({sim::FaultKind::kStuckState, 0});
  ASSERT_TRUE(Exchange({0xAA, 0x01, 0, 0}, reply, &reads));
  EXPECT_EQ(reads, 101);  // never leaves "busy"
  EXPECT_EQ(reply[1], sim::cx3::kStatusBusy);
}

TEST_F(BenchCameraTest, MirelRunsAReceivedImageOnlyAfterItsRestart) {
  auto camera = Plug(std::make_shared<sim::MirelCamera>());
  Version v;
  v.major = 5;
  v.minor = 6;
  v.build = 700;
  const Bytes image = fwgen::StampedPayload(3000, v, 4);
  ASSERT_TRUE(camera->ReceiveImage(image.data(), image.size()));
  std::uint8_t major = 0, minor = 0;
  std::uint16_t build = 0;
  ASSERT_EQ(CameraLib().GetFirmwareVersionMirel(&major, &minor, &build), 1);
  EXPECT_EQ(major, 1);
  camera->Reboot();
  ASSERT_EQ(CameraLib().GetFirmwareVersionMirel(&major, &minor, &build), 1);
  EXPECT_EQ((std::vector<int>{major, minor, build}), (std::vector<int>{5, 6, 700}));

  // A transfer fault loses the image.
  camera->SetFault({sim::FaultKind::kTransferError, 0});
  EXPECT_FALSE(camera->ReceiveImage(image.data(), image.size()));
  EXPECT_EQ(camera->ImagesReceived(), 1);
}

TEST_F(BenchCameraTest, LibraryListsTheMakersAndTheBridgeVendorsWholeIdsOnly) {
  for (const auto& [vid, listed] : std::initializer_list<std::pair<const wchar_t*, int>>{
           {L"7E51", 1}, {L"7e51", 1}, {L"04b4", 1}, {L"1FC9", 0}, {L"7E5", 0}, {L"", 0}}) {
    EXPECT_EQ(CameraLib().IsDFUDeviceVID(vid), listed) << vid;
  }
  EXPECT_EQ(CameraLib().IsRestrictedCameraPID(L"c0ff"), 1);
  EXPECT_EQ(CameraLib().IsRestrictedCameraPID(L"C1D0"), 0);
}

// The program names its IDs in one table, the bench writes them from the devices' side: a device
// the program misreads must not be misread the same way by the bench. Each identity the program
// knows is one a bench device presents, and each text is the number it names.
TEST(KnownDevicesTest, ProgramTableAgreesWithTheBenchIdentities) {
  struct Row {
    const wchar_t* vid;
    const wchar_t* pid;
    std::uint16_t benchVid;
    std::uint16_t benchPid;
  } rows[] = {
      {kVidMaker, kPidPesca, sim::kMakerVid, sim::kPescaPid},
      {kVidMaker, kPidPescaSecond, sim::kMakerVid, sim::kPescaPid2},
      {kVidMaker, kPidTarsa, sim::kMakerVid, sim::kTarsaPid},
      {kVidMaker, kPidMirel, sim::kMakerVid, sim::kMirelPid},
      {kVidSunplus, kPidSunplusCamera, sim::kSunplusVid, sim::kSunplusCameraPid},
      {kVidMaker, kPidUpdateMode, sim::kMakerVid, sim::kDfuPid},
      {kVidMaker, kPidPescaUpdateMode, sim::kMakerVid, sim::kDfuPidPesca},
      {kVidMaker, kPidFlashLoader, sim::kMakerVid, sim::kFlashLoaderPid},
      {kVidCypress, kPidFx3Rom, sim::kCypressVid, sim::kFx3RomPid},
      {kVidNxp, kPidRt1060Rom, sim::kNxpVid, sim::kRt1060RomPid},
  };
  const auto hex = [](std::uint16_t value) {
    wchar_t text[8] = {};
    std::swprintf(text, 8, L"%04X", static_cast<unsigned>(value));
    return std::wstring(text);
  };
  for (const Row& row : rows) {
    EXPECT_EQ(std::wstring(row.vid), hex(row.benchVid));
    EXPECT_EQ(std::wstring(row.pid), hex(row.benchPid));
    bool listed = false;
    for (const KnownDevice& known : kKnownDevices) {
      listed = listed || (std::wstring(known.pidText) == row.pid && known.vidText == row.vid);
    }
    EXPECT_TRUE(listed);
  }
  for (const KnownDevice& known : kKnownDevices) {
    EXPECT_EQ(std::wstring(known.vidText), hex(known.vid));
    if (known.pid != 0) {
      EXPECT_EQ(std::wstring(known.pidText), hex(known.pid));
    }
  }
}

}  // namespace
}  // namespace veltra::test

namespace veltra::test {
namespace {

// What the devices refuse as the hardware does, and that each check can be switched off; what an
// unanswered transfer costs on the program's clock, as the traffic log shows it.
TEST_F(BenchCameraTest, StrictDevicesRefuseOffShapeRequestsAndTimeOutsCostTheirTime) {
  auto dfu = Plug(std::make_shared<sim::DfuCamera>());
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(dfu.get()).c_str()), 1);
  const SetupPacket clearStatusAtIndex1{0x40, 0x04, 1, 1, 0};
  const SetupPacket statusOf4{0xC0, 0x03, 0, 0, 4};
  std::uint8_t reply[6] = {};
  std::uint32_t moved = 0;
  for (const bool strict : {true, false}) {
    sim::Strictness strictness;
    strictness.setupFields = strict;
    dfu->SetStrictness(strictness);
    dfu->engine().SetState(10);
    EXPECT_EQ(usb_.ControlTransfer(winUSBHandle, clearStatusAtIndex1, nullptr, &moved), !strict);
    EXPECT_EQ(usb_.ControlTransfer(winUSBHandle, statusOf4, reply, &moved), !strict);
  }

  auto nxp = Plug(std::make_shared<sim::NxpCamera>());
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*nxp).c_str()), 1);
  ASSERT_EQ(CameraLib().FirmwareUpdate(0), 1);
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(nxp.get()).c_str()), 1);
  const std::uint8_t report[1025] = {1};
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1024, 1), 0);
  sim::Strictness lax;
  lax.reportLengths = false;
  nxp->SetStrictness(lax);
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1024, 1), 1);

  // A stall costs nothing; a time-out costs WinUSB's 5 s, and the HID write time-out.
  dfu->SetFault({sim::FaultKind::kTransferError, 0});
  std::uint64_t start = clock_.NowMs();
  EXPECT_FALSE(usb_.ControlTransfer(winUSBHandle, SetupPacket{0xC0, 0x03, 0, 0, 6}, reply, &moved));
  EXPECT_EQ(Sys().GetLastError(), sim::kErrorGenFailure);
  EXPECT_EQ(clock_.NowMs() - start, 0u);
  dfu->SetFault({sim::FaultKind::kTimeout, 0});
  EXPECT_EQ(GetStatus(&dfu_status), 0);
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

}  // namespace
}  // namespace veltra::test

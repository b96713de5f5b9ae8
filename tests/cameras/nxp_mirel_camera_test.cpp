// The NXP-based camera's normal mode and mode switch, and the Mirel family, through the bench
// library.
#include <gtest/gtest.h>

#include "cameras/camera_fixture.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using CameraFixture = CameraTest;

TEST_F(CameraFixture, NxpCameraReportsItsFlashAndDropsToTheRom) {
  sim::NxpCamera::Options options;
  options.version = sim::FirmwareVersion{2, 8, 16, 32};
  auto camera = Plug(std::make_shared<sim::NxpCamera>(options));
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  std::uint8_t v1 = 0, v2 = 0;
  std::uint16_t v3 = 0, v4 = 0;
  ASSERT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 1);
  EXPECT_EQ((sim::FirmwareVersion{v1, v2, v3, v4}), options.version);

  // Its normal firmware takes no boot-loader reports.
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
  const std::uint8_t report[1025] = {1};
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 0);

  EXPECT_EQ(CameraLib().FirmwareUpdate(0), 1);
  EXPECT_EQ(camera->Id().vid, sim::kNxpVid);
  EXPECT_EQ(camera->Id().pid, sim::kRt1060RomPid);
  EXPECT_EQ(camera->Serial(), L"NXP0000001");
  EXPECT_TRUE(bus_.CapturePath(camera.get()).empty());
  EXPECT_FALSE(bus_.HidPath(camera.get()).empty());
  // The HID handle opened before the switch is stale; a new one reaches the ROM.
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 0);
  ASSERT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
  EXPECT_EQ(CameraLib().sendNXPHidCmd(report, 1025, 1), 1);
  EXPECT_EQ(camera->Rom().Errors().size(), 1u);  // an SDP command of type 0 is refused
  const std::string line = LogLines().back();
  EXPECT_NE(line.find("\"dev\":\"1FC9:0135\",\"op\":\"hid_out\",\"out\":\"0100"),
            std::string::npos);
  EXPECT_NE(line.find("\"length\":1025,\"flag\":1,\"result\":1}"), std::string::npos);
}

TEST_F(CameraFixture, MirelAnswersItsFamilyCallsAndTakesAnImageFromTheVendorLibrary) {
  auto camera = Plug(std::make_shared<sim::MirelCamera>());
  const std::wstring path = PathOf(*camera);
  EXPECT_EQ(CameraLib().IsMirel_DeviceAvail(path.c_str()), 1);
  EXPECT_EQ(CameraLib().IsPescaDeviceAvail(path.c_str()), 0);
  EXPECT_EQ(CameraLib().InitExtensionUnit(path.c_str()), 0);
  EXPECT_TRUE(bus_.HidPath(camera.get()).empty());

  // Found without an open channel, as the version read calls it.
  std::uint8_t major = 0, minor = 0;
  std::uint16_t build = 0;
  ASSERT_EQ(CameraLib().GetFirmwareVersionMirel(&major, &minor, &build), 1);
  EXPECT_EQ(major, 1);

  Version v;
  v.major = 5;
  v.minor = 6;
  v.build = 700;
  const Bytes image = fwgen::StampedPayload(3000, v, 4);
  ASSERT_TRUE(camera->ReceiveImage(image.data(), image.size()));
  ASSERT_EQ(CameraLib().GetFirmwareVersionMirel(&major, &minor, &build), 1);
  EXPECT_EQ(major, 1);  // runs the new image only after the restart
  camera->Reboot();
  ASSERT_EQ(CameraLib().GetFirmwareVersionMirel(&major, &minor, &build), 1);
  EXPECT_EQ((std::vector<int>{major, minor, build}), (std::vector<int>{5, 6, 700}));
  EXPECT_EQ(camera->Image(), image);

  // A transfer fault loses the image.
  camera->SetFault({sim::FaultKind::kTransferError, 0});
  EXPECT_FALSE(camera->ReceiveImage(image.data(), image.size()));
  EXPECT_EQ(camera->ImagesReceived(), 1);

  EXPECT_EQ(CameraLib().ResetDeviceMirel(), 1);

  sim::MirelCamera::Options sunplus;
  sunplus.sunplusIds = true;
  sunplus.serial = L"";
  auto other = Plug(std::make_shared<sim::MirelCamera>(sunplus));
  EXPECT_EQ(other->Id().vid, sim::kSunplusVid);
  EXPECT_EQ(other->Id().pid, sim::kSunplusCameraPid);
  EXPECT_EQ(CameraLib().IsMirel_DeviceAvail(PathOf(*other).c_str()), 1);
}

}  // namespace
}  // namespace veltra::test

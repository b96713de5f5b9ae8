// The maker's DFU-mode cameras through the bench library and the program's own DFU route: mode
// switches, the return with the received version, the two-pass combined image, resets.
#include "sim/cameras/dfu_cameras.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "cameras/camera_fixture.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "dfu/update_worker.h"
#include "image/firmware_image.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using sim::FirmwareVersion;

class DfuCameraTest : public CameraTest {
 protected:
  ~DfuCameraTest() override { ReleaseDfuHandles(); }

  static void SetPart(Payload& part, const Bytes& bytes) {
    ReleasePayload(part);
    part.data = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(part.data, bytes.data(), bytes.size());
    part.length = static_cast<std::uint32_t>(bytes.size());
  }
  // Opens the device's DFU interface and runs the update worker on this thread.
  std::uint32_t RunWorker(const sim::VirtualDevice& device) {
    ReleaseDfuHandles();
    EXPECT_EQ(InitializeDevice(bus_.UsbInterfacePath(&device).c_str()), 1);
    return UpdateFirmware();
  }
  static Bytes Stamped(std::size_t length, std::uint8_t major, std::uint32_t seed) {
    Version v;
    v.major = major;
    v.minor = 4;
    v.build = 300;
    v.revision = 7;
    return fwgen::StampedPayload(length, v, seed);
  }
};

TEST_F(DfuCameraTest, GenericCameraSwitchesDownloadsAndReturnsWithTheNewVersion) {
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  const std::wstring capture = PathOf(*camera);

  ASSERT_EQ(CameraLib().InitExtensionUnit(capture.c_str()), 1);
  std::uint8_t v1 = 0, v2 = 0;
  std::uint16_t v3 = 0, v4 = 0;
  ASSERT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 1);
  EXPECT_EQ(v1, 1);

  EXPECT_EQ(CameraLib().FirmwareUpdate(3), 1);
  EXPECT_EQ(camera->Id().pid, sim::kDfuPid);
  EXPECT_EQ(camera->Serial(), L"ABC1234567");
  EXPECT_FALSE(camera->HasVideoInterface());
  EXPECT_EQ(camera->LastImageType(), 3);
  // The library's open camera left the bus: calls on it fail until the next Init.
  EXPECT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 0);
  EXPECT_EQ(CameraLib().InitExtensionUnit(bus_.UsbInterfacePath(camera.get()).c_str()), 0);

  const Bytes image = Stamped(5000, 9, 1);
  SetPart(imagePart2, image);
  g_imageType = 3;
  g_bDFUOpened = 1;
  EXPECT_EQ(RunWorker(*camera), 1u);

  EXPECT_EQ(camera->Id().pid, sim::kGenericCameraPid);
  EXPECT_TRUE(camera->HasVideoInterface());
  EXPECT_EQ(camera->Serial(), L"ABC1234567");
  EXPECT_EQ(camera->Flash().image, image);
  EXPECT_EQ(camera->UpdatesCompleted(), 1);
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  ASSERT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 1);
  EXPECT_EQ((FirmwareVersion{v1, v2, v3, v4}), (FirmwareVersion{9, 4, 300, 7}));
}

TEST_F(DfuCameraTest, PescaTakesACombinedImageInTwoPassesAsDf01) {
  auto camera = Plug(std::make_shared<sim::PescaCamera>());
  const std::wstring capture = PathOf(*camera);
  EXPECT_EQ(CameraLib().IsPescaDeviceAvail(capture.c_str()), 1);
  EXPECT_EQ(CameraLib().IsTarsaDeviceAvail(capture.c_str()), 0);
  EXPECT_EQ(CameraLib().InitExtensionUnit(capture.c_str()), 0);
  ASSERT_EQ(CameraLib().InitPescaExtensionUnit(capture.c_str()), 1);
  // Only control 5 with value 1 starts the update mode.
  EXPECT_EQ(CameraLib().SetExtensionUnitValueForPesca(5, 0), 0);
  EXPECT_FALSE(camera->InUpdateMode());
  EXPECT_EQ(CameraLib().SetExtensionUnitValueForPesca(5, 1), 1);
  EXPECT_EQ(camera->Id().pid, sim::kDfuPidPesca);

  const Bytes first = Stamped(3000, 5, 2);
  const Bytes second = Stamped(2500, 6, 3);
  SetPart(imagePart1, first);
  SetPart(imagePart2, second);
  g_imageType = 1;
  g_bCombinedImage = 1;
  g_bWriteFirstPart = 1;
  EXPECT_EQ(RunWorker(*camera), 1u);
  // First pass done: back in update mode for the second part.
  EXPECT_EQ(camera->Id().pid, sim::kDfuPidPesca);
  EXPECT_EQ(camera->UpdatesCompleted(), 0);

  EXPECT_EQ(RunWorker(*camera), 1u);
  EXPECT_EQ(camera->Id().pid, sim::kPescaPid);
  const sim::DfuFlash flash = camera->Flash();
  ASSERT_EQ(flash.imageSections.size(), 3u);
  EXPECT_EQ(flash.imageSections[0], first);
  EXPECT_EQ(flash.imageSections[1], second);
  std::uint8_t version[4] = {};
  ASSERT_EQ(CameraLib().GetPescaFirmwareVersion(7, version), 1);
  EXPECT_EQ(version[0], 6);
  EXPECT_EQ(CameraLib().GetPescaFirmwareVersion(6, version), 0);
}

TEST_F(DfuCameraTest, TarsaFallsBackToDf00AndAnswersItsOwnCalls) {
  auto camera = Plug(std::make_shared<sim::TarsaCamera>());
  const std::wstring capture = PathOf(*camera);
  EXPECT_EQ(CameraLib().IsTarsaDeviceAvail(capture.c_str()), 1);
  EXPECT_EQ(CameraLib().IsPescaDeviceAvail(capture.c_str()), 0);
  // Found by the library without an open channel, as the version read calls it.
  std::uint8_t version[4] = {};
  EXPECT_EQ(CameraLib().GetTarsaFirmwareVersion(version), 1);
  EXPECT_EQ(CameraLib().FallbacktoFWTarsa(), 0);  // nothing open yet

  const std::uint32_t before = camera->Generation();
  EXPECT_EQ(CameraLib().ResetTarsa(), 1);
  EXPECT_GT(camera->Generation(), before);
  EXPECT_EQ(camera->Id().pid, sim::kTarsaPid);

  ASSERT_EQ(CameraLib().InitTarsaExtensionUnit(capture.c_str()), 0);  // the old path is gone
  ASSERT_EQ(CameraLib().InitTarsaExtensionUnit(PathOf(*camera).c_str()), 1);
  EXPECT_EQ(CameraLib().FallbacktoFWTarsa(), 1);
  EXPECT_EQ(camera->Id().pid, sim::kDfuPid);
  EXPECT_EQ(CameraLib().GetTarsaFirmwareVersion(version), 0);  // in update mode
}

TEST_F(DfuCameraTest, ResetRequestBootsOnlyAWholeFirmware) {
  sim::DfuModeCamera::Options options;
  options.startInUpdateMode = true;
  options.serial = L"";
  auto camera = Plug(std::make_shared<sim::GenericCamera>(options));
  EXPECT_EQ(camera->Id().pid, sim::kDfuPid);
  EXPECT_TRUE(camera->Serial().empty());

  // Nothing received: the firmware it had boots.
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  EXPECT_EQ(SendDeviceResetCommand(), 1);
  EXPECT_FALSE(camera->InUpdateMode());
  EXPECT_EQ(camera->Version(), FirmwareVersion{});

  // Data arrived but no manifest: the flash is half rewritten, so every reset finds no whole
  // firmware and the camera keeps coming back in update mode.
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  ASSERT_EQ(CameraLib().FirmwareUpdate(3), 1);
  ReleaseDfuHandles();
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  const Bytes block = Stamped(100, 3, 4);
  ASSERT_EQ(SendData(block.data(), static_cast<std::uint32_t>(block.size())), 1);
  for (int reset = 0; reset < 2; ++reset) {
    ReleaseDfuHandles();
    ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
    EXPECT_EQ(SendDeviceResetCommand(), 1);
    EXPECT_TRUE(camera->InUpdateMode());
  }
}

TEST_F(DfuCameraTest, FaultOnTheModeSwitchKeepsTheCameraWhereItIs) {
  auto camera = Plug(std::make_shared<sim::GenericCamera>());
  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  camera->SetFault({sim::FaultKind::kTransferError, 0});
  EXPECT_EQ(CameraLib().FirmwareUpdate(1), 0);
  EXPECT_FALSE(camera->InUpdateMode());
  camera->SetFault({sim::FaultKind::kDisconnect, 0});
  EXPECT_EQ(CameraLib().FirmwareUpdate(1), 0);
  EXPECT_FALSE(bus_.IsPresent(camera.get()));
}

TEST_F(DfuCameraTest, ListingFiltersAndLibraryLogLines) {
  auto camera = Plug(std::make_shared<sim::RestrictedCamera>());
  struct Case {
    const wchar_t* vid;
    int listed;
  };
  for (const Case& c : {Case{L"7E51", 1}, Case{L"7e51", 1}, Case{L"04b4", 1}, Case{L"1FC9", 0},
                        Case{L"7E5", 0}, Case{L"", 0}}) {
    EXPECT_EQ(CameraLib().IsDFUDeviceVID(c.vid), c.listed) << c.vid;
  }
  EXPECT_EQ(CameraLib().IsRestrictedCameraPID(L"c0ff"), 1);
  EXPECT_EQ(CameraLib().IsRestrictedCameraPID(L"C1D0"), 0);

  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  EXPECT_EQ(CameraLib().FirmwareUpdate(2), 1);
  const std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  // The call is logged under the identity the camera had when it was made.
  const std::string& last = lines.back();
  EXPECT_NE(last.find("\"dev\":\"7E51:C0FF\""), std::string::npos) << last;
  EXPECT_NE(last.find("\"op\":\"library\",\"call\":\"FirmwareUpdate\",\"args\":[2],\"result\":1"),
            std::string::npos)
      << last;
  EXPECT_NE(lines.front().find("\"call\":\"IsDFUDeviceVID\",\"args\":[\"7E51\"],\"result\":1"),
            std::string::npos)
      << lines.front();
}

}  // namespace
}  // namespace veltra::test

// The CX3 camera: its HID command channel through the bench library, and the way back from an
// erased flash through the FX3 boot ROM and the loaded DFU program.
#include "sim/cameras/cx3_camera.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cameras/camera_fixture.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "dfu/update_worker.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

class Cx3CameraTest : public CameraTest {
 protected:
  ~Cx3CameraTest() override { ReleaseDfuHandles(); }

  // Sends a command report and returns the first reply that is not "busy" (or the last one
  // read); reads counts the replies read.
  bool Exchange(std::initializer_list<std::uint8_t> report, std::uint8_t* reply, int* reads) {
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
  static void SetPart(Payload& part, const Bytes& bytes) {
    ReleasePayload(part);
    part.data = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(part.data, bytes.data(), bytes.size());
    part.length = static_cast<std::uint32_t>(bytes.size());
  }
};

TEST_F(Cx3CameraTest, EraseAndResetFallBackToTheRomAndTheUpdateBringsItBack) {
  auto camera = Plug(std::make_shared<sim::Cx3Camera>());
  std::uint8_t reply[64] = {};
  int reads = 0;

  ASSERT_EQ(CameraLib().InitExtensionUnit(PathOf(*camera).c_str()), 1);
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);
  EXPECT_EQ(CameraLib().DevicestateCX3SNI(reply), 0);

  // Versions, in the layout the version read takes apart.
  ASSERT_TRUE(Exchange({0xBB}, reply, &reads));
  EXPECT_EQ(reply[1], 0);
  EXPECT_EQ((std::vector<int>{reply[2], reply[3], reply[4], reply[5], reply[6]}),
            (std::vector<int>{1, 0, 3, 14, 24}));
  ASSERT_TRUE(Exchange({0xCC}, reply, &reads));
  EXPECT_EQ(reply[2], 2);
  EXPECT_EQ(reply[3], 5);
  EXPECT_STREQ(reinterpret_cast<const char*>(reply + 4), "Mar 14 2024");
  EXPECT_STREQ(reinterpret_cast<const char*>(reply + 16), "10:20:30");

  // Erase: busy for three reads, then done.
  ASSERT_TRUE(Exchange({0xAA, 0x01, 0, 0}, reply, &reads));
  EXPECT_EQ(reads, 4);
  EXPECT_EQ(reply[1], 0);
  EXPECT_FALSE(camera->FlashHoldsFirmware());

  // Reset: the camera leaves at once, so the reply cannot be read; with an empty flash it comes
  // back as the FX3 boot ROM, same serial.
  EXPECT_FALSE(Exchange({0xAA, 0x02, 0, 0}, reply, &reads));
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kBootRom);
  EXPECT_EQ(camera->Id().vid, sim::kCypressVid);
  EXPECT_EQ(camera->Id().pid, sim::kFx3RomPid);
  EXPECT_EQ(camera->Serial(), L"CX3A000001");
  EXPECT_FALSE(camera->HasVideoInterface());

  // The program loads the boot image; the loaded program speaks DFU.
  ASSERT_NE(Initialize_USBHanlde(bus_.UsbInterfacePath(camera.get()).c_str()), kNullHandle);
  const Bytes program = fwgen::StampedPayload(3000, Version{}, 1);
  SetPart(g_loaderImage, fwgen::Fx3BootImage({{0x40003000, program}}, 0x40003000));
  ASSERT_EQ(DoDownloadCypress(), 1u);
  ASSERT_EQ(camera->Id().pid, sim::kDfuPid);

  Version v;
  v.major = 7;
  v.minor = 3;
  const Bytes image = fwgen::StampedPayload(4000, v, 2);
  SetPart(imagePart2, image);
  g_imageType = 3;
  g_bDFUOpened = 1;
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(camera.get()).c_str()), 1);
  EXPECT_EQ(UpdateFirmware(), 1u);

  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  EXPECT_EQ(camera->Id().pid, sim::kCx3CameraPid);
  EXPECT_EQ(camera->Flash().image, image);
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);
  ASSERT_TRUE(Exchange({0xBB}, reply, &reads));
  EXPECT_EQ(reply[2], 7);
  EXPECT_EQ(reply[3], 3);
}

TEST_F(Cx3CameraTest, ResetFailuresAndAResetWithAWholeFlash) {
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
  const std::uint32_t generation = camera->Generation();
  EXPECT_FALSE(Exchange({0xAA, 0x02, 0, 0}, reply, &reads));
  // The flash was never erased: the camera reboots as itself, and the old channel is stale.
  EXPECT_EQ(camera->CurrentMode(), sim::Cx3Camera::Mode::kCamera);
  EXPECT_GT(camera->Generation(), generation);
  EXPECT_EQ(CameraLib().DevicestateCX3SNI(reply), 1);
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);
  EXPECT_EQ(CameraLib().DevicestateCX3SNI(reply), 0);
}

TEST_F(Cx3CameraTest, FaultsOnTheCommandChannel) {
  auto camera = Plug(std::make_shared<sim::Cx3Camera>());
  std::uint8_t reply[64] = {};
  int reads = 0;
  ASSERT_EQ(CameraLib().SetPreparseDataAndAttributes(), 1);

  ASSERT_TRUE(Exchange({0x42}, reply, &reads));
  EXPECT_EQ(reply[1], sim::cx3::kStatusUnknownCommand);

  camera->SetFault({sim::FaultKind::kTransferError, 1});
  EXPECT_FALSE(Exchange({0xBB}, reply, &reads));  // the reply read fails

  camera->SetFault({sim::FaultKind::kStuckState, 0});
  ASSERT_TRUE(Exchange({0xAA, 0x01, 0, 0}, reply, &reads));
  EXPECT_EQ(reads, 101);  // never leaves "busy"
  EXPECT_EQ(reply[1], sim::cx3::kStatusBusy);
}

}  // namespace
}  // namespace veltra::test

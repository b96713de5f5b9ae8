// The FX3 boot-loader route where the bench's ROM cannot take it: requests the driver record
// cannot carry, and a failed request, after which the image and the busy flag stay as they are.
#include "loaders/fx3_download.h"

#include <gtest/gtest.h>

#include <vector>

#include "dfu/dfu_requests.h"
#include "image/loader_files.h"
#include "loaders/loader_fixture.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Counts the Cypress driver requests and fails the chosen one; the others are not used.
class RecordingUsb : public UsbTransport {
 public:
  Handle OpenDevice(const wchar_t*) override { return 0x42; }
  void CloseDevice(Handle) override {}
  bool WinUsbInitialize(Handle, Handle*) override { return false; }
  void WinUsbFree(Handle) override {}
  bool ControlTransfer(Handle, const SetupPacket&, std::uint8_t*, std::uint32_t*) override {
    return false;
  }
  bool DeviceIoControl(Handle, std::uint32_t, std::uint8_t*, std::uint32_t length,
                       std::uint32_t* returned) override {
    ++requests;
    if (returned != nullptr) {
      *returned = length;
    }
    return requests != failAt;
  }

  int requests = 0;
  int failAt = -1;  // 1-based request that fails
};

class Fx3DownloadTest : public LoaderTest {
 protected:
  Fx3DownloadTest() {
    Ports set = ports();
    set.usb = &recorder_;
    InstallPorts(set);
    lastOpenedHandle = 0x42;
  }
  RecordingUsb recorder_;
};

TEST_F(Fx3DownloadTest, RequestsTheRecordCannotCarryAreNotSent) {
  Bytes data(300, 0x5A);
  ASSERT_EQ(DownloadBufferToDevice(data.data(), 300, 0x12345678), 1);
  // No data pointer, a length wLength cannot carry, a length that disagrees with wLength.
  EXPECT_EQ(XferData(SetupPacket{0x40, 0xA0, 0, 0, 0}, nullptr, 0), 0);
  Bytes huge(0x10000);
  EXPECT_EQ(DownloadBufferToDevice(huge.data(), 0x10000, 0), 0);
  EXPECT_EQ(DownloadBufferToDevice(huge.data(), 0xFFFF, 0), 1);
  EXPECT_EQ(XferData(SetupPacket{0x40, 0xA0, 0, 0, 10}, data.data(), 11), 0);
  EXPECT_EQ(recorder_.requests, 2);
}

// By design a failed boot-image download keeps the image and the busy flag: no second FX3
// download starts until the program restarts.
TEST_F(Fx3DownloadTest, FailedRequestEndsTheDownloadBeforeTheEntryAndKeepsTheImage) {
  recorder_.failAt = 2;
  SetPayload(g_loaderImage, fwgen::Fx3BootImage({{0x40003000, Bytes(6000, 0x33)}}, 0x40003000));
  EXPECT_EQ(DoDownloadCypress(), 0u);
  EXPECT_EQ(recorder_.requests, 2);
  EXPECT_EQ(g_bLoaderDownloadBusy.load(), 1);
  EXPECT_NE(g_loaderImage.data, nullptr);

  // Nothing loaded at all.
  ReleasePayload(g_loaderImage);
  recorder_.requests = 0;
  EXPECT_EQ(DoDownloadCypress(), 0u);
  EXPECT_EQ(recorder_.requests, 0);
}

}  // namespace
}  // namespace veltra::test

// The list rebuild where it departs from one entry per record: a boot-loader take-over that cannot
// start, the stop while a boot-loader download runs, repeated FX3 take-overs, and an empty table.
#include <string>

#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "devices_fixture.h"
#include "loaders/fx3_download.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::DevicesTest;

constexpr std::uint16_t kNxpVid = 0x1FC9;
constexpr std::uint16_t kRt1060RomPid = 0x0135;

// A take-over that cannot start is held until the ROM has left the bus: later rebuilds list the
// ROM without trying it again, and nothing is shown from inside the rebuild.
TEST_F(DevicesTest, FailedRt1060TakeOverIsHeldUntilTheRomLeaves) {
  system_->SetExecutableFolder(test::TestTempDir());
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", test::PayloadBytes(86272));
  PlugCamera(L"S1");
  const std::vector<std::wstring> listed{L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)", L""};
  auto rom = PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", false);  // no HID channel to open
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(Traced(L"\rInit_HIDHandle Failed\r\n"));
  EXPECT_EQ(Entries(), listed);
  system_->JoinAllThreads();
  EXPECT_FALSE(Traced(L"DoDownloadNXPCypress ++\r\n"));
  system_->ClearTrace();
  ASSERT_TRUE(Discover());
  EXPECT_FALSE(Traced(L"\rInit_HIDHandle Failed\r\n"));

  // Gone and back with a channel that opens, but no thread can be made: the user is told after
  // the rebuild (a posted notice), and the ROM is held again.
  bus_.Unplug(rom.get());
  ASSERT_TRUE(Discover());  // the ROM is gone: no longer held
  PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", true);
  system_->SetFailThreadCreation(true);
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_EQ(Sent(WM_APP_LOADER_NOTICE).size(), 1u);
  EXPECT_EQ(Entries(), listed);
  ASSERT_TRUE(Discover());
  EXPECT_EQ(Sent(WM_APP_LOADER_NOTICE).size(), 1u);
}

// While a boot-loader download runs, a ROM record waits for its turn as an empty entry, and the
// records after it are listed all the same.
TEST_F(DevicesTest, WhileADownloadRunsABootLoaderRecordWaitsAndTheRestIsListed) {
  // Capture pass first: the two cameras, then the ROM, then the update-mode camera.
  PlugCamera(L"S1");
  PlugBare(0x04B4, 0x00F3, L"FX3 Boot Loader");
  PlugCamera(L"S2");
  PlugCamera(L"S3", sim::kGenericCameraPid, true);
  Controller().BootLoader().bLoaderDownloadBusy = 1;  // a download runs
  ASSERT_TRUE(Discover());
  const std::vector<std::wstring> entries = Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)");
  EXPECT_EQ(entries[1], L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)");
  EXPECT_EQ(entries[2], L"");
  EXPECT_NE(entries[3], L"");
  EXPECT_FALSE(Traced(L"DoDownloadCypress ++\r\n"));
  EXPECT_EQ(shown_.Selected(), 0);
}

// Each FX3 take-over opens the ROM for its Cypress requests on a handle of its own, which its
// thread closes when it ends, whatever the outcome; a ROM that comes back is loaded anew.
TEST_F(DevicesTest, Fx3TakeOverClosesItsHandleWhenItsThreadEnds) {
  system_->SetExecutableFolder(test::TestTempDir());
  test::WriteTempFile("bootloader.img", test::Fx3BootImage({}, 0x40003000));
  for (int takeOver = 1; takeOver <= 3; ++takeOver) {
    SCOPED_TRACE(takeOver);
    auto rom = PlugBare(0x04B4, 0x00F3, L"FX3 Boot Loader");
    ASSERT_TRUE(Discover());
    system_->JoinAllThreads();
    EXPECT_TRUE(Traced(L"DoDownloadCypress ++\r\n"));
    EXPECT_EQ(usb_.OpenFileHandles(), 0);
    bus_.Unplug(rom.get());
    Discover();  // the ROM is gone: no longer held
    system_->ClearTrace();
  }
}

TEST_F(DevicesTest, EmptyTableSelectsNothing) {
  wcscpy(Controller().List().szSelectedDevicePath, L"stale");
  Controller().List().DeviceTable[0] = DeviceRecord{L"ghost", L"7E51", L"C1D0", L"\\\\?\\ghost"};
  Controller().List().nDeviceCount = 0;
  AddDeviceNameInCombbox(update_);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(shown_.Selected(), -1);
  EXPECT_EQ(std::wstring(Controller().List().szSelectedDevicePath), L"");
}

}  // namespace
}  // namespace veltra

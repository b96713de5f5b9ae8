// The list rebuild where it departs from one entry per record: a boot-loader take-over that cannot
// start, the stop while a boot-loader download runs, repeated FX3 take-overs, and an empty table.
#include <string>

#include "core/app_state.h"
#include "devices_fixture.h"
#include "loaders/fx3_download.h"

namespace veltra {
namespace {

using test::DevicesTest;

constexpr std::uint16_t kNxpVid = 0x1FC9;
constexpr std::uint16_t kRt1060RomPid = 0x0135;

TEST_F(DevicesTest, FailedRt1060TakeOverStartsNothingAndDisarmsTheBusyFlag) {
  auto rom = PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", false);  // no HID channel to open
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(Traced(L"\rInit_HIDHandle Failed\r\n"));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L""});
  system_->JoinAllThreads();
  EXPECT_FALSE(Traced(L"DoDownloadNXPCypress ++\r\n"));

  // Armed again by the next rebuild: the ROM is still tried, not skipped as busy.
  system_->ClearTrace();
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(Traced(L"\rInit_HIDHandle Failed\r\n"));

  // The channel opens but no thread can be made: the user is told, the flag is disarmed as well.
  bus_.Unplug(rom.get());
  PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", true);
  system_->SetFailThreadCreation(true);
  ASSERT_TRUE(Discover());
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, L"Could'nt Create Thread");
  EXPECT_EQ(boxes.back().caption, L"Error");
  EXPECT_EQ(boxes.back().style, kMbOk);
  EXPECT_FALSE(boxes.back().owned);
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L""});
  dialog_.ClearRecords();
  ASSERT_TRUE(Discover());
  EXPECT_FALSE(dialog_.MessageBoxes().empty());  // not skipped as busy: tried again
}

TEST_F(DevicesTest, RebuildStopsAtTheFirstBootLoaderRecordWhileADownloadRuns) {
  // Capture pass first: the two cameras, then the ROM, then the update-mode camera.
  PlugCamera(L"S1");
  PlugBare(0x04B4, 0x00F3, L"FX3 Boot Loader");
  PlugCamera(L"S2");
  PlugCamera(L"S3", sim::kGenericCameraPid, true);
  g_bootLoaderStep.bLoaderDownloadBusy = 1;  // a download runs
  ASSERT_TRUE(Discover());
  EXPECT_EQ(g_nDeviceCount, 4);
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)",
                                                  L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)"}));
  EXPECT_EQ(g_nSelectedIndex, 0);

  // With the ROM first nothing is listed, and nothing outside the table is selected.
  wcscpy(g_szSelectedDevicePath, L"stale");
  ASSERT_TRUE(Discover(true));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(g_nSelectedIndex, -1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"");
}

// Each FX3 take-over opens the ROM for its Cypress requests; a ROM that comes back (the user
// re-plugs the camera after a failed boot image) is taken over on a handle of its own, and the
// handle of the ROM that left is closed rather than leaked.
TEST_F(DevicesTest, Fx3TakeOverClosesTheHandleOfTheLastOne) {
  for (int takeOver = 1; takeOver <= 3; ++takeOver) {
    SCOPED_TRACE(takeOver);
    auto rom = PlugBare(0x04B4, 0x00F3, L"FX3 Boot Loader");
    ASSERT_TRUE(Discover());
    system_->JoinAllThreads();
    EXPECT_EQ(usb_.OpenFileHandles(), 1);
    bus_.Unplug(rom.get());
    LoaderDeviceLeft(g_bootLoaderStep);  // as the removal does: the failed ROM may come again
  }
}

TEST_F(DevicesTest, EmptyTableSelectsNothing) {
  wcscpy(g_szSelectedDevicePath, L"stale");
  g_DeviceTable[0] = DeviceRecord{L"ghost", L"7E51", L"C1D0", L"\\\\?\\ghost"};
  g_nDeviceCount = 0;
  AddDeviceNameInCombbox(update_);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(g_nSelectedIndex, -1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"");
}

}  // namespace
}  // namespace veltra

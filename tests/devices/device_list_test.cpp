// The list rebuild: boot-loader take-overs, the stop while a boot-loader download runs, the
// second form, and the selection when nothing is listed.
#include <string>

#include "app/app_state.h"
#include "devices_fixture.h"
#include "loaders/fx3_download.h"

namespace veltra {
namespace {

using test::DevicesTest;

constexpr std::uint16_t kCypressVid = 0x04B4;
constexpr std::uint16_t kFx3RomPid = 0x00F3;
constexpr std::uint16_t kNxpVid = 0x1FC9;
constexpr std::uint16_t kRt1060RomPid = 0x0135;
constexpr const wchar_t* kTakeOverTrace = L"\r\n***Device In Cypress BootLoader ***\r\n";

TEST_F(DevicesTest, Fx3BootRomIsTakenOverAndShownAsAnEmptyEntry) {
  auto rom = PlugBare(kCypressVid, kFx3RomPid, L"FX3 Boot Loader");
  ASSERT_TRUE(Discover());

  EXPECT_EQ(Entries(), std::vector<std::wstring>{L""});
  EXPECT_EQ(g_nSelectedIndex, 0);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), bus_.UsbInterfacePath(rom.get()));
  EXPECT_EQ(g_bLoaderThreadStarted, 1);
  EXPECT_NE(g_hFirmwareThread.load(), kNullHandle);
  EXPECT_TRUE(Traced(kTakeOverTrace));
  system_->JoinAllThreads();
  EXPECT_TRUE(Traced(L"DoDownloadCypress ++\r\n"));
}

TEST_F(DevicesTest, SecondFormListsTheFx3BootRomAsAnOrdinaryEntry) {
  PlugBare(kCypressVid, kFx3RomPid, L"FX3 Boot Loader");
  g_nDeviceCount = 0;
  ASSERT_EQ(DeviceConnect(), 1);
  AddDeviceNameInCombboxNoCypress();
  EXPECT_EQ(Entries(),
            std::vector<std::wstring>{L"FX3 Boot Loader_USB_1_HUB_1(VID_04B4,PID_00F3_0)"});
  EXPECT_EQ(g_bLoaderThreadStarted, 0);
  EXPECT_FALSE(Traced(kTakeOverTrace));
}

TEST_F(DevicesTest, Rt1060RomIsTakenOverThroughItsHidChannel) {
  auto rom = PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", true);
  ASSERT_TRUE(Discover());

  EXPECT_EQ(Entries(), std::vector<std::wstring>{L""});
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), bus_.UsbInterfacePath(rom.get()));
  EXPECT_EQ(library_.OpenHidDevice(), rom);
  EXPECT_EQ(g_bLoaderThreadStarted, 1);
  EXPECT_TRUE(Traced(kTakeOverTrace));
  system_->JoinAllThreads();
  EXPECT_TRUE(Traced(L"DoDownloadNXPCypress ++\r\n"));
}

TEST_F(DevicesTest, FailedRt1060TakeOverStartsNothingAndDisarmsTheBusyFlag) {
  PlugBare(kNxpVid, kRt1060RomPid, L"RT1060 ROM", false);  // no HID interface to open
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(Traced(L"\rInit_HIDHandle Failed\r\n"));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L""});
  EXPECT_EQ(g_bLoaderThreadStarted, 0);
  EXPECT_EQ(g_hFirmwareThread.load(), kNullHandle);
  EXPECT_EQ(g_bLoaderDownloadBusy, 0);

  // Armed again by the next rebuild: the ROM is still tried, not skipped as busy.
  system_->ClearTrace();
  ASSERT_TRUE(Discover());
  EXPECT_TRUE(Traced(L"\rInit_HIDHandle Failed\r\n"));
}

TEST_F(DevicesTest, ThreadThatCannotStartIsReportedWithoutOwner) {
  PlugBare(kCypressVid, kFx3RomPid, L"FX3 Boot Loader");
  system_->SetFailThreadCreation(true);
  ASSERT_TRUE(Discover());
  // (The missing boot image has its own message box; this test looks at the thread's.)
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, L"Could'nt Create Thread");
  EXPECT_EQ(boxes.back().caption, L"Error");
  EXPECT_EQ(boxes.back().style, kMbOk);
  EXPECT_FALSE(boxes.back().owned);
  EXPECT_EQ(Entries().size(), 1u);  // the empty entry is still added
}

TEST_F(DevicesTest, RebuildStopsAtTheFirstBootLoaderRecordWhileADownloadRuns) {
  // Capture pass first: the two cameras, then the ROM, then the update-mode camera.
  PlugCamera(L"S1");
  PlugBare(kCypressVid, kFx3RomPid, L"FX3 Boot Loader");
  PlugCamera(L"S2");
  PlugCamera(L"S3", sim::kGenericCameraPid, true);
  g_bLoaderDownloadBusy = 1;
  ASSERT_TRUE(Discover());
  EXPECT_EQ(g_nDeviceCount, 4);
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)",
                                                  L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)"}));
  EXPECT_EQ(g_nSelectedIndex, 0);
  EXPECT_EQ(g_bLoaderThreadStarted, 0);

  // With the ROM first nothing is listed, and nothing outside the table is selected.
  wcscpy(g_szSelectedDevicePath, L"stale");
  ASSERT_TRUE(Discover(true));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(g_nSelectedIndex, -1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"");
}

TEST_F(DevicesTest, EmptyTableSelectsNothing) {
  wcscpy(g_szSelectedDevicePath, L"stale");
  g_DeviceTable[0] = DeviceRecord{L"ghost", L"7E51", L"C1D0", L"\\\\?\\ghost"};
  g_nDeviceCount = 0;
  AddDeviceNameInCombbox();
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(g_nSelectedIndex, -1);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), L"");
  EXPECT_TRUE(Traced(L"Current selected index = -1 \r\n"));

  dialog_.ComboAddString(L"left over");
  RemoveDeviceNameInCombbox();
  EXPECT_TRUE(Entries().empty());
  EXPECT_TRUE(Traced(L"IDC_COMBO_DEVICELIST RemoveDeviceNameInCombbox\r\n"));
}

}  // namespace
}  // namespace veltra

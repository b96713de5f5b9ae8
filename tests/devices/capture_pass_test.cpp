// The capture-device pass: which cameras it takes, what it records, and how its failures end it.
#include <string>

#include "app/app_state.h"
#include "devices_fixture.h"

namespace veltra {
namespace {

using test::DevicesTest;

constexpr const wchar_t* kVideoGuid = L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

TEST_F(DevicesTest, TwoIdenticalCamerasGiveEntriesDifferingOnlyInTheIndex) {
  auto first = PlugCamera(L"AAA0000001");
  PlugCamera(L"AAA0000002");
  ASSERT_TRUE(Discover());

  EXPECT_EQ(g_nDeviceCount, 2);
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)",
                                                  L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)"}));
  // Recorded lower case, as the pass cuts the IDs from the lower-cased path.
  EXPECT_EQ(std::wstring(g_DeviceTable[0].vidText), L"7e51");
  EXPECT_EQ(RecordPath(0), bus_.CapturePath(first.get()));
  EXPECT_EQ(g_nSelectedIndex, 0);
  EXPECT_EQ(std::wstring(g_szSelectedDevicePath), RecordPath(0));
  EXPECT_TRUE(Traced(L"Current selected index = 0 \r\n"));
  EXPECT_TRUE(Traced(L" Number of Device available = 2\r\n"));
  EXPECT_EQ(discovery_.OpenObjects(), 0);
}

TEST_F(DevicesTest, FilterTakesServedVendorsAndTheSunplusCameraOnly) {
  struct Case {
    std::uint16_t vid;
    std::uint16_t pid;
    bool listed;
  };
  const Case cases[] = {
      {0x7E51, 0xC1D0, true},   // the maker's camera
      {0x04B4, 0x00C3, true},   // CX3 camera: served vendor
      {0x7E51, 0xC0FF, false},  // restricted model
      {0x1BCF, 0x0B12, true},   // Sunplus-based camera
      {0x1BCF, 0x0B13, false},  // Sunplus vendor, other product
      {0x0BDA, 0x0B12, false},  // Sunplus product ID, other vendor
      {0x046D, 0x0825, false},  // someone else's webcam
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.vid << ":" << c.pid);
    discovery_.ClearAddedEntries();
    discovery_.AddCaptureEntry({L"\\\\?\\usb#vid_" + sim::Hex4(c.vid) + L"&pid_" +
                                    sim::Hex4(c.pid) + L"&mi_00#7&1&0&0000" + kVideoGuid,
                                L"Cam A"});
    g_nDeviceCount = 0;
    g_bSunplusCameraListed = 0;
    EXPECT_EQ(GetAvailableDevices(), c.listed ? 1 : 0);
    EXPECT_EQ(g_nDeviceCount, c.listed ? 1 : 0);
    EXPECT_EQ(g_bSunplusCameraListed != 0, c.vid == 0x1BCF && c.listed);
  }
  // The Sunplus camera's entry shows the vendor as recorded (lower case), the product upper case.
  discovery_.ClearAddedEntries();
  discovery_.AddCaptureEntry(
      {std::wstring(L"\\\\?\\usb#vid_1bcf&pid_0b12&mi_00#7&1&0&0000") + kVideoGuid, L"Cam A"});
  ASSERT_TRUE(Discover());
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"Cam A(VID_1bcf,PID_0B12_0)"});
}

TEST_F(DevicesTest, UnreadablePropertiesSkipTheCameraButKeepTheResult) {
  auto nameless = PlugCamera(L"S1");
  auto pathless = PlugCamera(L"S2");
  auto good = PlugCamera(L"S3");
  discovery_.FailFriendlyName(nameless.get());
  discovery_.FailDevicePath(pathless.get());

  EXPECT_EQ(GetAvailableDevices(), 1);
  ASSERT_EQ(g_nDeviceCount, 1);
  EXPECT_EQ(RecordPath(0), bus_.CapturePath(good.get()));

  // A camera that passed the filter without a readable name still makes the result 1.
  bus_.Unplug(good.get());
  g_nDeviceCount = 0;
  EXPECT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(g_nDeviceCount, 0);
}

TEST_F(DevicesTest, FailuresOfTheEnumeratorEndThePassWithZero) {
  EXPECT_EQ(GetAvailableDevices(), 0);  // no capture device at all: S_FALSE
  EXPECT_EQ(g_nDeviceCount, 0);

  PlugCamera(L"S1");
  PlugCamera(L"S2");
  PlugCamera(L"S3");
  discovery_.FailBindAtMoniker(1);
  EXPECT_EQ(GetAvailableDevices(), 0);
  EXPECT_EQ(g_nDeviceCount, 1);  // committed before the failure: kept
  EXPECT_EQ(discovery_.OpenObjects(), 0);

  discovery_.ClearFaults();
  discovery_.SetClassEnumeratorResult(kEFail);
  g_nDeviceCount = 0;
  EXPECT_EQ(GetAvailableDevices(), 0);

  discovery_.FailSystemDeviceEnum(true);
  EXPECT_EQ(GetAvailableDevices(), 0);
  EXPECT_TRUE(Traced(L"CLSID_SystemDeviceEnum failed....\r\n"));
}

TEST_F(DevicesTest, PathWithoutIdsIsJudgedWithEmptyIdsNotThePreviousOnes) {
  PlugCamera(L"S1");
  discovery_.AddCaptureEntry({L"\\\\?\\root#image#0000#{65e8773d}\\global", L"Virtual Cam"});
  EXPECT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(g_nDeviceCount, 1);
  EXPECT_EQ(std::wstring(g_DeviceTable[1].vidText), L"");

  // Markers at the very end of a path: no digits to cut, nothing read past the text.
  discovery_.ClearAddedEntries();
  discovery_.AddCaptureEntry({L"\\\\?\\usb#vid_7e", L"Short"});
  g_nDeviceCount = 0;
  EXPECT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(g_nDeviceCount, 1);
}

TEST_F(DevicesTest, TableNeverTakesA21stDevice) {
  for (int i = 0; i < kMaxDevices + 1; ++i) {
    PlugCamera(L"CAM" + std::to_wstring(i), sim::kGenericCameraPid);
  }
  PlugCamera(L"DFU", sim::kGenericCameraPid, true);  // a 22nd, in update mode
  ASSERT_TRUE(Discover());
  EXPECT_EQ(g_nDeviceCount, kMaxDevices);
  EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kMaxDevices));
  EXPECT_EQ(Entries().back(), L"Veltra_RX40_MH(VID_7e51,PID_C1D0_19)");

  // The USB-device pass first: the update-mode camera takes record 0, the capture pass stops
  // at the limit.
  ASSERT_TRUE(Discover(true));
  EXPECT_EQ(g_nDeviceCount, kMaxDevices);
  EXPECT_EQ(std::wstring(g_DeviceTable[0].pidText), L"DF00");
}

TEST_F(DevicesTest, OverlongCapturePathAndNameAreCut) {
  const std::wstring path =
      L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#7&1&0&0000#" + std::wstring(400, L'x') + L"\\global";
  discovery_.AddCaptureEntry({path, std::wstring(300, L'N')});
  ASSERT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(RecordPath(0), path.substr(0, kPathChars - 1));
  EXPECT_EQ(std::wstring(g_DeviceTable[0].friendlyName).size(), kPathChars - 1);
  AddDeviceNameInCombbox();
  EXPECT_EQ(Entries().at(0).size(), kPathChars - 1);
}

}  // namespace
}  // namespace veltra

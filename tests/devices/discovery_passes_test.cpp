// The two discovery passes where their inputs run out: the 20-record table, texts longer than
// their fields, IDs and positions missing from a path. What the passes make of ordinary and random
// devices, and of OS calls that fail part-way, is checked by the fuzz targets' properties.
#include <string>

#include "devices_fixture.h"

namespace veltra {
namespace {

using test::DevicesTest;

TEST_F(DevicesTest, NameSuffixComesFromTheLocationPath) {
  const struct {
    const wchar_t* location;
    const wchar_t* name;
  } cases[] = {
      {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)", L"DFU Device_USB_2_HUB_1"},
      {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)", L"DFU Device_USB_2_HUB_0"},  // root-hub port
      {L"PCIROOT(0)#USB(3)", L"DFU Device_USB_0_HUB_0"},  // too short for either
      {L"", L"DFU Device_USB_0_HUB_0"},
  };
  for (const auto& c : cases) {
    discovery_.ClearAddedEntries();
    discovery_.AddUsbEntry({{L"USB\\VID_7E51&PID_DF01&REV_0100"},
                            {c.location},
                            L"DFU Device",
                            L"\\\\?\\usb#vid_7e51&pid_df01#s1#{a5dcbf10}"});
    Controller().List().nDeviceCount = 0;
    ASSERT_EQ(DeviceConnect(update_.Observer()), 1);
    EXPECT_EQ(std::wstring(Controller().List().DeviceTable[0].friendlyName), c.name) << c.location;
  }
}

TEST_F(DevicesTest, OverlongUsbStringsAreCut) {
  const std::wstring path = L"\\\\?\\usb#vid_7e51&pid_df00#" + std::wstring(300, L's');
  discovery_.AddUsbEntry(
      {{L"USB\\VID_7E51&PID_DF00&REV_0100" + std::wstring(400, L'R')},
       {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)" + std::wstring(400, L'L')},
       std::wstring(300, L'D'),
       path});
  ASSERT_EQ(DeviceConnect(update_.Observer()), 1);
  EXPECT_EQ(RecordPath(0), path.substr(0, kPathChars - 1));
  EXPECT_EQ(std::wstring(Controller().List().DeviceTable[0].pidText), L"DF00");
  // The description did not fit the field: the name keeps only the position.
  EXPECT_EQ(std::wstring(Controller().List().DeviceTable[0].friendlyName), L"_USB_2_HUB_1");
}

TEST_F(DevicesTest, OverlongCapturePathAndNameAreCut) {
  const std::wstring path =
      L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#7&1&0&0000#" + std::wstring(400, L'x') + L"\\global";
  discovery_.AddCaptureEntry({path, std::wstring(300, L'N')});
  ASSERT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(RecordPath(0), path.substr(0, kPathChars - 1));
  AddDeviceNameInCombbox(update_);
  EXPECT_EQ(Entries().at(0).size(), kPathChars - 1);  // name and suffix cut to the entry
}

TEST_F(DevicesTest, PathWithoutIdsIsJudgedWithEmptyIdsNotThePreviousOnes) {
  PlugCamera(L"S1");
  discovery_.AddCaptureEntry({L"\\\\?\\root#image#0000#{65e8773d}\\global", L"Virtual Cam"});
  EXPECT_EQ(GetAvailableDevices(), 1);
  EXPECT_EQ(Controller().List().nDeviceCount, 1);
  EXPECT_EQ(std::wstring(Controller().List().DeviceTable[1].vidText), L"");
}

TEST_F(DevicesTest, TableNeverTakesA21stDevice) {
  for (int i = 0; i < kMaxDevices + 1; ++i) {
    PlugCamera(L"CAM" + std::to_wstring(i));
  }
  PlugCamera(L"DFU", sim::kGenericCameraPid, true);  // a 22nd, in update mode
  ASSERT_TRUE(Discover());
  EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kMaxDevices));
  EXPECT_EQ(Entries().back(), L"Veltra_RX40_MH(VID_7e51,PID_C1D0_19)");

  // The USB-device pass first: the update-mode camera takes record 0, the capture pass stops at
  // the limit.
  ASSERT_TRUE(Discover(true));
  EXPECT_EQ(Entries().size(), static_cast<std::size_t>(kMaxDevices));
  EXPECT_EQ(std::wstring(Controller().List().DeviceTable[0].pidText), L"DF00");
  EXPECT_EQ(discovery_.OpenObjects(), 0);
}

}  // namespace
}  // namespace veltra

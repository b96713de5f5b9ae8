// The USB-device pass: which devices count as in update or boot-loader mode, the record it makes
// for them, the name after the USB position, and its failures.
#include <string>

#include "devices_fixture.h"

namespace veltra {
namespace {

using test::DevicesTest;

TEST(FindMatchDFUDevice, TestsVendorAndProductSeparatelyIgnoringCase) {
  const struct {
    const wchar_t* hardwareId;
    int match;
  } cases[] = {
      {L"USB\\VID_7E51&PID_DF01&REV_0100", 1},
      {L"usb\\vid_7e51&pid_df00&rev_0100", 1},
      {L"USB\\VID_04B4&PID_DF02", 1},  // any accepted VID with any accepted PID
      {L"USB\\VID_1FC9&PID_00F3", 1},
      {L"USB\\VID_1FC9&PID_0135&REV_0001", 1},
      {L"USB\\VID_7E51&PID_C1D0&REV_0100", 0},  // a camera in normal mode
      {L"USB\\VID_1234&PID_DF00", 0},
      {L"USB\\VID_7E5", 0},  // cut short: no four digits
      {L"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindMatchDFUDevice(c.hardwareId), c.match) << std::wstring(c.hardwareId).c_str();
  }
}

TEST(GetVidPid, CutsFourDigitsAndLeavesMissingOutputsAlone) {
  wchar_t text[] = L"\\\\?\\usb#vid_7e51&pid_df00#abc";
  wchar_t vid[10] = L"old";
  wchar_t pid[10] = L"old";
  GetVidPid(text, vid, pid);
  EXPECT_EQ(std::wstring(text), L"\\\\?\\USB#VID_7E51&PID_DF00#ABC");
  EXPECT_EQ(std::wstring(vid), L"7E51");
  EXPECT_EQ(std::wstring(pid), L"DF00");

  wchar_t noPid[] = L"vid_1fc9";
  wchar_t keep[10] = L"old";
  GetVidPid(noPid, vid, keep);
  EXPECT_EQ(std::wstring(vid), L"1FC9");
  EXPECT_EQ(std::wstring(keep), L"old");
}

TEST_F(DevicesTest, UpdateModeCameraIsRecordedByItsUsbInterface) {
  PlugCamera(L"S1");  // normal mode: listed by the capture pass only
  auto waiting = PlugCamera(L"S2", sim::kGenericCameraPid, true);
  ASSERT_EQ(DeviceConnect(), 1);
  ASSERT_EQ(g_nDeviceCount, 1);
  EXPECT_EQ(std::wstring(g_DeviceTable[0].vidText), L"7E51");
  EXPECT_EQ(std::wstring(g_DeviceTable[0].pidText), L"DF00");
  EXPECT_EQ(RecordPath(0), bus_.UsbInterfacePath(waiting.get()));  // stored as the OS gave it
  EXPECT_EQ(std::wstring(g_DeviceTable[0].friendlyName), L"DFU Device_USB_2_HUB_1");
  EXPECT_TRUE(Traced(L"DeviceConnect: Device not found \r\n"));
  EXPECT_TRUE(Traced(L"SPDRP_HARDWAREID GetLastError() = 122\r\n"));
  EXPECT_EQ(discovery_.OpenObjects(), 0);

  // The USB-device arrival order puts it first; the capture pass appends the normal camera.
  ASSERT_TRUE(Discover(true));
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"DFU Device_USB_2_HUB_1(VID_7E51,PID_DF00_0)",
                                                  L"Veltra_RX40_MH(VID_7e51,PID_C1D0_1)"}));
}

TEST_F(DevicesTest, NameSuffixComesFromTheLocationPath) {
  const struct {
    const wchar_t* location;
    const wchar_t* name;
  } cases[] = {
      {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)", L"DFU Device_USB_2_HUB_1"},
      {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)", L"DFU Device_USB_2_HUB_0"},  // root-hub port
      {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(3)#USB(9)", L"DFU Device_USB_4_HUB_3"},
      {L"PCIROOT(0)#USB(3)", L"DFU Device_USB_0_HUB_0"},  // too short for either
      {L"", L"DFU Device_USB_0_HUB_0"},                   // no location at all
  };
  for (const auto& c : cases) {
    discovery_.ClearAddedEntries();
    discovery_.AddUsbEntry(
        {{L"USB\\VID_7E51&PID_DF01&REV_0100"},
         {c.location},
         L"DFU Device",
         L"\\\\?\\usb#vid_7e51&pid_df01#s1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"});
    g_nDeviceCount = 0;
    ASSERT_EQ(DeviceConnect(), 1);
    EXPECT_EQ(std::wstring(g_DeviceTable[0].friendlyName), c.name) << c.location;
  }
}

TEST_F(DevicesTest, OverlongUsbStringsAreCut) {
  const std::wstring path = L"\\\\?\\usb#vid_7e51&pid_df00#" + std::wstring(300, L's');
  discovery_.AddUsbEntry(
      {{L"USB\\VID_7E51&PID_DF00&REV_0100" + std::wstring(400, L'R')},
       {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)" + std::wstring(400, L'L')},
       std::wstring(300, L'D'),
       path});
  ASSERT_EQ(DeviceConnect(), 1);
  EXPECT_EQ(RecordPath(0), path.substr(0, kPathChars - 1));
  EXPECT_EQ(std::wstring(g_DeviceTable[0].pidText), L"DF00");
  // The description did not fit the field: the name keeps only the position.
  EXPECT_EQ(std::wstring(g_DeviceTable[0].friendlyName), L"_USB_2_HUB_1");
}

TEST_F(DevicesTest, UnreadableInterfaceDetailStopsThePassWithAMessage) {
  PlugCamera(L"S1", sim::kGenericCameraPid, true);
  auto broken = PlugCamera(L"S2", sim::kGenericCameraPid, true);
  PlugCamera(L"S3", sim::kGenericCameraPid, true);
  discovery_.FailInterfaceDetail(broken.get());

  EXPECT_EQ(DeviceConnect(), 0);
  EXPECT_EQ(g_nDeviceCount, 1);  // appended before the failure: kept
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Error in SetupDiGetDeviceInterfaceDetail!");
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_EQ(boxes[0].style, 0x40010u);
  EXPECT_EQ(discovery_.OpenObjects(), 0);
}

}  // namespace
}  // namespace veltra

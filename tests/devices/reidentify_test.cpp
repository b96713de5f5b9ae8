// Finding the updated camera again, by its USB serial or by the path it did not have before.
#include "devices/reidentify.h"

#include <string>

#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/usb_serial.h"
#include "devices_fixture.h"

namespace veltra {
namespace {

using test::DevicesTest;

TEST_F(DevicesTest, UniqueIdStaysEmptyWhereTheSerialCannotBeRead) {
  auto camera = PlugCamera(L"S1");
  const auto uniqueId = [](const std::wstring& path, int expected) {
    wchar_t buffer[kPathChars];
    CopyText(buffer, path.c_str());
    wchar_t id[11] = {};
    EXPECT_EQ(EnumerateImageDevice(buffer, id), expected) << path;
    return std::wstring(id);
  };
  const std::wstring path = bus_.CapturePath(camera.get());
  for (auto version : {std::pair<unsigned, unsigned>{5, 1}, {5, 2}}) {
    discovery_.SetOsVersion(version.first, version.second);
    EXPECT_EQ(uniqueId(path, 0), L"");
  }
  discovery_.SetOsVersion(6, 1);

  // Found, but the serial cannot be read: 1 with the output untouched.
  discovery_.SetDevicePropertyAvailable(false);
  EXPECT_EQ(uniqueId(path, 1), L"");
  discovery_.SetDevicePropertyAvailable(true);
  discovery_.FailParentProperty(camera.get());
  EXPECT_EQ(uniqueId(path, 1), L"");

  // Not found at all: another key, or a path that is no interface of a composite device.
  EXPECT_EQ(uniqueId(L"\\\\?\\usb#vid_7e51&pid_c1d0&mi_00#7&deadbeef&0&0000#{x}", 0), L"");
  EXPECT_EQ(uniqueId(L"\\\\?\\usb#vid_7e51&pid_df00#s1#{x}", 0), L"");
}

// The video-class set lists a device once however many video interfaces it exposes, so the serial
// must come from the device that owns the found interface, not the device at the same index.
TEST_F(DevicesTest, SerialComesFromTheDeviceThatOwnsTheInterface) {
  auto first = PlugCamera(L"S1");
  auto second = PlugCamera(L"S2");
  auto third = PlugCamera(L"S3");
  discovery_.SetTwoVideoInterfaces(first.get());
  for (const auto& [camera, serial] : {std::pair{second, L"S2"}, std::pair{third, L"S3"}}) {
    wchar_t path[kPathChars];
    CopyText(path, bus_.CapturePath(camera.get()).c_str());
    wchar_t id[11] = {};
    EXPECT_EQ(EnumerateImageDevice(path, id), 1);
    EXPECT_STREQ(id, serial);
  }
}

TEST_F(DevicesTest, CamerasWithoutSerialMatchTheFirstAndCamerasWithoutExtensionUnitAreSkipped) {
  UpdateSession update;
  PlugCamera(L"");
  PlugCamera(L"");
  ASSERT_TRUE(Discover());
  dialog_.ComboSetCurSel(1);
  CopyText(update.USBUniqueID, L"00");
  EXPECT_EQ(MatchUniqueIDForUpdatedDeviceHID(update), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 0);

  // An unresolved serial matches the first camera whose serial is unresolved too.
  discovery_.SetDevicePropertyAvailable(false);
  update.USBUniqueID[0] = L'\0';
  dialog_.ComboSetCurSel(1);
  EXPECT_EQ(MatchUniqueIDForUpdatedDeviceHID(update), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 0);

  // A camera without the generic extension unit (a Pesca or Tarsa camera) ahead of the wanted
  // one is passed over: its serial is no less readable.
  discovery_.SetDevicePropertyAvailable(true);
  for (const auto& device : bus_.Present()) {
    bus_.Unplug(device.get());
  }
  sim::DfuModeCamera::Options options;
  options.extensionUnit = false;
  bus_.Plug(std::make_shared<sim::GenericCamera>(options));
  PlugCamera(L"WANTED");
  ASSERT_TRUE(Discover());
  CopyText(update.USBUniqueID, L"WANTED");
  EXPECT_EQ(MatchUniqueIDForUpdatedDeviceHID(update), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
}

TEST_F(DevicesTest, PathMatchSelectsTheFirstCameraNotSavedByTheLastUpdate) {
  UpdateSession update;
  PlugCamera(L"S1");
  auto updated = PlugCamera(L"");  // without a serial: new paths when it returns on another port
  PlugCamera(L"S3");
  ASSERT_TRUE(Discover());
  // The update started: every path saved.
  for (int i = 0; i < g_nDeviceCount; ++i) {
    CopyText(update.savedDevicePaths[i], g_DeviceTable[i].devicePath);
    UpperInPlace(update.savedDevicePaths[i]);  // compared ignoring case
  }
  update.nSavedDeviceCount = g_nDeviceCount.load();

  // Nothing new on the bus: the selection is left alone.
  ASSERT_TRUE(Discover());
  dialog_.ComboSetCurSel(2);
  EXPECT_EQ(MatchUniqueIDForUpdatedDeviceDFU(update), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 2);

  // An earlier update left a path beyond the saved count; it must not hide the new one.
  bus_.Leave(updated.get());
  bus_.MoveToNextFreePort(updated.get());
  bus_.Return(updated.get());
  CopyText(update.savedDevicePaths[3], bus_.CapturePath(updated.get()).c_str());
  ASSERT_TRUE(Discover());
  EXPECT_EQ(MatchUniqueIDForUpdatedDeviceDFU(update), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  EXPECT_EQ(g_nLastSelectedIndex, 1);
}

}  // namespace
}  // namespace veltra

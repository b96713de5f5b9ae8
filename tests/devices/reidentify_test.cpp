// Finding the updated camera again: its serial as the program reads it, and the one rule.
#include "devices/reidentify.h"

#include <string>

#include "app/resource_ids.h"
#include "core/text.h"
#include "core/update_controller.h"
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

// The one rule that finds the updated camera: its whole serial (two serials that share their
// first 10 characters are told apart), otherwise only its place or the companion port of it; a
// serial several devices carry decides only with the place; two alike are reported, not taken.
TEST_F(DevicesTest, UpdatedCameraIsFoundByItsWholeSerialOrOnlyThenByItsPlace) {
  auto first = PlugCamera(L"LONGSERIAL-0000000001");
  PlugCamera(L"LONGSERIAL-0000000002");
  auto without = PlugCamera(L"");
  PlugCamera(L"");
  auto waiting = PlugCamera(L"W1", sim::kGenericCameraPid, true);  // DF00, the family's serial
  PlugCamera(L"W2", sim::kGenericCameraPid, true);
  ASSERT_TRUE(Discover(true));  // the two update-mode devices first
  const auto find = [](const wchar_t* serial, const std::wstring& location, ListedAs kind,
                       const std::wstring& companion = L"") {
    CameraIdentity camera;
    CopyText(camera.serial, serial);
    camera.ownSerial = kind == ListedAs::kNormalMode;
    CopyText(camera.location, location.c_str());
    CopyText(camera.companion, companion.c_str());
    return FindUpdatedCamera(camera, kind);
  };
  const auto index = [&](const wchar_t* serial, const std::wstring& location, ListedAs kind) {
    const FoundCamera found = find(serial, location, kind);
    return found.result == CameraFound::kFound ? found.index : -1;
  };
  EXPECT_EQ(index(L"LONGSERIAL-0000000002", L"", ListedAs::kNormalMode), 3);
  EXPECT_EQ(index(L"LONGSERIAL-00", L"", ListedAs::kNormalMode), -1);  // a cut serial is none
  EXPECT_EQ(index(L"", bus_.LocationPath(without.get()), ListedAs::kNormalMode), 4);
  EXPECT_EQ(index(L"", L"", ListedAs::kNormalMode), -1);
  // A serial matched wins over the place of another device.
  EXPECT_EQ(
      index(L"LONGSERIAL-0000000001", bus_.LocationPath(without.get()), ListedAs::kNormalMode), 2);
  // In update mode both report one fixed serial (Windows gives it to the first only) and sit on
  // their companion ports: the camera's place in its normal mode (the companion's companion)
  // decides, and a fixed serial read in update mode never outweighs the place.
  const std::wstring waitingPlace = bus_.LocationPath(waiting.get());
  const std::wstring normalPlace = sim::Bus::CompanionLocationPath(waitingPlace);
  ASSERT_NE(normalPlace, waitingPlace);
  EXPECT_EQ(index(L"", normalPlace, ListedAs::kUpdateMode), 0);
  EXPECT_EQ(index(L"VELTRA-DFU-MODE-0001", waitingPlace, ListedAs::kUpdateMode), 0);
  EXPECT_EQ(index(L"W1", normalPlace, ListedAs::kBootRom), -1);
  // Two devices at the places that name the camera: neither is taken.
  EXPECT_EQ(find(L"", bus_.LocationPath(first.get()), ListedAs::kNormalMode,
                 bus_.LocationPath(without.get()))
                .result,
            CameraFound::kMoreThanOne);
}

}  // namespace
}  // namespace veltra

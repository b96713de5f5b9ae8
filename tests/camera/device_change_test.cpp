// Device changes on the bench: the real discovery passes, list fill and DFU transport, the bench's
// camera library, and the worker where a handler starts it.
#include "camera/device_change.h"

#include "camera/update_worker.h"
#include "camera_bench.h"
#include "core/app_state.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/dfu_camera.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using Cls = DeviceInterfaceClass;
using sim::DfuModeCamera;

class DeviceChangeTest : public test::CameraBench {
 protected:
  std::shared_ptr<sim::DfuCamera> PlugDfu(std::uint16_t pid, const wchar_t* serial) {
    sim::DfuCamera::Options options;
    options.pid = pid;
    return Plug<sim::DfuCamera>(options, serial);
  }
  static void Event(std::uint32_t event, Cls cls) {
    OnDeviceChange(DeviceChange{event, kDbtDevtypDeviceInterface, cls});
  }
  // A handler run as OnDeviceChange runs it: into an empty table.
  static void Arrive(ArrivalVariant variant) {
    g_nDeviceCount = 0;
    SetDeviceArrivValueForWinUSBDevice(variant);
  }
  void Clear() {
    dialog_.ClearRecords();
    system_->ClearTrace();
  }
};

// The camera coming back is a device in update mode carrying its serial, wherever its path was
// before; without a known serial, the first update-mode device that was not on the bus. Every
// variant opens it; while the pass's worker runs, nothing is opened or started.
TEST_F(DeviceChangeTest, ReturningCameraIsTheUpdateModeDeviceWithItsSerial) {
  auto old = PlugDfu(0xDF00, L"S0");
  PlugDfu(0xDF01, L"S1");
  auto wanted = PlugDfu(0xDF00, L"S2");
  CopyText(CurrentUpdate().savedDevicePaths[0], bus_.UsbInterfacePath(old.get()).c_str());
  CopyText(CurrentUpdate().savedDevicePaths[1], bus_.UsbInterfacePath(wanted.get()).c_str());
  CurrentUpdate().nSavedDeviceCount = 2;
  CurrentUpdate().bUpdatedFromHIDMode = 1;
  test::SelectFirmware(test::CombinedFileBytes(1));
  dialog_.SetTimer(IDT_TIMER_FOR_HD_ISSUE, 60000);
  system_->SetFailThreadCreation(true);

  CopyText(CurrentUpdate().USBUniqueID, L"S2");
  Arrive(ArrivalVariant::kNoRestart);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 2);
  EXPECT_EQ(usb_.DeviceOf(CurrentUpdate().winUSBHandle.load()), wanted.get());
  EXPECT_EQ(CurrentUpdate().bAwaitingModeSwitch.load(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});

  Clear();
  CurrentUpdate().USBUniqueID[0] = L'\0';
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  EXPECT_EQ(usb_.DeviceOf(CurrentUpdate().winUSBHandle.load())->Id().pid, 0xDF01);
  EXPECT_EQ(CurrentUpdate().bWriteFirstPart.load(), 1);  // DF01 with a combined image of type 1
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});

  Clear();
  ReleaseDfuHandles();
  CurrentUpdate().bWorkerRunning = 1;
  Arrive(ArrivalVariant::kFull);
  CurrentUpdate().bWorkerRunning = 0;
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());

  // A boot-loader download the list fill started itself: no search, no second worker.
  Clear();
  CurrentUpdate().bLoaderThreadStarted = 1;
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(CurrentUpdate().bLoaderThreadStarted.load(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(DeviceChangeTest, VideoArrivalSelectsTheUpdatedCameraAgainBySerial) {
  Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"A1");
  Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"B2");
  CopyText(CurrentUpdate().USBUniqueID, L"B2");
  CurrentUpdate().bMatchByUniqueID = 1;
  CurrentUpdate().bDownloadInProgress = 1;
  Event(kDbtDeviceArrival, Cls::kHid);
  EXPECT_TRUE(dialog_.ComboItems().empty());  // nothing happens while data is being sent

  CurrentUpdate().bDownloadInProgress = 0;
  Event(kDbtDeviceArrival, Cls::kHid);
  EXPECT_EQ(dialog_.ComboItems().size(), 2u);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  // The camera's next HID arrival (another collection) rebuilds the list again: still selected.
  Event(kDbtDeviceArrival, Cls::kHid);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
}

}  // namespace
}  // namespace veltra

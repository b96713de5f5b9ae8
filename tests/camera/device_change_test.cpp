// Device changes on the bench: the real discovery passes, list fill and DFU transport, the bench's
// camera library, and the worker where a handler starts it.
#include "camera/device_change.h"

#include "app/dialog_observer.h"
#include "app/resource_ids.h"
#include "camera/update_worker.h"
#include "camera_bench.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "sim/dfu_camera.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

class DeviceChangeTest : public test::CameraBench {
 protected:
  std::shared_ptr<sim::DfuCamera> PlugDfu(std::uint16_t pid, const wchar_t* serial) {
    sim::DfuCamera::Options options;
    options.pid = pid;
    return Plug<sim::DfuCamera>(options, serial);
  }
  // A handler run as OnDeviceChange runs it: into an empty table.
  void Arrive(ArrivalVariant variant) {
    Controller().List().nDeviceCount = 0;
    SetDeviceArrivValueForWinUSBDevice(update_, variant);
  }
  void Clear() {
    dialog_.ClearRecords();
    system_->ClearTrace();
  }
  // The update under way, as the dispatch left it; its reports go to the dialog.
  UpdateSession update_;
  DialogObserver observer_{update_};
};

// The camera coming back is a device in update mode carrying its serial, wherever its path was
// before; when none carries it, the one at the camera's place. Every variant opens it and stops
// the bound on its return; while the pass's worker runs, nothing is opened or started.
TEST_F(DeviceChangeTest, ReturningCameraIsTheUpdateModeDeviceWithItsSerial) {
  PlugDfu(0xDF00, L"S0");
  auto second = PlugDfu(0xDF01, L"S1");
  auto wanted = PlugDfu(0xDF00, L"S2");
  update_.SetObserver(&observer_);
  update_.bUpdatedFromHIDMode = 1;
  update_.Advance(UpdatePhase::kAwaitingModeSwitch);
  test::SelectFirmware(update_, test::CombinedFileBytes(1));
  dialog_.SetTimer(IDT_TIMER_FOR_HD_ISSUE, 60000);
  system_->SetFailThreadCreation(true);

  CopyText(update_.camera.serial, L"S2");
  Arrive(ArrivalVariant::kNoRestart);
  EXPECT_EQ(shown_.ComboGetCurSel(), 2);
  EXPECT_EQ(usb_.DeviceOf(update_.link.winUSBHandle.load()), wanted.get());
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});

  Clear();
  update_.camera = CameraIdentity{};
  CopyText(update_.camera.location, bus_.LocationPath(second.get()).c_str());
  update_.Advance(UpdatePhase::kAwaitingModeSwitch);
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(shown_.ComboGetCurSel(), 1);
  EXPECT_EQ(usb_.DeviceOf(update_.link.winUSBHandle.load())->Id().pid, 0xDF01);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});

  Clear();
  ReleaseDfuHandles(update_.link);
  update_.bWorkerRunning = 1;
  Arrive(ArrivalVariant::kFull);
  update_.bWorkerRunning = 0;
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(shown_.ComboGetCurSel(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());

  // A boot-loader download the list fill started itself: no search, no second worker.
  Clear();
  Controller().BootLoader().bLoaderThreadStarted = 1;
  Arrive(ArrivalVariant::kFull);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

}  // namespace
}  // namespace veltra

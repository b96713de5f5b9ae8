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

TEST_F(DeviceChangeTest, ArrivalsAreDispatchedOnTheCameraSelectedBeforeTheEvent) {
  enum Handler { kVideo, kFull, kNoMirel, kNoRestart };
  const struct {
    Cls cls;
    int selected;
    const wchar_t* pid;
    Handler handler;
  } cases[] = {
      {Cls::kHid, 0, L"0135", kNoRestart},       {Cls::kHid, 0, L"c05c", kNoRestart},
      {Cls::kHid, 0, L"C1D0", kVideo},           {Cls::kUsbDevice, 0, L"DF02", kNoMirel},
      {Cls::kUsbDevice, 1, L"C05C", kNoMirel},  // the selected slot, not the first
      {Cls::kUsbDevice, 0, L"0135", kNoRestart}, {Cls::kUsbDevice, 0, L"DF00", kFull},
      {Cls::kUsbDevice, -1, nullptr, kFull},     {Cls::kHid, 25, nullptr, kVideo},
  };
  Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"G1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  CurrentUpdate().bUpdatedFromHIDMode = 1;
  system_->SetFailThreadCreation(true);  // a worker start would show as the thread-failure box

  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "selected " << c.selected << ", handler " << c.handler);
    Clear();
    g_nSelectedIndex = c.selected;
    if (c.pid != nullptr) {
      CopyText(g_DeviceTable[c.selected].pidText, c.pid);
    }
    const auto before = system_->NowMs();
    const int mirelInits = lib_.Count("InitMirelExtensionUnit");

    Event(kDbtDeviceArrival, c.cls);

    EXPECT_EQ(Traced(L"DBT_DEVICEARRIVAL:Calling InitExtensionUnit for HID\r\n"),
              c.handler == kVideo);
    EXPECT_EQ(system_->NowMs() - before, c.handler == kVideo ? 0u : 2000u);
    EXPECT_EQ(lib_.Count("InitMirelExtensionUnit") - mirelInits, c.handler == kFull ? 1 : 0);
    // A camera in its normal mode is never taken for the one coming back in update mode.
    EXPECT_TRUE(dialog_.MessageBoxes().empty());
  }
  // Other classes and broadcasts of other device types are ignored.
  const auto calls = lib_.Calls().size();
  g_nDeviceCount = 1;
  OnDeviceChange(DeviceChange{kDbtDeviceArrival, 2, Cls::kUsbDevice});
  EXPECT_EQ(g_nDeviceCount.load(), 1);
  Event(kDbtDeviceArrival, Cls::kOther);
  Event(kDbtDeviceRemoveComplete, Cls::kOther);
  EXPECT_EQ(lib_.Calls().size(), calls);
}

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
  EXPECT_EQ(usb_.DeviceOf(winUSBHandle.load()), wanted.get());
  EXPECT_EQ(CurrentUpdate().bAwaitingModeSwitch.load(), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Could'nt Create Thread"});

  Clear();
  CurrentUpdate().USBUniqueID[0] = L'\0';
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  EXPECT_EQ(usb_.DeviceOf(winUSBHandle.load())->Id().pid, 0xDF01);
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
  g_bLoaderThreadStarted = 1;
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(g_bLoaderThreadStarted.load(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(DeviceChangeTest, FlashLoaderIsOpenedOverHidAndTheWorkerStartsWhateverTheOpenSays) {
  PlugDfu(0xDF02, L"S1");  // no HID interface here, so the open fails
  for (ArrivalVariant variant : {ArrivalVariant::kNoMirel, ArrivalVariant::kFull}) {
    Clear();
    CurrentUpdate().bIsStartUpdatedFromDFU = 1;  // the failing worker clears it each time
    const auto before = system_->NowMs();
    const int opens = lib_.Count("Init_HIDHandle");
    Arrive(variant);
    system_->JoinAllThreads();
    EXPECT_EQ(system_->NowMs() - before, 4000u);
    EXPECT_EQ(lib_.Count("Init_HIDHandle") - opens, 1);
    EXPECT_NE(CurrentUpdate().hFirmwareThread.load(), kNullHandle);
  }
  // With nothing on the bus the list empties, and no worker is started for nothing.
  bus_.Unplug(bus_.Present().front().get());
  Clear();
  CurrentUpdate().bUpdatedFromHIDMode = 1;
  system_->SetFailThreadCreation(true);
  Arrive(ArrivalVariant::kFull);
  EXPECT_TRUE(dialog_.ComboItems().empty());
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(DeviceChangeTest, RemovalsWaitOutAnUpdateAndTheLastOneFreesTheWarningDialog) {
  auto camera = Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"G1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  bus_.Unplug(camera.get());
  for (Flag* busy : {&CurrentUpdate().bUpdatedFromHIDMode, &CurrentUpdate().bDownloadInProgress}) {
    *busy = 1;
    Event(kDbtDeviceRemoveComplete, Cls::kHid);
    Event(kDbtDeviceRemoveComplete, Cls::kUsbDevice);
    EXPECT_EQ(dialog_.ComboItems().size(), 1u);
    EXPECT_EQ(g_nDeviceCount.load(), 0);  // emptied before the handler looked at the flag
    *busy = 0;
  }

  dialog_.SetTimer(IDT_WARNING_TIMEOUT, 180000);
  g_bLoaderThreadStarted = 1;
  Event(kDbtDeviceRemoveComplete, Cls::kUsbDevice);
  EXPECT_TRUE(dialog_.ComboItems().empty());
  EXPECT_TRUE(dialog_.Item(IDC_STATIC_NO_DEVICE).visible);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_WARNING_TIMEOUT));
  EXPECT_EQ(dialog_.WindowItemEnabled(Window::kWarnDialog, IDC_BTN_CONFIRM_OK), true);
  EXPECT_FALSE(dialog_.Item(IDC_BTN_EXIT).enabled);

  PlugDfu(0xDF00, L"S1");  // what is left does not answer on the extension unit
  Event(kDbtDeviceRemoveComplete, Cls::kHid);
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);
  EXPECT_FALSE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
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

// The Mirel silicon under the chip vendor's IDs opens the Mirel channel but has no version read
// of its own.
TEST_F(DeviceChangeTest, SunplusIdCameraIsListedWithoutAVersionRead) {
  sim::MirelCamera::Options sunplus;
  sunplus.sunplusIds = true;
  Plug<sim::MirelCamera>(sunplus, L"M1");
  EXPECT_EQ(SetInitialDeviceValue(), 1);
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);
  EXPECT_EQ(lib_.Count("InitMirelExtensionUnit"), 1);
  EXPECT_FALSE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
}

}  // namespace
}  // namespace veltra

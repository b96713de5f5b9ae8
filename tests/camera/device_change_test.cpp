#include "camera/device_change.h"

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/resource_ids.h"
#include "app/text.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "dfu/dfu_requests.h"
#include "dfu/download_engines.h"
#include "fake_camera_library.h"
#include "image/firmware_image.h"
#include "sim/dfu_camera.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "support/bench_fixture.h"

namespace veltra {
namespace {

using Cls = DeviceInterfaceClass;

// A camera in its normal mode: a video and a HID interface.
class NormalCamera : public sim::VirtualDevice {
 public:
  NormalCamera(std::uint16_t pid, const wchar_t* serial) : pid_(pid) { SetSerial(serial); }
  sim::UsbId Id() const override { return {0x7E51, pid_}; }
  std::wstring Description() const override { return L"Veltra_RX40_MH"; }
  bool HasVideoInterface() const override { return true; }
  bool HasHidInterface() const override { return true; }

 private:
  std::uint16_t pid_;
};

class DeviceChangeTest : public test::BenchTest {
 protected:
  DeviceChangeTest() {
    lib_.SetDefault("IsDFUDeviceVID", 1);
    Ports set = ports();
    set.camera = &lib_;
    set.usb = &usb_;
    set.discovery = &discovery_;
    InstallPorts(set);
  }

  template <typename Device, typename... Args>
  std::shared_ptr<Device> Plug(Args... args) {
    auto device = std::make_shared<Device>(args...);
    bus_.Plug(device);
    return device;
  }
  static std::shared_ptr<sim::DfuCamera> DfuDevice(std::uint16_t pid, const wchar_t* serial) {
    sim::DfuCamera::Options options;
    options.pid = pid;
    options.serial = serial;
    return std::make_shared<sim::DfuCamera>(options);
  }
  void Event(std::uint32_t event, Cls cls) {
    OnDeviceChange(DeviceChange{event, kDbtDevtypDeviceInterface, cls});
  }
  // A handler run as OnDeviceChange runs it: into an empty table.
  static void Arrive(ArrivalVariant variant) {
    g_nDeviceCount = 0;
    SetDeviceArrivValueForWinUSBDevice(variant);
  }
  void Reset() {
    lib_.calls.clear();
    dialog_.ClearRecords();
    system_->ClearTrace();
  }

  test::FakeCameraLibrary lib_;
  sim::SimUsbTransport usb_{bus_};
  sim::SimDiscovery discovery_{bus_};
};

TEST_F(DeviceChangeTest, ArrivalsAreDispatchedOnTheCameraSelectedBeforeTheEvent) {
  enum Handler { kVideo, kFull, kNoMirel, kNoRestart };
  struct Case {
    Cls cls;
    int selected;
    const wchar_t* pid;
    Handler handler;
  };
  const Case cases[] = {
      {Cls::kHid, 0, L"0135", kNoRestart},       {Cls::kHid, 0, L"c05c", kNoRestart},
      {Cls::kHid, 0, L"C1D0", kVideo},           {Cls::kUsbDevice, 0, L"DF02", kNoMirel},
      {Cls::kUsbDevice, 1, L"C05C", kNoMirel},  // the selected slot, not the first
      {Cls::kUsbDevice, 0, L"0135", kNoRestart}, {Cls::kUsbDevice, 0, L"DF00", kFull},
      {Cls::kUsbDevice, -1, nullptr, kFull},     {Cls::kHid, 25, nullptr, kVideo},
  };
  auto camera = Plug<NormalCamera>(0xC1D0, L"A1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  CopyText(g_savedDevicePaths[0], g_DeviceTable[0].devicePath);  // no new path: no search hit
  g_bUpdatedFromHIDMode = 1;
  system_->SetFailThreadCreation(true);  // a restart shows up as the thread-failure box

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row with selected index " << c.selected);
    Reset();
    g_nSelectedIndex = c.selected;
    if (c.pid != nullptr) CopyText(g_DeviceTable[c.selected].pidText, c.pid);
    const auto before = system_->NowMs();

    Event(kDbtDeviceArrival, c.cls);

    EXPECT_EQ(Traced(L"DBT_DEVICEARRIVAL:Calling InitExtensionUnit for HID\r\n"),
              c.handler == kVideo);
    EXPECT_EQ(system_->NowMs() - before, c.handler == kVideo ? 0u : 2000u);
    EXPECT_EQ(lib_.Count("InitMirel"), c.handler == kFull ? 1 : 0);
    const bool restarted = c.handler == kFull || c.handler == kNoMirel;
    EXPECT_EQ(dialog_.MessageBoxes().size(), restarted ? 1u : 0u);
  }
  // Other classes and broadcasts that are not device interfaces are ignored.
  Reset();
  g_nDeviceCount = 1;
  const auto before = system_->NowMs();
  OnDeviceChange(DeviceChange{kDbtDeviceArrival, 2, Cls::kUsbDevice});
  EXPECT_EQ(g_nDeviceCount.load(), 1);
  Event(kDbtDeviceArrival, Cls::kOther);
  Event(kDbtDeviceRemoveComplete, Cls::kOther);
  EXPECT_TRUE(lib_.calls.empty());
  EXPECT_EQ(system_->NowMs(), before);
}

TEST_F(DeviceChangeTest, ReturningCameraIsTheFirstNewPathOrForNoRestartTheLast) {
  auto old = Plug<sim::DfuCamera>();
  bus_.Plug(DfuDevice(0xDF01, L"S1"));
  auto last = DfuDevice(0xDF00, L"S2");
  bus_.Plug(last);
  CopyText(g_savedDevicePaths[0], bus_.UsbInterfacePath(old.get()).c_str());
  g_bUpdatedFromHIDMode = 1;
  g_bAwaitingModeSwitch = 1;
  g_imageType = 1;
  dialog_.SetTimer(IDT_TIMER_FOR_HD_ISSUE, 60000);
  system_->SetFailThreadCreation(true);

  Arrive(ArrivalVariant::kFull);

  EXPECT_EQ(g_nLastSelectedIndex.load(), 1);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  EXPECT_EQ(usb_.DeviceOf(winUSBHandle.load())->Id().pid, 0xDF01);
  EXPECT_EQ(g_bWriteFirstPart.load(), 1);  // DF01 with a combined image of type 1
  EXPECT_TRUE(Traced(L"DBT_DEVICEARRIVAL:Device macthed\r\n"));
  EXPECT_TRUE(Traced(L"DBT_DEVICEARRIVAL:Device not macthed\r\n"));
  // Both sides were upper-cased in place for the comparison.
  EXPECT_EQ(std::wstring(g_savedDevicePaths[0]), std::wstring(g_DeviceTable[0].devicePath));
  EXPECT_NE(std::wstring(g_savedDevicePaths[0]).find(L"VID_7E51&PID_DF00"), std::wstring::npos);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
  EXPECT_EQ(g_bAwaitingModeSwitch.load(), 0);
  // The updating state hides the mode-switch headline again; the rest stays shown.
  for (int id : {IDC_STATIC_UPDATING, IDC_STATIC_STATUS, IDC_PROGRESS_BAR}) {
    EXPECT_TRUE(dialog_.Item(id).visible) << id;
  }
  EXPECT_FALSE(dialog_.Item(IDC_COMBO_DEVICELIST).enabled);
  EXPECT_FALSE(dialog_.Item(IDC_BTN_EXIT).enabled);
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Could'nt Create Thread");
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_FALSE(boxes[0].owned);

  // NoRestart only marks the last new entry: nothing opened, selected or started.
  Reset();
  g_bWriteFirstPart = 0;
  g_imageType = 3;
  Arrive(ArrivalVariant::kNoRestart);
  EXPECT_EQ(g_nLastSelectedIndex.load(), 2);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 0);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(g_bWriteFirstPart.load(), 0);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(DeviceChangeTest, FlashLoaderIsOpenedOverHidAndTheWorkerStartsWhateverTheOpenSays) {
  bus_.Plug(DfuDevice(0xDF02, L"S1"));
  for (ArrivalVariant variant : {ArrivalVariant::kNoMirel, ArrivalVariant::kFull}) {
    Reset();
    lib_.Queue("Init_HIDHandle", 0);
    g_bIsStartUpdatedFromDFU = 1;  // the failing worker clears it each time
    const auto before = system_->NowMs();
    Arrive(variant);
    system_->JoinAllThreads();
    EXPECT_EQ(system_->NowMs() - before, 4000u);
    EXPECT_EQ(lib_.Count("Init_HIDHandle"), 1);
    EXPECT_EQ(Traced(L"Init_HIDHandle Failed \r\n"), variant == ArrivalVariant::kNoMirel);
    EXPECT_NE(g_hFirmwareThread.load(), kNullHandle);
    EXPECT_TRUE(Traced(L"UpdateFirmware::THreadCreated"));
  }
}

TEST_F(DeviceChangeTest, LoaderTakeoverSkipsTheSearchAndAnEmptyBusStillSearches) {
  auto camera = Plug<NormalCamera>(0xC1D0, L"A1");
  g_bUpdatedFromHIDMode = 1;
  g_bLoaderThreadStarted = 1;
  system_->SetFailThreadCreation(true);
  Arrive(ArrivalVariant::kFull);
  EXPECT_EQ(g_bLoaderThreadStarted.load(), 0);
  EXPECT_FALSE(Traced(L"Calling InitializeDevice for DFU"));

  bus_.Unplug(camera.get());
  dialog_.ComboAddString(L"stale");
  Arrive(ArrivalVariant::kFull);
  EXPECT_TRUE(dialog_.ComboItems().empty());
  EXPECT_TRUE(Traced(L"DBT_DEVICEARRIVAL:Calling InitializeDevice for DFU\r\n"));
  EXPECT_EQ(dialog_.MessageBoxes().size(), 1u);  // the worker was to be started all the same
}

TEST_F(DeviceChangeTest, RemovalsWaitOutAnUpdateAndTheLastOneFreesTheWarningDialog) {
  auto camera = Plug<NormalCamera>(0xC1D0, L"A1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  bus_.Unplug(camera.get());
  for (Flag* busy : {&g_bUpdatedFromHIDMode, &g_bDownloadInProgress}) {
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
  EXPECT_EQ(g_bLoaderThreadStarted.load(), 1);

  // A camera left that does not answer on the extension unit.
  Plug<sim::DfuCamera>();
  Event(kDbtDeviceRemoveComplete, Cls::kHid);
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);
  EXPECT_TRUE(Traced(L"UVC Extension is not supported \r\n"));
  EXPECT_FALSE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
}

TEST_F(DeviceChangeTest, VideoArrivalSelectsTheUpdatedCameraAgainBySerial) {
  Plug<NormalCamera>(0xC1D0, L"A1");
  Plug<NormalCamera>(0xC1D0, L"B2");
  lib_.SetDefault("InitExtensionUnit", 1);
  CopyText(g_USBUniqueID, L"B2");
  g_bMatchByUniqueID = 1;
  g_bDownloadInProgress = 1;
  SetDeviceArrivValueForVideoDevice();
  EXPECT_TRUE(dialog_.ComboItems().empty());  // nothing happens while data is being sent

  g_bDownloadInProgress = 0;
  SetDeviceArrivValueForVideoDevice();
  EXPECT_EQ(dialog_.ComboItems().size(), 2u);
  EXPECT_EQ(dialog_.ComboGetCurSel(), 1);
  EXPECT_EQ(g_nLastSelectedIndex.load(), 1);
  EXPECT_EQ(g_bMatchByUniqueID.load(), 0);

  g_bIsStartUpdatedFromDFU = 1;  // an update that began in download mode matches by path once
  g_nDeviceCount = 0;
  SetDeviceArrivValueForVideoDevice();
  EXPECT_EQ(g_bIsStartUpdatedFromDFU.load(), 0);
}

TEST_F(DeviceChangeTest, StartUpScanListsWhatIsThereAndEnablesTheVersionReadByTheLibrary) {
  dialog_.ComboAddString(L"untouched");
  EXPECT_EQ(SetInitialDeviceValue(), 0);
  EXPECT_EQ(dialog_.ComboItems(), std::vector<std::wstring>{L"untouched"});
  EXPECT_TRUE(dialog_.Item(IDC_STATIC_NO_DEVICE).visible);

  Plug<NormalCamera>(0xC181, L"A1");
  lib_.SetDefault("InitMirel", 1);  // a Sunplus-based camera answers the Mirel channel
  g_bSunplusCameraListed = 1;
  EXPECT_EQ(SetInitialDeviceValue(), 1);
  EXPECT_EQ(dialog_.ComboItems().size(), 1u);
  EXPECT_TRUE(Traced(L"UVC Extension is not supported \r\n"));
  EXPECT_FALSE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
  EXPECT_EQ(g_bSunplusCameraListed.load(), 0);

  EXPECT_EQ(SetInitialDeviceValue(), 1);  // the same camera as a Mirel camera proper
  EXPECT_TRUE(dialog_.Item(IDC_BTN_READFW_VERSION).enabled);
}

TEST_F(DeviceChangeTest, HandlersTraceAnExceptionAndEnd) {
  Plug<NormalCamera>(0xC1D0, L"A1");
  lib_.throwOn = "InitExtensionUnit";
  Arrive(ArrivalVariant::kFull);
  g_nDeviceCount = 0;
  SetDeviceRemoveValueForVideoDevice();
  g_nDeviceCount = 0;
  SetDeviceRemoveValueForWinUSBDevice();
  for (const wchar_t* handler :
       {L"SetDeviceArrivValueForWinUSBDevice", L"SetDeviceRemoveValueForVideoDevice",
        L"SetDeviceRemoveValueForWinUSBDevice"}) {
    EXPECT_TRUE(Traced(std::wstring(handler) + L" exception...\r\n")) << handler;
  }
}

}  // namespace
}  // namespace veltra

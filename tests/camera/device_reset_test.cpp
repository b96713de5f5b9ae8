#include "camera/device_reset.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/text.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "fake_camera_library.h"
#include "sim/dfu_camera.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"

namespace veltra {
namespace {

using test::FakeCameraLibrary;

class DeviceResetTest : public test::BenchTest {
 protected:
  DeviceResetTest() {
    Ports set = ports();
    set.camera = &lib_;
    set.usb = &log_;
    InstallPorts(set);
  }

  void SelectCamera(const wchar_t* pid, const std::wstring& path) {
    DeviceRecord& record = g_DeviceTable[0];
    CopyText(record.vidText, L"7E51");
    CopyText(record.pidText, pid);
    CopyText(record.devicePath, path.c_str());
    g_nDeviceCount = 1;
    dialog_.ComboAddString(L"camera");
    dialog_.ComboSetCurSel(0);
    g_bResetBusy = 1;
  }

  FakeCameraLibrary lib_;
  sim::SimUsbTransport usb_{bus_};
  std::ostringstream traffic_;
  sim::TrafficLog log_{usb_, traffic_};
};

TEST_F(DeviceResetTest, LibraryRoutesFollowWhatTheCameraAnswers) {
  struct Case {
    const wchar_t* pid;
    std::int32_t opensExtensionUnit;
    const char* resetCall;
    std::int32_t resetResult;
    bool tracesFailure;
  };
  const Case cases[] = {
      // A family camera that also opens through the unit is reset through the unit.
      {L"C05C", 1, "SendHIDCommandWithFirstByte", 0, false},
      {L"C181", 1, "SendHIDCommandWithFirstByte", 0, false},
      {L"C05C", 0, "ResetTarsa", 1, false},
      {L"c05c", 0, "ResetTarsa", 0, true},
      {L"C181", 0, "ResetDeviceMirel", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.resetCall << " " << c.resetResult);
    lib_.calls.clear();
    system_->ClearTrace();
    lib_.SetDefault("InitExtensionUnit", c.opensExtensionUnit);
    lib_.SetDefault(c.resetCall, c.resetResult);
    SelectCamera(c.pid, L"\\\\?\\usb#vid_7e51&pid_c05c&mi_00#7&1&0&0000#{x}");

    ResetSelectedDevice();

    const std::vector<std::string> expected = {"DeinitExtensionUnit", "InitExtensionUnit",
                                               c.resetCall};
    EXPECT_EQ(lib_.calls, expected);
    EXPECT_EQ(Traced(L"Check RESET IN DFU failed\r\n"), c.tracesFailure);
    EXPECT_TRUE(Traced(L"Current selected index = 0 \r\n"));
    EXPECT_EQ(g_bResetBusy.load(), 0);
  }
  EXPECT_TRUE(traffic_.str().empty());  // nothing went over WinUSB
}

TEST_F(DeviceResetTest, CameraInDownloadModeGetsTheResetRequestOnFreshHandles) {
  auto camera = std::make_shared<sim::DfuCamera>();
  int resets = 0;
  camera->engine().SetResetHook([&resets] { ++resets; });
  bus_.Plug(camera);
  const std::wstring path = bus_.UsbInterfacePath(camera.get());
  SelectCamera(L"DF00", path);
  // Handles left open by an earlier command are released before the camera is opened again.
  ASSERT_EQ(InitializeDevice(path.c_str()), 1);
  const Handle stale = winUSBHandle.load();

  ResetSelectedDevice();

  EXPECT_EQ(resets, 1);
  EXPECT_NE(traffic_.str().find(R"("op":"control","setup":[64,50,1,4,0])"), std::string::npos);
  EXPECT_EQ(usb_.OpenFileHandles(), 1);
  EXPECT_EQ(usb_.OpenInterfaceHandles(), 1);
  EXPECT_NE(winUSBHandle.load(), stale);
  EXPECT_FALSE(Traced(L"SendDeviceResetCommand failed"));
  EXPECT_EQ(g_bResetBusy.load(), 0);
}

TEST_F(DeviceResetTest, FailuresAreTracedOnlyAndExceptionsLeaveTheRequestBusy) {
  // A camera that is not on the bus any more: the open fails, so does the request.
  SelectCamera(L"DF00", L"\\\\?\\usb#vid_7e51&pid_df00#gone#{x}");
  ResetSelectedDevice();
  EXPECT_TRUE(Traced(L"Check RESET IN DFU SendDeviceResetCommand failed\r\n"));
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_EQ(g_bResetBusy.load(), 0);

  lib_.throwOn = "InitExtensionUnit";
  SelectCamera(L"DF00", L"\\\\?\\usb#vid_7e51&pid_df00#gone#{x}");
  ResetSelectedDevice();
  EXPECT_TRUE(Traced(L"ResetSelectedDevice exception\r\n"));
  EXPECT_EQ(g_bResetBusy.load(), 1);
}

}  // namespace
}  // namespace veltra

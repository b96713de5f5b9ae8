// READ F/W VERSION and RESET as the refresher thread runs them, against the bench's cameras listed
// by the real start-up scan.
#include <map>

#include "app/resource_ids.h"
#include "camera/device_change.h"  // SetInitialDeviceValue
#include "camera/device_reset.h"
#include "camera/selected_device.h"
#include "camera/version_read.h"
#include "camera_bench.h"
#include "core/update_controller.h"
#include "devices/device_table.h"
#include "dfu/dfu_requests.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/dfu_camera.h"
#include "support/traffic_lines.h"

namespace veltra {
namespace {

using sim::Cx3Camera;
using sim::DfuModeCamera;

class CameraCommandsTest : public test::CameraBench {
 protected:
  std::vector<std::wstring> ReadVersionOf(int entry) {
    dialog_.ClearRecords();
    Controller().Commands().RequestReadVersion(camera::TakeSelectedCamera(entry));
    GetFirmwarVersion(Controller().Session().Observer(),
                      Controller().Commands().ReadVersionCamera());
    EXPECT_EQ(Controller().Commands().bReadVersionBusy.load(), 0);
    EXPECT_TRUE(shown_.Item(IDC_BTN_READFW_VERSION).enabled);
    for (const auto& box : dialog_.MessageBoxes()) {
      EXPECT_TRUE(Traced(box.text));  // every report also goes to the debugger channel
    }
    return BoxTexts();
  }
  // The reset of the camera's route alone.
  void Reset(int entry) {
    Controller().Commands().RequestReset(camera::TakeSelectedCamera(entry));
    DfuLink link;
    ResetSelectedDevice(Controller().Commands().ResetCamera(), link);
    ReleaseDfuHandles(link);
  }
};

using Texts = std::vector<std::wstring>;
using json = nlohmann::json;
using test::TrafficOf;

TEST_F(CameraCommandsTest, EachCameraShowsTheVersionItHolds) {
  auto pesca = sim::PescaOptions();
  pesca.extensionUnit = true;  // answers its family call and the maker's unit: two reports
  pesca.version = {5, 1, 2, 9};
  auto tarsa = sim::TarsaOptions();
  tarsa.version = {5, 1, 2, 9};
  DfuModeCamera::Options generic;
  generic.version = {1, 2, 300, 400};
  Plug<sim::PescaCamera>(pesca, L"P1");
  Plug<sim::TarsaCamera>(tarsa, L"T1");
  Plug<sim::GenericCamera>(generic, L"G1");
  sim::MirelCamera::Options mirel;
  mirel.version = {3, 4, 258, 0};
  Plug<sim::MirelCamera>(mirel, L"M1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);

  EXPECT_EQ(ReadVersionOf(0),
            (Texts{L"Firmware Version = 5.1.2.9", L"Firmware Version = 5.1.2.9\r\n"}));
  EXPECT_EQ(ReadVersionOf(1), Texts{L"Firmware Version : 205.1.2, Version : 9"});
  EXPECT_EQ(ReadVersionOf(2), Texts{L"Firmware Version = 1.2.300.400\r\n"});
  EXPECT_EQ(ReadVersionOf(3), Texts{L"Firmware Version : 3.4.258"});

  // The CX3 channel takes no path: the library answers from the CX3 camera it finds, so the CX3
  // cameras join only now.
  Cx3Camera::Options cx3;
  cx3.extensionUnit = false;
  cx3.queryBusyReads = 2;
  Plug<Cx3Camera>(cx3, L"X1");
  Plug<Cx3Camera>(Cx3Camera::Options{}, L"X2");  // the unit under another vendor ID: silent
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  EXPECT_EQ(ReadVersionOf(4),
            Texts{L"CX3 firmware version = 1.0\nCX3 firmware build date = 3-14-24 (MM-DD-YY)\n\n"
                  L"ISP firmware version = 0x2.0x5 (2.5)\nISP firmware Build date = Mar 14 2024 \n"
                  L"ISP firmware Build time = 10:20:30 \n"});
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"DovedIdiz_ID_Avaraze");
  // Both queries go out as three bytes, bytes 1 and 2 zero.
  EXPECT_NE(traffic_.str().find("\"args\":[\"bb0000\",3]"), std::string::npos);
  EXPECT_NE(traffic_.str().find("\"args\":[\"cc0000\",3]"), std::string::npos);
  EXPECT_TRUE(ReadVersionOf(5).empty());
}

TEST_F(CameraCommandsTest, Cx3ReadEndsSilentlyOnFailureAndCutsItsTextsAtTheReplyEnd) {
  // A camera in download mode has neither the unit nor a CX3 channel.
  bus_.Plug(std::make_shared<sim::DfuCamera>());
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  EXPECT_TRUE(ReadVersionOf(0).empty());

  Cx3Camera::Options cx3;
  cx3.extensionUnit = false;
  cx3.queryBusyReads = 1000;  // never ready
  Plug<Cx3Camera>(cx3, L"X1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  const auto before = system_->NowMs();
  EXPECT_TRUE(ReadVersionOf(0).empty());
  EXPECT_EQ(system_->NowMs() - before, 2u * 100u * 10u);  // 100 polls of 10 ms per query

  lib_.hidReply = [](std::uint8_t*) { return 0; };  // no reply can be read
  EXPECT_TRUE(ReadVersionOf(0).empty());

  lib_.hidReply = [](std::uint8_t* reply) {  // ready, with texts that run to the last byte
    for (int i = 0; i < 64; ++i) {
      reply[i] = i < 4 ? 0 : 'x';
    }
    return 1;
  };
  const auto texts = ReadVersionOf(0);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(L"Build date = " + std::wstring(60, L'x') + L" \n"), std::wstring::npos);
  EXPECT_NE(texts[0].find(L"Build time = " + std::wstring(48, L'x') + L" \n"), std::wstring::npos);
}

TEST_F(CameraCommandsTest, ResetReachesEachCameraByItsRoute) {
  auto tarsaWithUnit = sim::TarsaOptions();
  tarsaWithUnit.extensionUnit = true;
  auto tarsa = Plug<sim::TarsaCamera>(sim::TarsaOptions(), L"T1");
  auto both = Plug<sim::TarsaCamera>(tarsaWithUnit, L"T2");
  auto generic = Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"G1");
  auto mirel = Plug<sim::MirelCamera>(sim::MirelCamera::Options{}, L"M1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);

  tarsa->SetFault({sim::FaultKind::kTransferError, tarsa->TransferCount()});
  Reset(0);  // a refused reset is not reported
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  EXPECT_EQ(Controller().Commands().bResetBusy.load(), 0);

  // A family camera that also opens through the unit is reset through the unit.
  const std::string unitReset = "SendHIDCommandWithFirstByte";
  const std::pair<sim::CameraDevice*, std::string> cases[] = {{tarsa.get(), "ResetTarsa"},
                                                              {both.get(), unitReset},
                                                              {generic.get(), unitReset},
                                                              {mirel.get(), "ResetDeviceMirel"}};
  for (int entry = 0; entry < 4; ++entry) {
    SCOPED_TRACE(entry);
    traffic_.str("");
    const auto generation = cases[entry].first->Generation();
    Reset(entry);
    EXPECT_EQ(cases[entry].first->Generation(), generation + 1);  // it left and came back
    bool called = false;
    for (const auto& line : TrafficOf(traffic_.str(), "library")) {
      called = called || (line.at("call") == cases[entry].second &&
                          (cases[entry].second != unitReset || line.at("args") == json{4}));
    }
    EXPECT_TRUE(called);
    EXPECT_EQ(Controller().Commands().bResetBusy.load(), 0);
  }
}

// RESET addresses the camera from the refresher thread alone, both its resets in one fixed order
// (docs/decisions.md): first the reset the dialog once sent itself (the extension unit, else the
// DFU reset request), then the reset of the camera's route, each on handles of the reset's own
// that are closed when it is done. A camera in its normal mode refuses the DFU request; the
// refusal is not reported.
TEST_F(CameraCommandsTest, ResetSendsBothResetsInOneOrderFromOneThread) {
  auto tarsa = Plug<sim::TarsaCamera>(sim::TarsaOptions(), L"T1");
  auto dfu = std::make_shared<sim::DfuCamera>();
  int resets = 0;
  dfu->engine().SetResetHook([&resets] { ++resets; });
  bus_.Plug(dfu);
  auto generic = Plug<sim::GenericCamera>(DfuModeCamera::Options{}, L"G1");
  ASSERT_EQ(SetInitialDeviceValue(), 1);
  ASSERT_EQ(Controller().List().Listed(), 3);
  const std::string dfuReset = "0x32 reset";
  const std::string unitReset = "SendHIDCommandWithFirstByte";
  // By product ID: the Tarsa camera, the camera in its update mode, the generic camera.
  const std::map<std::wstring, std::vector<std::string>> expected = {
      {L"C05C", {dfuReset, "ResetTarsa"}},
      {L"DF00", {dfuReset, dfuReset}},
      {L"C1D0", {unitReset, unitReset}}};
  for (int entry = 0; entry < 3; ++entry) {
    const SelectedCamera camera = camera::TakeSelectedCamera(entry);
    SCOPED_TRACE(entry);
    ASSERT_EQ(expected.count(camera.record.pidText), 1u);
    traffic_.str("");
    Controller().Commands().RequestReset(camera);
    ResetCamera(Controller().Commands().ResetCamera());
    std::vector<std::string> sent;
    for (const auto& line : test::TrafficLines(traffic_.str())) {
      const std::string what =
          line.value("op", "") == "control" ? line.value("req", "") : line.value("call", "");
      if (what == dfuReset || what == unitReset || what == "ResetTarsa") {
        sent.push_back(what);
      }
    }
    EXPECT_EQ(sent, expected.at(camera.record.pidText));
    EXPECT_EQ(usb_.OpenFileHandles(), 0);
    EXPECT_TRUE(dialog_.MessageBoxes().empty());
    EXPECT_EQ(Controller().Commands().bResetBusy.load(), 0);
  }
  EXPECT_EQ(resets, 2);
}

}  // namespace
}  // namespace veltra

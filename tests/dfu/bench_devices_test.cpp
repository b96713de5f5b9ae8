// The bench pieces of the DFU route on their own: the DFU-mode device's protocol rules, the USB
// transport over the bus and the traffic log's lines.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dfu/dfu_fixture.h"
#include "sim/dfu_engine.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"

namespace veltra {
namespace {

using test::Bytes;
using test::DfuTest;
namespace req = sim::dfu_request;
namespace st = sim::dfu_state;

// Talks to a DFU camera directly, without the program.
struct Talker {
  sim::DfuCamera& camera;
  bool Out(std::uint8_t request, Bytes data = {}, std::uint16_t index = 0) {
    std::uint32_t n = 0;
    const SetupPacket setup{0x40, request, 1, index, static_cast<std::uint16_t>(data.size())};
    return camera.OnControl(setup, data.empty() ? nullptr : data.data(), &n);
  }
  std::uint8_t Status(std::uint8_t request = req::kGetStatus, std::uint8_t* bStatus = nullptr) {
    std::uint8_t reply[6] = {};
    std::uint32_t n = 0;
    camera.OnControl(SetupPacket{0xC0, request, 0, 0, 6}, reply, &n);
    if (bStatus != nullptr) *bStatus = reply[0];
    return reply[4];
  }
};

TEST(DfuEngineModel, RefusesWhatARealCameraWouldStallAndRecoversWithClearStatus) {
  sim::DfuCamera camera;
  Talker t{camera};
  struct Row {
    const char* what;
    std::uint8_t state;
    std::function<bool()> request;
  } rows[] = {
      {"MCU verify before any data", st::kIdle, [&] { return t.Out(req::kMcuVerify); }},
      {"data while busy", st::kDnBusy, [&] { return t.Out(req::kDownload, Bytes(10)); }},
      {"data in error", st::kError, [&] { return t.Out(req::kMcuData, Bytes(10)); }},
      {"zero-length end without data", st::kIdle, [&] { return t.Out(req::kDownload); }},
      {"clear status outside error", st::kIdle, [&] { return t.Out(req::kClearStatus); }},
      {"detach in DFU mode", st::kIdle, [&] { return t.Out(req::kDetach); }},
      {"unknown request", st::kIdle, [&] { return t.Out(0x7A); }},
      {"reset with the wrong index", st::kIdle, [&] { return t.Out(req::kReset, {}, 3); }},
      {"block larger than 1024", st::kIdle, [&] { return t.Out(req::kDownload, Bytes(1025)); }},
  };
  for (const auto& row : rows) {
    camera.engine().SetState(row.state);
    EXPECT_FALSE(row.request()) << row.what;
    EXPECT_EQ(t.Status(), st::kError) << row.what;
  }
  EXPECT_TRUE(t.Out(req::kClearStatus));
  EXPECT_EQ(t.Status(), st::kIdle);
  EXPECT_TRUE(camera.Flash().image.empty());
}

TEST(DfuEngineModel, DownloadVerifyAndManifestFollowTheDeviceStates) {
  sim::DfuCamera::Options options;
  options.engine.busyPolls = 2;
  sim::DfuCamera camera(options);
  Talker t{camera};
  int manifests = 0;
  camera.SetAfterManifest([&](sim::DfuCamera&) { ++manifests; });

  ASSERT_TRUE(t.Out(req::kMcuData, Bytes{'a', '\n'}));
  EXPECT_EQ(t.Status(), st::kDnBusy);
  EXPECT_EQ(t.Status(), st::kDnBusy);
  EXPECT_EQ(t.Status(), st::kDnloadIdle);
  std::uint8_t bStatus = 9;
  EXPECT_EQ(t.Status(req::kMcuVerifyStatus, &bStatus), st::kDnloadIdle);
  EXPECT_EQ(bStatus, 0);  // not verified yet
  ASSERT_TRUE(t.Out(req::kMcuVerify));
  EXPECT_EQ(t.Status(req::kMcuVerifyStatus, &bStatus), st::kMcuVerified);
  EXPECT_NE(bStatus, 0);
  ASSERT_TRUE(t.Out(req::kDownload, Bytes(65, 0xFF)));  // a terminator-carrying last block
  for (int i = 0; i < 3; ++i) t.Status();
  ASSERT_TRUE(t.Out(req::kDownload));  // zero-length end
  EXPECT_EQ(manifests, 0);
  EXPECT_EQ(t.Status(), st::kManifestSync);
  EXPECT_EQ(manifests, 1);
  EXPECT_EQ(t.Status(), st::kIdle);
  EXPECT_EQ(camera.Flash().image, Bytes(64, 0xFF));
  EXPECT_EQ(camera.Flash().mcu, (Bytes{'a', '\n'}));
  EXPECT_EQ(camera.Flash().manifestCount, 1);

  // FPGA verify is the check before the bitstream; the erase clears the image region.
  ASSERT_TRUE(t.Out(req::kFpgaVerify));
  EXPECT_EQ(t.Status(req::kFpgaVerifyStatus, &bStatus), st::kFpgaVerified);
  EXPECT_NE(bStatus, 0);
  ASSERT_TRUE(t.Out(req::kErase));
  EXPECT_TRUE(camera.Flash().image.empty());

  int resets = 0;
  camera.engine().SetResetHook([&] { ++resets; });
  ASSERT_TRUE(t.Out(req::kReset, {}, req::kResetIndex));
  EXPECT_EQ(resets, 1);
}

TEST_F(DfuTest, TransportFindsDevicesByPathAndFailsOnceTheyLeave) {
  auto& camera = PlugCamera();
  const std::wstring path = bus_.UsbInterfacePath(&camera);
  std::wstring upper = path;
  for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  const Handle again = usb_.OpenDevice(upper.c_str());
  EXPECT_NE(again, kInvalidHandle);
  EXPECT_EQ(usb_.DeviceOf(again), &camera);
  usb_.CloseDevice(again);

  EXPECT_EQ(usb_.OpenDevice(L"\\\\?\\usb#vid_7e51&pid_dead#x#{a5dcbf10}"), kInvalidHandle);
  EXPECT_EQ(system_->GetLastError(), sim::kErrorFileNotFound);

  usb_.FailWinUsbInitialize(sim::kErrorGenFailure);
  Handle bound = 0;
  EXPECT_FALSE(usb_.WinUsbInitialize(deviceHandle.load(), &bound));
  usb_.FailWinUsbInitialize(0);

  DfuStatus status;
  EXPECT_EQ(GetStatus(&status), 1);
  camera.ReEnumerate();  // gone and back: the old handles stay dead, as on Windows
  EXPECT_EQ(GetStatus(&status), 0);
  EXPECT_EQ(system_->GetLastError(), sim::kErrorDeviceNotConnected);
  ReleaseDfuHandles();
  ASSERT_EQ(InitializeDevice(bus_.UsbInterfacePath(&camera).c_str()), 1);
  EXPECT_EQ(GetStatus(&status), 1);
}

// Records Cypress requests as the device receives them.
class CypressDevice : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x04B4, 0x00F3}; }
  bool OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data) override {
    got = setup;
    bytes.assign(data, data + setup.wLength);
    return true;
  }
  SetupPacket got;
  Bytes bytes;
};

Bytes CypressRecord(std::uint32_t address, const Bytes& data) {
  Bytes record(38 + data.size(), 0);
  record[0] = 0x40;
  record[1] = 0xA0;
  record[2] = address & 0xFF;
  record[3] = (address >> 8) & 0xFF;
  record[4] = (address >> 16) & 0xFF;
  record[5] = (address >> 24) & 0xFF;
  record[6] = data.size() & 0xFF;
  record[7] = (data.size() >> 8) & 0xFF;
  record[8] = 5;
  record[30] = 38;
  record[34] = data.size() & 0xFF;
  record[35] = (data.size() >> 8) & 0xFF;
  std::copy(data.begin(), data.end(), record.begin() + 38);
  return record;
}

TEST_F(DfuTest, TrafficLogWritesOneJsonLinePerTransferInOrder) {
  EnableTrafficLog();
  auto rom = std::make_shared<CypressDevice>();
  bus_.Plug(rom);
  PlugCamera();
  clock_.Advance(40);

  DfuStatus status;
  const std::uint8_t block[2] = {0xAB, 0x01};
  SendData(block, 2);
  GetStatus(&status);
  Handle file = Usb().OpenDevice(bus_.UsbInterfacePath(rom.get()).c_str());
  Bytes record = CypressRecord(0x40003000, {1, 2, 3});
  std::uint32_t returned = 0;
  EXPECT_TRUE(Usb().DeviceIoControl(file, kIoctlCypressEp0Transfer, record.data(),
                                    static_cast<std::uint32_t>(record.size()), &returned));
  EXPECT_EQ(rom->got.wValue, 0x3000);
  EXPECT_EQ(rom->got.wIndex, 0x4000);
  EXPECT_EQ(rom->bytes, (Bytes{1, 2, 3}));
  // A record whose buffer points past its end is refused before it reaches the device.
  record[34] = 200;
  EXPECT_FALSE(Usb().DeviceIoControl(file, kIoctlCypressEp0Transfer, record.data(),
                                     static_cast<std::uint32_t>(record.size()), &returned));
  traffic_->LogLibrary("7E51:C123", "SetExtensionUnitValueForPesca", {5, 1}, 1);
  const std::uint8_t report[3] = {1, 0, 0xFF};
  traffic_->LogHidOut("1FC9:0135", report, 3, 1, 1);
  camera_->SetFault({sim::FaultKind::kTransferError, camera_->TransferCount()});
  SendZeroLengthPkt();

  std::istringstream lines(log_.str());
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  const std::vector<std::string> expected = {
      R"({"seq":1,"t_ms":40,"dev":"7E51:DF00","op":"control","setup":[64,1,1,0,2],"out":"ab01","result":2})",
      R"({"seq":2,"t_ms":40,"dev":"7E51:DF00","op":"control","setup":[192,3,0,0,6],"in":"000a00000400","result":6})",
      R"({"seq":3,"t_ms":60,"dev":"04B4:00F3","op":"cypress","setup":[64,160,12288,16384,3],"out":"010203","result":1})",
      R"({"seq":4,"t_ms":60,"dev":"04B4:00F3","op":"cypress","ioctl":2228256,"length":41,"result":-1,"error":87})",
      R"({"seq":5,"t_ms":60,"dev":"7E51:C123","op":"library","call":"SetExtensionUnitValueForPesca","args":[5,1],"result":1})",
      R"({"seq":6,"t_ms":60,"dev":"1FC9:0135","op":"hid_out","out":"0100ff","length":3,"flag":1,"result":1})",
      R"({"seq":7,"t_ms":60,"dev":"7E51:DF00","op":"control","setup":[64,1,1,0,0],"out":"","result":-1,"error":31})",
  };
  EXPECT_EQ(got, expected);
  EXPECT_EQ(sim::LogArg(L"a\"b\\\u00e9").json(), "\"a\\\"b\\\\\\u00e9\"");
}

}  // namespace
}  // namespace veltra

// The requests one by one against a scripted device: setup packets, success rules, pauses and
// failure traces; opening and binding the device.
#include "dfu/dfu_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dfu/dfu_fixture.h"

namespace veltra {
namespace {

using test::Bytes;
using test::DfuTest;

// Answers every request with what the test scripts: success or failure, the count it reports
// and the bytes of an in reply.
class ScriptedDevice : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x7E51, 0xDF00}; }
  bool OnControl(const SetupPacket& setup, std::uint8_t* data,
                 std::uint32_t* transferred) override {
    setups.push_back(setup);
    const bool in = (setup.bmRequestType & 0x80) != 0;
    if (!in && data != nullptr) outData.assign(data, data + setup.wLength);
    if (in && data != nullptr) std::memcpy(data, reply, std::min<std::size_t>(6, setup.wLength));
    *transferred = count ? *count : setup.wLength;
    return ok;
  }
  std::vector<SetupPacket> setups;
  Bytes outData;
  bool ok = true;
  std::optional<std::uint32_t> count;  // default: the whole data stage
  std::uint8_t reply[6] = {0, 0, 0, 0, 5, 0};
};

class RequestTest : public DfuTest {
 protected:
  RequestTest() {
    device_ = std::make_shared<ScriptedDevice>();
    bus_.Plug(device_);
    EXPECT_EQ(InitializeDevice(bus_.UsbInterfacePath(device_.get()).c_str()), 1);
  }
  SetupPacket Last() const { return device_->setups.back(); }
  std::shared_ptr<ScriptedDevice> device_;
};

bool SameSetup(const SetupPacket& a, const SetupPacket& b) {
  return a.bmRequestType == b.bmRequestType && a.bRequest == b.bRequest && a.wValue == b.wValue &&
         a.wIndex == b.wIndex && a.wLength == b.wLength;
}

TEST_F(RequestTest, EachRequestSendsItsSetupPacketAndPausesAsRequired) {
  std::memset(g_stagingBlock, 0xA5, kBlockSize);
  const std::uint8_t buffer[3] = {1, 2, 3};
  struct Row {
    const char* name;
    std::function<int()> call;
    SetupPacket setup;
    std::uint64_t pauseMs;
  };
  DfuStatus status;
  const Row rows[] = {
      {"GetStatus", [&] { return GetStatus(&status); }, {0xC0, 0x03, 0, 0, 6}, 20},
      {"SendCommand", [] { return SendCommand(6); }, {0x40, 0x06, 1, 0, 0}, 0},
      {"SendZeroLengthPkt", [] { return SendZeroLengthPkt(); }, {0x40, 0x01, 1, 0, 0}, 0},
      {"SendData", [&] { return SendData(buffer, 3); }, {0x40, 0x01, 1, 0, 3}, 0},
      {"SendDataMCUData", [] { return SendDataMCUData(1000); }, {0x40, 0x0B, 1, 0, 1000}, 50},
      {"SendDataFPGAData", [] { return SendDataFPGAData(1024); }, {0x40, 0x0F, 1, 0, 1024}, 0},
      {"EraseCombinedImage", [] { return EraseCombinedImage(); }, {0x40, 0x0E, 1, 0, 0}, 50},
      {"McuVerify", [] { return SendDataMCUVerifyFlashRequest(); }, {0x40, 0x0C, 1, 0, 0}, 0},
      {"McuVerifyStatus",
       [&] { return ReadMCUVerifyStatus(&status) + 1; },
       {0xC0, 0x0D, 0, 0, 6},
       0},
      {"FpgaVerify", [] { return SendDataFGPAVerifyFlashRequest(); }, {0x40, 0x10, 1, 0, 0}, 0},
      {"FpgaVerifyStatus",
       [&] { return ReadFPGAVerifyStatus(&status) + 1; },
       {0xC0, 0x11, 0, 0, 6},
       0},
      {"Reset", [] { return SendDeviceResetCommand(); }, {0x40, 0x32, 1, 4, 0}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::uint64_t before = clock_.NowMs();
    EXPECT_NE(row.call(), 0);
    EXPECT_TRUE(SameSetup(Last(), row.setup));
    EXPECT_EQ(clock_.NowMs() - before, row.pauseMs);
  }
  // The data requests send their bytes in the data stage: the staging block for MCU and FPGA.
  SendData(buffer, 3);
  EXPECT_EQ(device_->outData, Bytes({1, 2, 3}));
  SendDataFPGAData(4);
  EXPECT_EQ(device_->outData, Bytes(4, 0xA5));
}

TEST_F(RequestTest, StatusReadNeedsAllSixBytesAndKeepsTheRecordOtherwise) {
  DfuStatus status;
  status.bState = 42;
  device_->reply[4] = 7;
  device_->count = 5;
  EXPECT_EQ(GetStatus(&status), 0);
  EXPECT_EQ(status.bState, 42);
  EXPECT_EQ(clock_.NowMs(), 0u);  // no pause after a failed read

  device_->count.reset();
  device_->ok = false;
  EXPECT_EQ(GetStatus(&status), 0);
  EXPECT_TRUE(Traced(L"dodownload::Getstatus:: WinUsb_ControlTransfer ++\n"));
  EXPECT_EQ(status.bState, 42);

  device_->ok = true;
  EXPECT_EQ(GetStatus(&status), 1);
  EXPECT_EQ(status.bState, 7);
}

TEST_F(RequestTest, VerifyStatusNeedsItsStateAndANonZeroStatus) {
  struct Row {
    std::uint8_t bStatus, bState;
    int mcu, fpga;
  } rows[] = {{1, 13, 1, 0}, {0, 13, 0, 0}, {1, 17, 0, 1}, {0, 17, 0, 0}, {1, 5, 0, 0}};
  for (const auto& row : rows) {
    device_->reply[0] = row.bStatus;
    device_->reply[4] = row.bState;
    EXPECT_EQ(ReadMCUVerifyStatus(&dfu_status), row.mcu)
        << int(row.bStatus) << "/" << int(row.bState);
    EXPECT_EQ(ReadFPGAVerifyStatus(&dfu_status), row.fpga)
        << int(row.bStatus) << "/" << int(row.bState);
  }
}

TEST_F(RequestTest, DataRequestsNeedTheExactCountButEraseOnlyASuccessfulCall) {
  const std::uint8_t buffer[100] = {};
  device_->count = 99;
  EXPECT_EQ(SendData(buffer, 100), 0);
  EXPECT_TRUE(Traced(L"dodownload::SendData:: count not equal to number of bytes written ++\n"));
  EXPECT_EQ(SendDataMCUData(100), 0);
  EXPECT_EQ(clock_.NowMs(), 0u);  // no chunk pause after a failed chunk
  EXPECT_EQ(SendDataFPGAData(100), 0);
  device_->count = 101;
  EXPECT_EQ(SendData(buffer, 100), 0);
  device_->count = 7;
  EXPECT_EQ(EraseCombinedImage(), 1);
  EXPECT_EQ(SendCommand(4), 0);  // a command that moved bytes did not succeed
  EXPECT_EQ(SendZeroLengthPkt(), 0);

  device_->count.reset();
  device_->ok = false;
  system_->ClearTrace();
  EXPECT_EQ(SendData(buffer, 100), 0);
  EXPECT_EQ(EraseCombinedImage(), 0);
  EXPECT_EQ(SendZeroLengthPkt(), 0);
  EXPECT_EQ(SendCommand(0), 0);
  const std::vector<std::wstring> expected = {
      L"dodownload::SendData:: WinUsb_ControlTransfer GetLastError() = 31\r\n",
      L"EraseCombinedImage:: WinUsb_ControlTransfer failed 31\r\n",
      L"SendZeroLengthPkt::WinUsb_ControlTransfer Failed \r\n"};
  EXPECT_EQ(system_->TraceLines(), expected);  // SendCommand fails silently
}

TEST_F(RequestTest, InvalidHandleRefusesEveryRequestWithoutTouchingTheBus) {
  winUSBHandle = kInvalidHandle;
  system_->ClearTrace();
  const std::uint8_t buffer[4] = {};
  DfuStatus status;
  const std::function<int()> calls[] = {[&] { return GetStatus(&status); },
                                        [] { return SendCommand(0); },
                                        [] { return SendZeroLengthPkt(); },
                                        [&] { return SendData(buffer, 4); },
                                        [] { return SendDataMCUData(4); },
                                        [] { return SendDataFPGAData(4); },
                                        [] { return EraseCombinedImage(); },
                                        [] { return SendDataMCUVerifyFlashRequest(); },
                                        [&] { return ReadMCUVerifyStatus(&status); },
                                        [] { return SendDataFGPAVerifyFlashRequest(); },
                                        [&] { return ReadFPGAVerifyStatus(&status); },
                                        [] { return SendDeviceResetCommand(); }};
  for (const auto& call : calls) EXPECT_EQ(call(), 0);
  EXPECT_TRUE(device_->setups.empty());
  EXPECT_TRUE(Traced(L"SendCommand:: Invalid Handle ++\n"));
  EXPECT_TRUE(Traced(L"EraseCombinedImage winUSBHandle NULL\n"));
  EXPECT_EQ(system_->TraceLines().size(), 12u);  // one line per refused request
}

// Records the path it is asked to open and answers with a fixed handle.
class PathRecorder : public UsbTransport {
 public:
  Handle OpenDevice(const wchar_t* path) override {
    paths.emplace_back(path);
    Sys().SetLastError(fail ? 2 : 0);
    return fail ? kInvalidHandle : 0x77;
  }
  void CloseDevice(Handle) override {}
  bool WinUsbInitialize(Handle device, Handle* bound) override {
    bindings.push_back(device);
    *bound = 0x99;
    return bindOk;
  }
  void WinUsbFree(Handle) override {}
  bool ControlTransfer(Handle, const SetupPacket&, std::uint8_t*, std::uint32_t*) override {
    return false;
  }
  bool DeviceIoControl(Handle, std::uint32_t, std::uint8_t*, std::uint32_t,
                       std::uint32_t*) override {
    return false;
  }
  std::vector<std::wstring> paths;
  std::vector<Handle> bindings;
  bool fail = false;
  bool bindOk = true;
};

TEST_F(DfuTest, OpeningCutsLongPathsReusesAnOpenDeviceAndReportsFailures) {
  PathRecorder recorder;
  Ports set = ports();
  set.usb = &recorder;
  InstallPorts(set);

  const std::wstring longPath(300, L'x');
  EXPECT_EQ(Initialize_USBHanlde(longPath.c_str()), 0x77u);
  EXPECT_EQ(recorder.paths.back(), std::wstring(255, L'x'));
  EXPECT_EQ(lastOpenedHandle.load(), 0x77u);
  EXPECT_TRUE(Traced(L"Initialize_USBHanlde:: CreateFile GetLastError() = 0\r\n"));

  // An open device handle is bound again; the path is not opened a second time.
  deviceHandle = 0x55;
  EXPECT_EQ(InitializeDevice(L"ignored"), 1);
  EXPECT_EQ(recorder.paths.size(), 1u);
  EXPECT_EQ(recorder.bindings.back(), 0x55u);
  EXPECT_EQ(winUSBHandle.load(), 0x99u);
  EXPECT_TRUE(Traced(L"InitializeDevice :: WinUsb_Initialize success\r\n"));

  recorder.bindOk = false;
  EXPECT_EQ(InitializeDevice(L"ignored"), 0);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);

  deviceHandle = kNullHandle;
  recorder.fail = true;
  EXPECT_EQ(InitializeDevice(L"\\\\?\\gone"), 0);
  EXPECT_EQ(deviceHandle.load(), kNullHandle);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);
  EXPECT_EQ(lastOpenedHandle.load(), 0x77u);  // only a successful open is recorded
  EXPECT_TRUE(Traced(L"Initialize_USBHanlde:: CreateFile GetLastError() = 2\r\n"));
}

TEST_F(DfuTest, ReleaseFreesTheBindingAndClosesTheDevice) {
  PlugCamera();
  EXPECT_EQ(usb_.OpenFileHandles(), 1);
  EXPECT_EQ(usb_.OpenInterfaceHandles(), 1);
  ReleaseDfuHandles();
  EXPECT_EQ(usb_.OpenFileHandles(), 0);
  EXPECT_EQ(usb_.OpenInterfaceHandles(), 0);
  EXPECT_EQ(deviceHandle.load(), kNullHandle);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);
  ReleaseDfuHandles();  // nothing left to release: no call on a stale handle
}

}  // namespace
}  // namespace veltra

// The request layer's own rules against a scripted device: what counts as success, and how the
// device is opened and bound.
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

using test::DfuTest;

// Answers every request with what the test scripts: success or failure, the count it reports
// and the bytes of an in reply.
class ScriptedDevice : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x7E51, 0xDF00}; }
  bool OnControl(const SetupPacket& setup, std::uint8_t* data,
                 std::uint32_t* transferred) override {
    ++requests;
    const bool in = (setup.bmRequestType & 0x80) != 0;
    if (in && data != nullptr) {
      std::memcpy(data, reply, std::min<std::size_t>(6, setup.wLength));
    }
    *transferred = count ? *count : setup.wLength;
    return ok;
  }
  int requests = 0;
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
  std::shared_ptr<ScriptedDevice> device_;
};

TEST_F(RequestTest, SuccessNeedsTheExactCountAndForAVerifyItsStateAndStatus) {
  // A status record one byte short is no status: the record keeps its old contents, no pause.
  DfuStatus status;
  status.bState = 42;
  device_->reply[4] = 7;
  device_->count = 5;
  EXPECT_EQ(GetStatus(&status), 0);
  EXPECT_EQ(status.bState, 42);
  device_->count.reset();
  EXPECT_EQ(clock_.NowMs(), 0u);
  EXPECT_EQ(GetStatus(&status), 1);
  EXPECT_EQ(status.bState, 7);

  // Data stages must move exactly their length, one byte either way fails (and a failed MCU chunk
  // is not followed by its pause); the erase needs only a successful call; a request without a
  // data stage that moved bytes failed.
  const std::uint8_t buffer[100] = {};
  for (const std::uint32_t count : {99u, 101u}) {
    device_->count = count;
    const std::uint64_t before = clock_.NowMs();
    EXPECT_EQ(SendData(buffer, 100), 0) << count;
    EXPECT_EQ(SendDataMCUData(100), 0) << count;
    EXPECT_EQ(SendDataFPGAData(100), 0) << count;
    EXPECT_EQ(clock_.NowMs(), before);
  }
  device_->count = 7;
  EXPECT_EQ(EraseCombinedImage(), 1);
  EXPECT_EQ(SendCommand(4), 0);
  EXPECT_EQ(SendZeroLengthPkt(), 0);
  device_->count.reset();
  device_->ok = false;
  EXPECT_EQ(EraseCombinedImage(), 0);
  device_->ok = true;

  // A verify counts only with its own state and a non-zero status.
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

  // An open device handle is bound again; the path is not opened a second time.
  deviceHandle = 0x55;
  EXPECT_EQ(InitializeDevice(L"ignored"), 1);
  EXPECT_EQ(recorder.paths.size(), 1u);
  EXPECT_EQ(recorder.bindings.back(), 0x55u);
  EXPECT_EQ(winUSBHandle.load(), 0x99u);

  recorder.bindOk = false;
  EXPECT_EQ(InitializeDevice(L"ignored"), 0);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);

  deviceHandle = kNullHandle;
  recorder.fail = true;
  EXPECT_EQ(InitializeDevice(L"\\\\?\\gone"), 0);
  EXPECT_EQ(deviceHandle.load(), kNullHandle);
  EXPECT_EQ(winUSBHandle.load(), kNullHandle);
  EXPECT_EQ(lastOpenedHandle.load(), kNullHandle);  // a failed open leaves no stale handle named
}

}  // namespace
}  // namespace veltra

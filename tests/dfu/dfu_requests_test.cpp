// How the DFU device is opened and bound. What counts as a successful request is the fault
// matrix's.
#include "dfu/dfu_requests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dfu/dfu_fixture.h"

namespace veltra {
namespace {

using test::DfuTest;

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
  DfuLink link;

  const std::wstring longPath(300, L'x');
  EXPECT_EQ(Initialize_USBHanlde(link, longPath.c_str()), 0x77u);
  EXPECT_EQ(recorder.paths.back(), std::wstring(255, L'x'));
  EXPECT_EQ(link.lastOpenedHandle.load(), 0x77u);

  // An open device handle is bound again; the path is not opened a second time.
  link.deviceHandle = 0x55;
  EXPECT_EQ(InitializeDevice(link, L"ignored"), 1);
  EXPECT_EQ(recorder.paths.size(), 1u);
  EXPECT_EQ(recorder.bindings.back(), 0x55u);
  EXPECT_EQ(link.winUSBHandle.load(), 0x99u);

  recorder.bindOk = false;
  EXPECT_EQ(InitializeDevice(link, L"ignored"), 0);
  EXPECT_EQ(link.winUSBHandle.load(), kNullHandle);

  link.deviceHandle = kNullHandle;
  recorder.fail = true;
  EXPECT_EQ(InitializeDevice(link, L"\\\\?\\gone"), 0);
  EXPECT_EQ(link.deviceHandle.load(), kNullHandle);
  EXPECT_EQ(link.winUSBHandle.load(), kNullHandle);
  EXPECT_EQ(link.lastOpenedHandle.load(), kNullHandle);  // a failed open names no stale handle
}

}  // namespace
}  // namespace veltra

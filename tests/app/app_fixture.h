// Fixture of the application tests: the bench's ports with a recording camera library, and the
// headless dialog bound to the test's thread as the dialog thread, with the program's own dialog
// procedures behind the main dialog and the three modal dialogs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/update_session.h"
#include "core/window_messages.h"
#include "platform/camera_library.h"
#include "sim/sim_discovery.h"
#include "sim/sim_usb_transport.h"
#include "sim/sim_vendor_library.h"
#include "support/bench_fixture.h"

namespace veltra::test {

std::string Narrow(const wchar_t* text);

// A camera-control library that answers from a table and records every call as
// "Name(arg,...)". Unlisted calls answer 0.
class RecordingCameraLibrary : public CameraLibrary {
 public:
  void Answer(const std::string& call, std::int32_t result);
  // Replies GetHidReport hands out in order (byte 1 is the status); when none are left the read
  // fails (the camera has left).
  void QueueHidReply(std::uint8_t status);
  int Count(const std::string& prefix) const;
  // Every call so far, in order.
  std::vector<std::string> Calls() const;
  // Runs action once, inside the next call of that name made from another thread than this
  // one, before the call is recorded and answered.
  void During(const std::string& call, std::function<void()> action);

  std::int32_t InitExtensionUnit(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t DeinitExtensionUnit() override { return Record(__func__); }
  std::int32_t IsPescaDeviceAvail(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t IsTarsaDeviceAvail(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t IsMirel_DeviceAvail(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t DeinitExtUnit() override { return Record(__func__); }
  std::int32_t InitPescaExtensionUnit(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t InitTarsaExtensionUnit(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t InitMirelExtensionUnit(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t SetExtensionUnitValueForPesca(std::int32_t selector, std::int32_t value) override {
    return Record(__func__, std::to_string(selector) + "," + std::to_string(value));
  }
  std::int32_t FallbacktoFWTarsa() override { return Record(__func__); }
  std::int32_t FirmwareUpdate(std::uint8_t type) override {
    return Record(__func__, std::to_string(type));
  }
  std::int32_t GetPescaFirmwareVersion(std::int32_t, std::uint8_t*) override {
    return Record(__func__);
  }
  std::int32_t GetTarsaFirmwareVersion(std::uint8_t*) override { return Record(__func__); }
  std::int32_t GetFirmwareVersionMirel(std::uint8_t*, std::uint8_t*, std::uint16_t*) override {
    return Record(__func__);
  }
  std::int32_t ReadFirmwareVersion(std::uint8_t*, std::uint8_t*, std::uint16_t*,
                                   std::uint16_t*) override {
    return Record(__func__);
  }
  std::int32_t ResetTarsa() override { return Record(__func__); }
  std::int32_t ResetDeviceMirel() override { return Record(__func__); }
  std::int32_t SendHIDCommandWithFirstByte(std::uint8_t command) override {
    return Record(__func__, std::to_string(command));
  }
  std::int32_t SetPreparseDataAndAttributes() override { return Record(__func__); }
  std::int32_t DevicestateCX3SNI(std::uint8_t*) override { return Record(__func__); }
  std::int32_t SetHidReport(const std::uint8_t* report, std::int32_t length) override;
  std::int32_t GetHidReport(std::uint8_t* reply64) override;
  std::int32_t Init_HIDHandle(const wchar_t* p) override { return Record(__func__, p); }
  std::int32_t sendNXPHidCmd(const std::uint8_t*, std::int32_t length, std::int32_t flag) override {
    return Record(__func__, std::to_string(length) + "," + std::to_string(flag));
  }
  std::int32_t IsDFUDeviceVID(const wchar_t* vid) override { return Record(__func__, vid); }
  std::int32_t IsRestrictedCameraPID(const wchar_t* pid) override { return Record(__func__, pid); }

 private:
  std::int32_t Record(const std::string& name, const std::string& args = "");
  std::int32_t Record(const std::string& name, const wchar_t* path) {
    return Record(name, Narrow(path));
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::int32_t> answers_;
  std::vector<std::string> calls_;
  std::deque<std::uint8_t> hidReplies_;
  std::string duringCall_;
  std::thread::id duringArmedBy_;
  std::function<void()> during_;
};

// Puts the program's own procedures behind the headless main dialog and its three modal dialogs,
// with the test's thread as the dialog thread.
void InstallProgramDialogs(HeadlessDialog& dialog);

class AppTest : public BenchTest {
 public:
  // Fake window handles the procedures record.
  static constexpr Handle kMainDlg = 0x129;
  static constexpr Handle kConfirmDlg = 0x130;
  static constexpr Handle kWarnDlg = 0x143;
  static constexpr Handle kErrorDlg = 0x144;

 protected:
  AppTest();
  ~AppTest() override;

  // Appends a record to the device table and an entry to the list.
  void AddRecord(const wchar_t* name, const wchar_t* vid, const wchar_t* pid, const wchar_t* path);
  // Selects list entry index as the user would: the commands take the selection from the list.
  void Select(int index);
  // A firmware file in the test's folder; returns its full path.
  std::wstring WriteFile(const std::string& name, std::size_t bytes = 64);

  RecordingCameraLibrary camera_;
  sim::SimUsbTransport usb_{bus_};
  sim::SimDiscovery discovery_{bus_};
  sim::SimVendorLibrary vendor_{bus_};
};

}  // namespace veltra::test

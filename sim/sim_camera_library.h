// The camera-control library on the bench: every operation answered by the virtual devices on the
// bus, each call written to the traffic log.
//
// Like the real library it keeps state between calls:
//  - the open camera: InitExtensionUnit and the family Init calls choose it (a failed Init clears
//    it), DeinitExtensionUnit / DeinitExtUnit close it, SetPreparseDataAndAttributes opens the
//    CX3 command channel; the argument-less calls act on it;
//  - the open HID device: Init_HIDHandle; sendNXPHidCmd writes to it.
// An open camera or HID device is stale once the device has left the bus (even if it came back):
// calls on it fail until the next Init, as with a handle on Windows.
//
// The family version and reset calls (GetPescaFirmwareVersion, ResetTarsa, ...) and the CX3
// channel find their camera themselves when none of that family is open: the first present camera
// of the family, as the real library looks its cameras up by their IDs.
//
// Log lines: op "library" with the call's name, its input arguments and its result, and op
// "hid_out" for sendNXPHidCmd (the whole report, length, flag, result); "dev" is the VID:PID the
// call reached ("" when none).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/camera_library.h"
#include "sim/cameras/camera_device.h"
#include "sim/traffic_log.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

class Bus;

class SimCameraLibrary : public CameraLibrary {
 public:
  explicit SimCameraLibrary(Bus& bus, TrafficLog* log = nullptr);

  void SetLog(TrafficLog* log);
  // What an unanswered HID output report costs on the program's clock (the write time-out of the
  // library's HID handle); 5 s unless a scenario sets another.
  void SetHidWriteTimeoutMs(std::uint32_t ms);

  std::int32_t InitExtensionUnit(const wchar_t* path) override;
  std::int32_t DeinitExtensionUnit() override;
  std::int32_t IsPescaDeviceAvail(const wchar_t* path) override;
  std::int32_t IsTarsaDeviceAvail(const wchar_t* path) override;
  std::int32_t IsMirel_DeviceAvail(const wchar_t* path) override;
  std::int32_t DeinitExtUnit() override;
  std::int32_t InitPescaExtensionUnit(const wchar_t* path) override;
  std::int32_t InitTarsaExtensionUnit(const wchar_t* path) override;
  std::int32_t InitMirelExtensionUnit(const wchar_t* path) override;
  std::int32_t SetExtensionUnitValueForPesca(std::int32_t selector, std::int32_t value) override;
  std::int32_t FallbacktoFWTarsa() override;
  std::int32_t FirmwareUpdate(std::uint8_t imageType) override;
  std::int32_t GetPescaFirmwareVersion(std::int32_t selector, std::uint8_t* buffer4) override;
  std::int32_t GetTarsaFirmwareVersion(std::uint8_t* buffer4) override;
  std::int32_t GetFirmwareVersionMirel(std::uint8_t* major, std::uint8_t* minor,
                                       std::uint16_t* build) override;
  std::int32_t ReadFirmwareVersion(std::uint8_t* v1, std::uint8_t* v2, std::uint16_t* v3,
                                   std::uint16_t* v4) override;
  std::int32_t ResetTarsa() override;
  std::int32_t ResetDeviceMirel() override;
  std::int32_t SendHIDCommandWithFirstByte(std::uint8_t command) override;
  std::int32_t SetPreparseDataAndAttributes() override;
  std::int32_t DevicestateCX3SNI(std::uint8_t* reply64) override;
  std::int32_t SetHidReport(const std::uint8_t* report, std::int32_t length) override;
  std::int32_t GetHidReport(std::uint8_t* reply64) override;
  std::int32_t Init_HIDHandle(const wchar_t* path) override;
  std::int32_t sendNXPHidCmd(const std::uint8_t* report, std::int32_t length,
                             std::int32_t flag) override;
  std::int32_t IsDFUDeviceVID(const wchar_t* vid) override;
  std::int32_t IsRestrictedCameraPID(const wchar_t* pid) override;

  // ---- inspection ----
  // The open camera / HID device while it is still valid (nullptr otherwise).
  std::shared_ptr<VirtualDevice> OpenCamera() const;
  std::shared_ptr<VirtualDevice> OpenHidDevice() const;
  // Names of the calls made so far, in order.
  std::vector<std::string> Calls() const;

 private:
  // A device the library holds open, with the enumeration and identity it had then.
  struct Held {
    std::weak_ptr<VirtualDevice> device;
    unsigned enumeration = 0;
    UsbId id;
  };

  std::shared_ptr<VirtualDevice> Find(const wchar_t* path) const;
  Held Hold(const std::shared_ptr<VirtualDevice>& device) const;
  std::shared_ptr<VirtualDevice> Live(const Held& held) const;
  std::shared_ptr<CameraDevice> OpenCameraDevice() const;
  // The open camera if it is of the family, else the first present camera of the family.
  std::shared_ptr<CameraDevice> FamilyCamera(CameraFamily family) const;
  std::shared_ptr<CameraDevice> CommandChannelCamera() const;
  std::int32_t FamilyTest(const char* call, const wchar_t* path, CameraFamily family);
  std::int32_t FamilyInit(const char* call, const wchar_t* path, CameraFamily family);
  void SetOpen(const std::shared_ptr<VirtualDevice>& device);
  // "VID:PID" of the device as the call found it ("" for none).
  static std::string NameOf(const std::shared_ptr<VirtualDevice>& device);
  void Log(const std::string& dev, const char* call, const std::vector<LogArg>& args,
           std::int32_t result);

  // A failed HID output report: one that the device left unanswered costs the write time-out.
  void ChargeHidTimeout(VirtualDevice* device);

  Bus& bus_;
  mutable std::mutex mutex_;  // guards the fields below; never held while a device runs
  TrafficLog* log_ = nullptr;
  std::uint32_t hidWriteTimeoutMs_ = 5000;
  Held open_;
  Held hid_;
  std::vector<std::string> calls_;
};

}  // namespace veltra::sim

// A scripted camera-control library for the camera tests: every call is recorded by name, results
// come from per-operation queues (then a per-operation default, 0 unless set), outputs from
// fields. Operations named in throwOn raise, for the handlers' exception paths.
#pragma once

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/camera_library.h"

namespace veltra::test {

class FakeCameraLibrary : public CameraLibrary {
 public:
  using Reply = std::array<std::uint8_t, 64>;

  void Queue(const std::string& op, std::int32_t result) { queued_[op].push_back(result); }
  void SetDefault(const std::string& op, std::int32_t result) { defaults_[op] = result; }
  int Count(const std::string& op) const {
    int n = 0;
    for (const auto& c : calls) n += c == op ? 1 : 0;
    return n;
  }

  std::vector<std::string> calls;
  std::vector<std::wstring> initPaths;  // paths given to InitExtensionUnit
  std::string throwOn;
  std::uint8_t version4[4] = {};
  std::uint8_t mirel[2] = {};
  std::uint16_t mirelBuild = 0;
  std::uint8_t read8[2] = {};
  std::uint16_t read16[2] = {};
  std::deque<Reply> hidReplies;  // GetHidReport hands these out, the last one repeatedly
  std::vector<std::vector<std::uint8_t>> hidReports;

  std::int32_t InitExtensionUnit(const wchar_t* path) override {
    initPaths.emplace_back(path);
    return Call("InitExtensionUnit");
  }
  std::int32_t DeinitExtensionUnit() override { return Call("DeinitExtensionUnit"); }
  std::int32_t IsPescaDeviceAvail(const wchar_t*) override { return Call("IsPescaDeviceAvail"); }
  std::int32_t IsTarsaDeviceAvail(const wchar_t*) override { return Call("IsTarsaDeviceAvail"); }
  std::int32_t IsMirel_DeviceAvail(const wchar_t*) override { return Call("IsMirel_DeviceAvail"); }
  std::int32_t DeinitExtUnit() override { return Call("DeinitExtUnit"); }
  std::int32_t InitPescaExtensionUnit(const wchar_t*) override { return Call("InitPesca"); }
  std::int32_t InitTarsaExtensionUnit(const wchar_t*) override { return Call("InitTarsa"); }
  std::int32_t InitMirelExtensionUnit(const wchar_t*) override { return Call("InitMirel"); }
  std::int32_t SetExtensionUnitValueForPesca(std::int32_t, std::int32_t) override {
    return Call("SetExtensionUnitValueForPesca");
  }
  std::int32_t FallbacktoFWTarsa() override { return Call("FallbacktoFWTarsa"); }
  std::int32_t FirmwareUpdate(std::uint8_t) override { return Call("FirmwareUpdate"); }
  std::int32_t GetPescaFirmwareVersion(std::int32_t, std::uint8_t* buffer4) override {
    std::memcpy(buffer4, version4, 4);
    return Call("GetPescaFirmwareVersion");
  }
  std::int32_t GetTarsaFirmwareVersion(std::uint8_t* buffer4) override {
    std::memcpy(buffer4, version4, 4);
    return Call("GetTarsaFirmwareVersion");
  }
  std::int32_t GetFirmwareVersionMirel(std::uint8_t* a, std::uint8_t* b,
                                       std::uint16_t* c) override {
    *a = mirel[0];
    *b = mirel[1];
    *c = mirelBuild;
    return Call("GetFirmwareVersionMirel");
  }
  std::int32_t ReadFirmwareVersion(std::uint8_t* a, std::uint8_t* b, std::uint16_t* c,
                                   std::uint16_t* d) override {
    *a = read8[0];
    *b = read8[1];
    *c = read16[0];
    *d = read16[1];
    return Call("ReadFirmwareVersion");
  }
  std::int32_t ResetTarsa() override { return Call("ResetTarsa"); }
  std::int32_t ResetDeviceMirel() override { return Call("ResetDeviceMirel"); }
  std::int32_t SendHIDCommandWithFirstByte(std::uint8_t) override {
    return Call("SendHIDCommandWithFirstByte");
  }
  std::int32_t SetPreparseDataAndAttributes() override { return Call("SetPreparse"); }
  std::int32_t DevicestateCX3SNI(std::uint8_t*) override { return Call("DevicestateCX3SNI"); }
  std::int32_t SetHidReport(const std::uint8_t* report, std::int32_t length) override {
    hidReports.emplace_back(report, report + length);
    return Call("SetHidReport");
  }
  std::int32_t GetHidReport(std::uint8_t* reply64) override {
    if (!hidReplies.empty()) {
      std::memcpy(reply64, hidReplies.front().data(), 64);
      if (hidReplies.size() > 1) hidReplies.pop_front();
    }
    return Call("GetHidReport");
  }
  std::int32_t Init_HIDHandle(const wchar_t*) override { return Call("Init_HIDHandle"); }
  std::int32_t sendNXPHidCmd(const std::uint8_t*, std::int32_t, std::int32_t) override {
    return Call("sendNXPHidCmd");
  }
  std::int32_t IsDFUDeviceVID(const wchar_t*) override { return Call("IsDFUDeviceVID"); }
  std::int32_t IsRestrictedCameraPID(const wchar_t*) override {
    return Call("IsRestrictedCameraPID");
  }

 private:
  std::int32_t Call(const std::string& op) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(op);
    if (op == throwOn) throw std::runtime_error(op);
    auto& queue = queued_[op];
    if (!queue.empty()) {
      const std::int32_t result = queue.front();
      queue.pop_front();
      return result;
    }
    const auto it = defaults_.find(op);
    return it == defaults_.end() ? 0 : it->second;
  }

  std::mutex mutex_;
  std::map<std::string, std::deque<std::int32_t>> queued_;
  std::map<std::string, std::int32_t> defaults_;
};

}  // namespace veltra::test

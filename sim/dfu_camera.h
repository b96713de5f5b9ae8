// A standalone camera in DFU update mode (7E51:DF00 by default): what the program finds when a
// camera is plugged in while it waits for firmware, and the device the engines are tested against.
// It speaks the DFU protocol through its DfuEngine; after the zero-length end it may re-enumerate
// through a hook, so that a test or the bench tool can bring a camera back in another mode.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sim/dfu_engine.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

constexpr std::uint16_t kMakerVid = 0x7E51;
constexpr std::uint16_t kDfuPid = 0xDF00;
constexpr std::uint16_t kDfuPidPesca = 0xDF01;

class DfuCamera : public VirtualDevice {
 public:
  struct Options {
    std::uint16_t pid = kDfuPid;
    std::wstring serial = L"ABC1234567";  // empty: no serial
    DfuEngine::Config engine;
    std::wstring description = L"DFU Device";
  };

  DfuCamera();
  explicit DfuCamera(Options options);

  UsbId Id() const override;
  std::wstring Description() const override;
  bool OnControl(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred) override;
  // Still in update mode afterwards, its DFU state back at the start.
  void PowerCycle() override { engine_.Restart(); }

  DfuEngine& engine() { return engine_; }
  const DfuEngine& engine() const { return engine_; }
  DfuFlash Flash() const { return engine_.Flash(); }

  // Called with the camera after each completed manifest (the engine's manifest hook). A typical
  // hook makes the camera leave the bus and come back, e.g. with ReEnumerate().
  void SetAfterManifest(std::function<void(DfuCamera&)> hook);
  // Leaves the bus, changes the product ID (0: keep it) and comes back: the engine restarts.
  void ReEnumerate(std::uint16_t newPid = 0);

 private:
  Options options_;
  std::uint16_t pid_;
  DfuEngine engine_;
};

}  // namespace veltra::sim

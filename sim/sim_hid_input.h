// The HID input-report port on the bench: read handles on the HID interfaces of the virtual
// devices, each read written to the traffic log (op "hid_in").
//
// Like a handle on Windows, a handle is stale once its device has left the bus (even if it came
// back): its reads fail at once. A read that finds no report waits its whole time-out on the
// program's clock and returns nothing, as does a read the device leaves unanswered (a time-out
// fault). Only the NXP camera sends input reports (its flash loader's answers).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/hid_input.h"
#include "sim/traffic_log.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

class Bus;

class SimHidInput : public HidInput {
 public:
  explicit SimHidInput(Bus& bus, TrafficLog* log = nullptr);

  void SetLog(TrafficLog* log);

  // The device's HID interface cannot be opened a second time when its camera's Unknowns say the
  // library holds it without sharing.
  Handle OpenHidInput(const wchar_t* parentDevicePath) override;
  void CloseHidInput(Handle input) override;
  std::uint32_t ReadInputReport(Handle input, std::uint8_t* report, std::uint32_t length,
                                std::uint32_t timeoutMs) override;

  // Handles opened and not closed.
  std::size_t OpenHandles() const;

 private:
  struct Held {
    std::weak_ptr<VirtualDevice> device;
    unsigned enumeration = 0;
    UsbId id;
  };
  std::shared_ptr<VirtualDevice> Live(const Held& held) const;

  Bus& bus_;
  mutable std::mutex mutex_;  // guards the fields below; never held while a device runs
  TrafficLog* log_ = nullptr;
  std::map<Handle, Held> handles_;
  Handle next_ = 1;
};

}  // namespace veltra::sim

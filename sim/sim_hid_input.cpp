#include "sim/sim_hid_input.h"

#include <string>

#include "core/text.h"
#include "platform/ports.h"
#include "sim/bus.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::sim {

SimHidInput::SimHidInput(Bus& bus, TrafficLog* log) : bus_(bus), log_(log) {}

void SimHidInput::SetLog(TrafficLog* log) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_ = log;
}

Handle SimHidInput::OpenHidInput(const wchar_t* parentDevicePath) {
  if (parentDevicePath == nullptr) {
    return kNullHandle;
  }
  const std::wstring parent(parentDevicePath);
  for (const auto& device : bus_.Present()) {
    const UsbId id = device->Id();
    if (!device->HasHidInterface() ||
        !TextEqualsNoCase(bus_.UsbInterfacePath(device.get()).c_str(), parent.c_str())) {
      continue;
    }
    if (device->BusMode() == DeviceMode::kUpdateMode && device->unknowns().exclusiveLoaderHid) {
      return kNullHandle;  // the library's handle holds it without sharing
    }
    if (auto* nxp = dynamic_cast<NxpCamera*>(device.get())) {
      nxp->FlushHidInput();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const Handle handle = next_++;
    handles_[handle] = Held{device, bus_.Enumeration(device.get()), id};
    return handle;
  }
  return kNullHandle;
}

void SimHidInput::CloseHidInput(Handle input) {
  std::lock_guard<std::mutex> lock(mutex_);
  handles_.erase(input);
}

std::size_t SimHidInput::OpenHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handles_.size();
}

std::shared_ptr<VirtualDevice> SimHidInput::Live(const Held& held) const {
  std::shared_ptr<VirtualDevice> device = held.device.lock();
  if (!device || !bus_.IsPresent(device.get()) ||
      bus_.Enumeration(device.get()) != held.enumeration) {
    return nullptr;
  }
  const UsbId id = device->Id();
  return id.vid == held.id.vid && id.pid == held.id.pid ? device : nullptr;
}

std::uint32_t SimHidInput::ReadInputReport(Handle input, std::uint8_t* report, std::uint32_t length,
                                           std::uint32_t timeoutMs) {
  Held held;
  TrafficLog* log = nullptr;
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = handles_.find(input);
    known = it != handles_.end();
    if (known) {
      held = it->second;
    }
    log = log_;
  }
  const std::shared_ptr<VirtualDevice> device = known ? Live(held) : nullptr;
  std::size_t got = 0;
  bool wait = false;
  const bool clock = ports().system != nullptr;
  const std::uint64_t now = clock ? Sys().NowMs() : 0;
  std::uint64_t readyMs = now;
  if (device && report != nullptr) {
    auto* nxp = dynamic_cast<NxpCamera*>(device.get());
    const NxpCamera::InputRead read =
        nxp != nullptr ? nxp->ReadHidInput(report, length, &got, now + timeoutMs, &readyMs)
                       : NxpCamera::InputRead::kNothing;
    // Nothing came within the time-out, or a report the device left unanswered: the wait runs
    // out. An answer that comes later is waited for until it comes.
    wait = read == NxpCamera::InputRead::kNothing || device->TakeTimedOut();
  }
  if (wait && clock) {
    Sys().Sleep(timeoutMs);
  } else if (clock && got > 0 && readyMs > now) {
    Sys().Sleep(static_cast<std::uint32_t>(readyMs - now));
  }
  if (log != nullptr) {
    log->LogHidIn(device ? DeviceName(device->Id()) : std::string(), report, got);
  }
  return static_cast<std::uint32_t>(got);
}

}  // namespace veltra::sim

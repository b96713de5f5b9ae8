#include "sim/sim_usb_transport.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/ports.h"
#include "sim/bus.h"

namespace veltra::sim {

namespace {

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kOffsetTimeout = 8;
constexpr std::uint32_t kMsPerSecond = 1000;
constexpr std::uint32_t kOffsetBufferOffset = 30;
constexpr std::uint32_t kOffsetBufferLength = 34;

}  // namespace

bool ParseCypressRecord(const std::uint8_t* record, std::uint32_t length, SetupPacket* setup,
                        const std::uint8_t** data, std::uint32_t* dataLength) {
  if (record == nullptr || length < kCypressHeaderSize) {
    return false;
  }
  const std::uint32_t offset = Le32(record + kOffsetBufferOffset);
  const std::uint32_t count = Le32(record + kOffsetBufferLength);
  // Both checked against the record without overflow: offset <= length, count <= length - offset.
  if (offset > length || count > length - offset) {
    return false;
  }
  setup->bmRequestType = record[0];
  setup->bRequest = record[1];
  setup->wValue = Le16(record + 2);
  setup->wIndex = Le16(record + 4);
  setup->wLength = Le16(record + 6);
  *data = record + offset;
  *dataLength = count;
  return true;
}

std::uint32_t CypressRecordTimeoutMs(const std::uint8_t* record, std::uint32_t length) {
  if (record == nullptr || length < kCypressHeaderSize) {
    return 0;
  }
  const std::uint32_t seconds = Le32(record + kOffsetTimeout);
  // Bounded so that a garbled record cannot stop the program's clock for weeks.
  constexpr std::uint32_t kMaxSeconds = 3600;
  return std::min(seconds, kMaxSeconds) * kMsPerSecond;
}

SimUsbTransport::SimUsbTransport(Bus& bus) : bus_(bus) {}

void SimUsbTransport::Fail(VirtualDevice* device, std::uint32_t timeoutMs) {
  // An unanswered transfer returns only when its time-out has passed; a stall returns at once.
  if (device->TakeTimedOut()) {
    if (ports().system != nullptr) {
      Sys().Sleep(timeoutMs);
    }
    SetError(kErrorSemTimeout);
    return;
  }
  SetError(bus_.IsPresent(device) ? kErrorGenFailure : kErrorDeviceNotConnected);
}

void SimUsbTransport::SetError(std::uint32_t code) {
  if (ports().system != nullptr) {
    Sys().SetLastError(code);
  }
}

Handle SimUsbTransport::OpenDevice(const wchar_t* path) {
  VirtualDevice* device = path == nullptr ? nullptr : bus_.FindByPath(path);
  if (device == nullptr) {
    SetError(kErrorFileNotFound);
    return kInvalidHandle;
  }
  if (device->OpenRefused()) {
    ++accessRefusals_;
    SetError(kErrorAccessDenied);
    return kInvalidHandle;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const Handle handle = next_;
  next_ += 4;
  handles_[handle] = Binding{device, device->Id(), bus_.Enumeration(device), false};
  SetError(0);
  return handle;
}

void SimUsbTransport::CloseDevice(Handle device) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(device);
  if (it != handles_.end() && !it->second.isInterface) {
    handles_.erase(it);
  }
}

VirtualDevice* SimUsbTransport::Live(Handle handle, bool wantInterface) const {
  Binding binding;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.isInterface != wantInterface) {
      SetError(kErrorInvalidHandle);
      return nullptr;
    }
    binding = it->second;
  }
  if (bus_.Enumeration(binding.device) != binding.enumeration) {
    SetError(kErrorDeviceNotConnected);
    return nullptr;
  }
  return binding.device;
}

bool SimUsbTransport::WinUsbInitialize(Handle device, Handle* interfaceHandle) {
  if (interfaceHandle == nullptr) {
    SetError(kErrorInvalidParameter);
    return false;
  }
  VirtualDevice* target = Live(device, false);
  if (target == nullptr) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (failWinUsb_ != 0) {
    SetError(failWinUsb_);
    return false;
  }
  const Handle handle = next_;
  next_ += 4;
  const Binding& file = handles_[device];
  handles_[handle] = Binding{target, file.id, file.enumeration, true};
  *interfaceHandle = handle;
  SetError(0);
  return true;
}

void SimUsbTransport::WinUsbFree(Handle interfaceHandle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(interfaceHandle);
  if (it != handles_.end() && it->second.isInterface) {
    handles_.erase(it);
  }
}

bool SimUsbTransport::ControlTransfer(Handle interfaceHandle, const SetupPacket& setup,
                                      std::uint8_t* data, std::uint32_t* transferred) {
  if (transferred != nullptr) {
    *transferred = 0;
  }
  VirtualDevice* device = Live(interfaceHandle, true);
  if (device == nullptr) {
    return false;
  }
  std::uint32_t count = 0;
  const bool ok = device->OnControl(setup, data, &count);
  if (transferred != nullptr) {
    *transferred = count;
  }
  // A stalled request reports a failure code; a device that left during the request reports
  // that it is gone.
  if (!ok) {
    Fail(device, kWinUsbDefaultTimeoutMs);
  }
  return ok;
}

bool SimUsbTransport::DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                                      std::uint32_t length, std::uint32_t* returned) {
  if (returned != nullptr) {
    *returned = 0;
  }
  VirtualDevice* target = Live(device, false);
  if (target == nullptr) {
    return false;
  }
  SetupPacket setup;
  const std::uint8_t* data = nullptr;
  std::uint32_t dataLength = 0;
  if (ioctl != kIoctlCypressEp0Transfer ||
      !ParseCypressRecord(record, length, &setup, &data, &dataLength) ||
      dataLength < setup.wLength) {
    SetError(kErrorInvalidParameter);
    return false;
  }
  // A strict device takes only a record whose fields agree: the data right behind the header,
  // exactly wLength bytes of it, and nothing after them.
  if (target->strictness().recordFields &&
      (data != record + kCypressHeaderSize || dataLength != setup.wLength ||
       length != kCypressHeaderSize + dataLength)) {
    SetError(kErrorInvalidParameter);
    return false;
  }
  if (!target->OnCypressRequest(setup, data)) {
    Fail(target, CypressRecordTimeoutMs(record, length));
    return false;
  }
  if (returned != nullptr) {
    *returned = kCypressHeaderSize + setup.wLength;
  }
  SetError(0);
  return true;
}

VirtualDevice* SimUsbTransport::DeviceOf(Handle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second.device;
}

bool SimUsbTransport::IdentityOf(Handle handle, UsbId* id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) {
    return false;
  }
  if (id != nullptr) {
    *id = it->second.id;
  }
  return true;
}

void SimUsbTransport::FailWinUsbInitialize(std::uint32_t errorCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  failWinUsb_ = errorCode;
}

int SimUsbTransport::OpenFileHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const auto& entry : handles_) {
    count += entry.second.isInterface ? 0 : 1;
  }
  return count;
}

int SimUsbTransport::OpenInterfaceHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const auto& entry : handles_) {
    count += entry.second.isInterface ? 1 : 0;
  }
  return count;
}

}  // namespace veltra::sim

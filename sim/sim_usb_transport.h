// The USB transport port on the virtual bus. OpenDevice finds a present device by any of its
// interface paths; file and WinUSB handles map to that device; control transfers and the Cypress
// driver's requests are handed to the device. A handle stays usable while its device stays on the
// bus: once the device has left, every call on the handle fails with a last-error code, even after
// the device has come back (it must be opened again), as on Windows.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/usb_transport.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

class Bus;

// Last-error codes the bench reports (the Windows values).
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorSemTimeout = 121;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

// The Cypress driver's single-transfer record: 38 bytes of header, then the data.
constexpr std::uint32_t kCypressHeaderSize = 38;

// What an unanswered control transfer costs: WinUSB's default pipe time-out, which holds while
// the program sets no pipe policy of its own.
constexpr std::uint32_t kWinUsbDefaultTimeoutMs = 5000;

// Reads the setup fields and the data stage out of a Cypress request record. False when the
// record is shorter than its header or its buffer offset/length point outside the record.
bool ParseCypressRecord(const std::uint8_t* record, std::uint32_t length, SetupPacket* setup,
                        const std::uint8_t** data, std::uint32_t* dataLength);
// The time-out a Cypress request record carries, in milliseconds (its seconds field).
std::uint32_t CypressRecordTimeoutMs(const std::uint8_t* record, std::uint32_t length);

class SimUsbTransport : public UsbTransport {
 public:
  explicit SimUsbTransport(Bus& bus);

  Handle OpenDevice(const wchar_t* path) override;
  void CloseDevice(Handle device) override;
  bool WinUsbInitialize(Handle device, Handle* interfaceHandle) override;
  void WinUsbFree(Handle interfaceHandle) override;
  bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                       std::uint32_t* transferred) override;
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override;

  // ---- bench controls and inspection ----
  // The device behind a file or WinUSB handle (nullptr for an unknown or closed handle), and the
  // identity it had when the handle was made.
  VirtualDevice* DeviceOf(Handle handle) const;
  bool IdentityOf(Handle handle, UsbId* id) const;
  // How many opens the devices refused (VirtualDevice::SetOpenRefused) so far.
  std::uint64_t AccessRefusals() const { return accessRefusals_; }
  // The next WinUsbInitialize calls fail with this last-error code (0: succeed again).
  void FailWinUsbInitialize(std::uint32_t errorCode);
  // Handles opened and not yet closed or freed (leak checks).
  int OpenFileHandles() const;
  int OpenInterfaceHandles() const;

 private:
  struct Binding {
    VirtualDevice* device = nullptr;
    UsbId id;
    unsigned enumeration = 0;
    bool isInterface = false;
  };
  // The device of a live handle whose device has stayed on the bus since the handle was made; sets
  // the last error and returns nullptr otherwise.
  VirtualDevice* Live(Handle handle, bool wantInterface) const;
  static void SetError(std::uint32_t code);
  // Sets the last error of a failed transfer; an unanswered one first costs timeoutMs.
  void Fail(VirtualDevice* device, std::uint32_t timeoutMs);

  Bus& bus_;
  mutable std::mutex mutex_;
  std::map<Handle, Binding> handles_;
  Handle next_ = 0x100;
  std::uint32_t failWinUsb_ = 0;
  std::atomic<std::uint64_t> accessRefusals_{0};
};

}  // namespace veltra::sim

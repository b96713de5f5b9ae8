// Base of the bench's cameras: one physical device that the camera-control library can reach,
// and that leaves the bus and comes back in another mode (normal firmware, update mode, a chip
// vendor's boot ROM) with the same USB serial.
//
// The library-facing operations answer only what a camera of that family answers; the defaults
// refuse. They count as transfers of the device (mode switches, version reads, resets, HID
// command reports), so a fault plan can make any of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/cameras/firmware_version.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

constexpr std::uint16_t kCypressVid = 0x04B4;
constexpr std::uint16_t kNxpVid = 0x1FC9;
constexpr std::uint16_t kSunplusVid = 0x1BCF;

// The family calls a camera answers (IsPescaDeviceAvail etc.).
enum class CameraFamily { kNone, kPesca, kTarsa, kMirel };

// A reply of the CX3 HID command channel (64 bytes, byte 1 the status).
constexpr std::size_t kHidReplySize = 64;

class CameraDevice : public VirtualDevice {
 public:
  // Decides when a re-enumerated device comes back: it is handed the return and may run it at
  // once (the default when none is set), later, or from another thread.
  using ReturnScheduler = std::function<void(std::function<void()> comeBack)>;

  // ---- what the camera-control library reaches ----
  // InitExtensionUnit: the maker's UVC extension unit answers.
  virtual bool OpensExtensionUnit() const { return false; }
  // IsPescaDeviceAvail / IsTarsaDeviceAvail / IsMirel_DeviceAvail and their Init calls.
  virtual CameraFamily Family() const { return CameraFamily::kNone; }
  // Mode switches; 0 when the camera refused the command.
  virtual std::int32_t FirmwareUpdate(std::uint8_t imageType) { return 0; }
  virtual std::int32_t SetPescaUpdateMode(std::int32_t selector, std::int32_t value) { return 0; }
  virtual std::int32_t FallbackToUpdateMode() { return 0; }
  // The running firmware's version; false when the camera cannot answer now.
  virtual bool ReadVersion(FirmwareVersion* version) { return false; }
  // The family's reset command (ResetTarsa, ResetDeviceMirel, SendHIDCommandWithFirstByte(4)).
  virtual std::int32_t ResetCamera() { return 0; }
  // The CX3 HID command channel: open, device state (0 = firmware answers), command reports,
  // replies (false: nothing could be read).
  virtual bool HasCommandChannel() const { return false; }
  virtual std::int32_t CommandChannelState(std::uint8_t* reply64) { return 1; }
  virtual bool SendCommandReport(const std::uint8_t* report, std::size_t length) { return false; }
  virtual bool ReadCommandReply(std::uint8_t* reply64) { return false; }

  // ---- re-enumeration ----
  // Counts the times the device left the bus: a handle opened before is stale afterwards.
  std::uint32_t Generation() const;
  // A handle opened before the power cycle is stale afterwards; families that keep more than
  // their flash override this and call it.
  void PowerCycle() override;
  void SetReturnScheduler(ReturnScheduler scheduler);

 protected:
  // Leaves the bus, runs change (the new mode) while away, and comes back through the scheduler.
  // Called without holding the device's lock: the bus raises its events from here.
  void Reenumerate(const std::function<void()>& change);
  // Leaves the bus for good (a disconnect fault).
  void Disconnect();
  // Counts one transfer against the fault plan. A disconnect fault is carried out here (the
  // device leaves); the caller fails the transfer for every kind other than kNone.
  FaultKind TakeFault();

 private:
  std::uint32_t generation_ = 0;
  ReturnScheduler scheduler_;
};

}  // namespace veltra::sim

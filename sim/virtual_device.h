// A device on the virtual USB bus. Concrete devices (the DFU-mode camera, the cameras of each
// family, the FX3 and RT1060 boot ROMs, the flash loader) derive from it and answer the transfers
// their real counterpart answers; everything else is refused as a real device would stall it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/usb_transport.h"

namespace veltra::sim {

class Bus;

struct UsbId {
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
};

// What a device can be told to do wrong at its Nth transfer (counted from 0 over every transfer
// the device receives: control requests, Cypress requests and HID reports alike).
enum class FaultKind {
  kNone,
  kTransferError,  // the transfer fails
  kShortTransfer,  // fewer bytes than asked are moved
  kStuckState,     // from then on the device never leaves its busy state
  kErrorState,     // the device drops into its error state
  kDisconnect,     // the device leaves the bus; every later transfer fails
  kTimeout,        // the device does not answer: the transfer fails once its time-out has passed
};

// What a device checks in what it is sent, as the hardware does; each check can be switched off
// so that a test can reach the simple case.
struct Strictness {
  bool setupFields = true;    // a DFU request's wValue, wIndex and wLength must be the expected
  bool reportLengths = true;  // an HID report must be exactly the device's report length
  bool recordFields = true;   // a Cypress request record's buffer fields must agree with its setup
};

// Which USB serial a camera reports in its update modes (DF00, DF01, DF02, the program its FX3 ROM
// is given, the NXP flash loader). Those programs come from one file shared by every camera, so
// nothing says they report the camera's own serial.
enum class UpdateModeSerial {
  kCameraSerial,  // the serial the camera reports running its firmware
  kNone,          // none: Windows makes up an instance ID with "&" in it
  kFamilySerial,  // one fixed serial shared by every camera of the family
};

// What nothing documents about a camera's hardware, each a switch the tests run the program
// across. The defaults are the harsh case.
struct Unknowns {
  UpdateModeSerial updateModeSerial = UpdateModeSerial::kFamilySerial;
  // The camera library opens the flash loader's HID device without sharing: a second handle on
  // it (the program's answer reader) cannot open.
  bool exclusiveLoaderHid = true;
  // Windows installs a driver the first time an identity (VID:PID, serial) appears on the
  // machine: the device arrives that much later (on the program's clock).
  std::uint32_t driverInstallMs = kMaxDriverInstallMs;
  // A SuperSpeed camera whose boot and update modes run at high speed comes back in them on the
  // connector's USB 2 port, which Windows numbers apart from its SuperSpeed port: another
  // location path.
  bool companionPortInBootModes = true;

  static constexpr std::uint32_t kMaxDriverInstallMs = 50000;
};

// The mode a device is in, as the bench's identity rules see it.
enum class DeviceMode { kNormal, kUpdateMode, kBootRom };

struct FaultPlan {
  FaultKind kind = FaultKind::kNone;
  int atTransfer = -1;
};

class VirtualDevice {
 public:
  virtual ~VirtualDevice() = default;

  // Identity in the current mode and the USB serial it reports in that mode (up to 126
  // characters; empty = none, then the OS makes up an instance ID with "&" in it). In an update
  // mode the camera's Unknowns decide which serial that is.
  virtual UsbId Id() const = 0;
  std::wstring Serial() const;
  // The serial the device reports running its firmware, whatever its mode.
  std::wstring OwnSerial() const;
  // The mode it is in now (normal unless a camera says otherwise).
  virtual DeviceMode BusMode() const { return DeviceMode::kNormal; }
  // The fixed serial every camera of its family reports in its update modes.
  virtual std::wstring FamilySerial() const { return L"VELTRA-UPDATE-MODE-0001"; }
  // Whether it sits on its connector's companion port now (see Unknowns).
  bool OnCompanionPort() const;
  // SPDRP_DEVICEDESC of the USB device, and the capture device's "FriendlyName".
  virtual std::wstring Description() const { return L"USB Device"; }
  virtual std::wstring FriendlyName() const { return Description(); }
  // Interfaces in the current mode. Every present device has its USB device interface.
  virtual bool HasVideoInterface() const { return false; }
  virtual bool HasHidInterface() const { return false; }

  // ---- transfers from the program (default: refused) ----
  // A control transfer on the default pipe (WinUSB). Data direction by bmRequestType bit 7.
  virtual bool OnControl(const SetupPacket& setup, std::uint8_t* data, std::uint32_t* transferred);
  // A request through the Cypress driver (already unwrapped from its envelope).
  virtual bool OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data);
  // An HID output report written through the camera library (flag 1 command, 0 data).
  virtual bool OnHidReport(const std::uint8_t* report, std::size_t length, int flag);

  // The device loses power and gets it back (a user unplugs it and plugs it in again), called
  // while it is off the bus: what it held in RAM and its protocol state are gone (a stuck or
  // error state clears, a program loaded into RAM is lost), what it wrote to its flash stays.
  // A re-enumeration the device does by itself (a mode switch, a reboot after a download) is
  // not a power cycle.
  virtual void PowerCycle() {}

  // ---- bench controls ----
  // Windows reports serials of up to 126 characters; longer ones are cut there.
  static constexpr std::size_t kMaxSerialChars = 126;
  void SetSerial(const std::wstring& serial);
  void SetUnknowns(const Unknowns& unknowns);
  Unknowns unknowns() const;
  void SetFault(const FaultPlan& plan);
  void SetStrictness(const Strictness& strictness);
  Strictness strictness() const;
  // Windows refuses this user a handle to the device (ERROR_ACCESS_DENIED), as it does for a
  // device whose security admits administrators only.
  void SetOpenRefused(bool refused) { openRefused_ = refused; }
  bool OpenRefused() const { return openRefused_; }
  // Counts one transfer and returns the fault that applies to it (kNone normally). Concrete
  // devices call it first thing in each On... handler. A time-out is handed to the device as a
  // failed transfer (it does nothing with it); the channel it came through charges the time
  // through TakeTimedOut.
  FaultKind NextTransferFault();
  int TransferCount() const;
  // True once after a transfer that the device left unanswered (a kTimeout fault): the USB
  // transport and the HID writes of the library charge their time-out on the program's clock.
  bool TakeTimedOut();

  Bus* bus() const { return bus_; }
  void AttachBus(Bus* bus) { bus_ = bus; }

 protected:
  mutable std::recursive_mutex mutex_;

 private:
  Bus* bus_ = nullptr;
  std::wstring serial_;
  Unknowns unknowns_;
  FaultPlan fault_;
  // Read by a device's protocol engine under its own lock, so kept out of the device lock: three
  // flags set from the test's thread and read on the program's threads.
  std::atomic<bool> openRefused_{false};
  std::atomic<bool> strictSetupFields_{true};
  std::atomic<bool> strictReportLengths_{true};
  std::atomic<bool> strictRecordFields_{true};
  int transfers_ = 0;
  bool timedOut_ = false;
};

}  // namespace veltra::sim

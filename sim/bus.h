// The virtual USB bus: which devices are present, where they sit (root-hub port and hub), the
// Windows-form strings the OS would report for them, and the arrival/removal events they raise.
//
// A device that re-enumerates in another mode calls Leave() and later Return(): the bus raises the
// removal events of its old identity and the arrival events of its new one (one for the USB device
// interface class, and one per HID top-level collection when the device has a HID interface).
//
// On the program's clock (SetClock) changes happen at set points: a device leaves at once, and
// comes back only once its re-enumeration time has passed on that clock; a scenario can plug and
// unplug devices at given clock times. Whoever moves the clock runs what fell due (RunDue).
// Without a clock every change happens at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/virtual_clock.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

enum class InterfaceClass { kHid, kUsbDevice };

struct BusEvent {
  bool arrival = true;
  InterfaceClass cls = InterfaceClass::kUsbDevice;
  UsbId id;
  std::wstring path;  // the interface's path, as the notification names it
};

class Bus {
 public:
  using Listener = std::function<void(const BusEvent&)>;

  // A camera restarting in another mode is re-enumerated by Windows: reset, descriptors, driver
  // load and the interfaces' registration. A composite camera takes a second or more; the bench
  // takes the slow end.
  static constexpr std::uint32_t kDefaultReenumerationMs = 1500;

  // Plugs a device in at the next free port (1, 2, ...) behind hub `hub` (0 = root-hub port).
  void Plug(const std::shared_ptr<VirtualDevice>& device, int hub = 1);
  void Unplug(VirtualDevice* device);

  // ---- the program's clock ----
  void SetClock(const VirtualClock* clock);
  // How long a returning device stays away (with a clock; 0: it comes back at once).
  void SetReenumerationMs(std::uint32_t ms);
  // A user plugs a device in / pulls it out at a time on the program's clock.
  void PlugAt(std::uint64_t atMs, const std::shared_ptr<VirtualDevice>& device, int hub = 1);
  void UnplugAt(std::uint64_t atMs, VirtualDevice* device);
  // Runs every change due by now, in the order of their times (then of their scheduling).
  void RunDue();
  // When the next scheduled change is due, if any.
  std::optional<std::uint64_t> NextDue() const;
  // Re-enumeration: the device drops off the bus / comes back with whatever Id() says now.
  void Leave(VirtualDevice* device);
  void Return(VirtualDevice* device);
  // The user unplugs a device (if it is still there) and plugs it back into the same port: it is
  // power-cycled while away, then arrives with whatever Id() says after the power cycle.
  void Replug(VirtualDevice* device);

  // Present devices in plug order.
  std::vector<std::shared_ptr<VirtualDevice>> Present() const;
  bool IsPresent(const VirtualDevice* device) const;

  // Windows-form strings for a present device (empty when it is not on the bus).
  std::wstring UsbInterfacePath(const VirtualDevice* device) const;  // USB device interface
  std::wstring CapturePath(const VirtualDevice* device) const;       // video capture (MI_00)
  std::wstring HidPath(const VirtualDevice* device) const;           // HID interface (MI_02)
  std::wstring HardwareId(const VirtualDevice* device) const;        // USB\VID_..&PID_..&REV_0100
  std::wstring LocationPath(const VirtualDevice* device) const;      // PCIROOT(0)#...#USB(p)#USB(h)
  std::wstring ParentInstanceId(const VirtualDevice* device) const;  // USB\VID_..&PID_..\serial

  // The device's generation: a number that changes each time it comes back on the bus (0 while
  // it is away), whatever its paths. The USB transport and the library keep handles opened
  // before a re-enumeration dead with it, as on Windows.
  unsigned Enumeration(const VirtualDevice* device) const;

  // Windows' identities (on by default): a device with a USB serial keeps its instance ID, and
  // with it its interface paths, on whatever port it returns; one without a serial keeps them on
  // the same port and gets new ones on another. Off: every return makes new interface paths.
  void SetWindowsIdentities(bool on);
  // How many HID top-level collections a device with a HID interface exposes: Windows raises one
  // HID arrival (and removal) per collection. 2 by default (the cameras' HID interface carries
  // the extension unit's command collection and a vendor collection); 1 for a test that needs a
  // single notification.
  void SetHidCollections(int collections);
  // Puts the USB host controller behind a PCI bridge: every location path gets the bridge's
  // element, PCIROOT(0)#PCI(1C04)#PCI(0000)#USBROOT(0)#..., as Windows writes it there. Off by
  // default.
  void SetBehindPciBridge(bool on);
  // Moves a device that is off the bus to another port behind `hub` (a user plugs it in
  // elsewhere); it comes back there with its next Return.
  void MoveToNextFreePort(VirtualDevice* device, int hub = 1);

  // A connector's SuperSpeed and USB 2 ports are numbered apart: on the bench the companion of
  // root port p is p + kCompanionPortOffset (and back). A device sits on its companion port
  // while VirtualDevice::OnCompanionPort says so. Empty for a path without a root port.
  static constexpr int kCompanionPortOffset = 16;
  static std::wstring CompanionLocationPath(const std::wstring& location);

  // Finds the present device one of whose interface paths equals path (ignoring letter case).
  VirtualDevice* FindByPath(const std::wstring& path) const;

  void AddListener(Listener listener);

 private:
  struct Slot {
    std::shared_ptr<VirtualDevice> device;
    int port = 0;
    int hub = 0;
    bool present = false;
    unsigned generation = 0;  // counts the device's arrivals: handles opened before go stale
    unsigned instance = 0;    // the OS's instance number behind the interface paths
    unsigned returning = 0;   // the scheduled return it waits for (0: none)
  };
  struct Scheduled {
    std::uint64_t due = 0;
    std::uint64_t order = 0;
    std::function<void()> change;
  };
  void Schedule(std::uint64_t due, std::function<void()> change);
  void ReturnNow(VirtualDevice* device, unsigned returning);
  const Slot* FindSlot(const VirtualDevice* device) const;
  void Raise(const VirtualDevice* device, bool arrival);
  std::wstring InstanceKey(const Slot& slot) const;
  unsigned InstanceOf(const Slot& slot);
  // The port the device is on now: its slot's, or the companion of it.
  static int PortOf(const Slot& slot);
  // VID:PID and serial (or, without one, the port): what Windows keys an instance ID on.
  std::wstring IdentityKey(const Slot& slot) const;
  // The serial Windows keys the device on (see SerialOf in bus.cpp).
  std::wstring SerialOf(const Slot& slot) const;
  bool KnownIdentity(const Slot& slot) const;
  int FreePort(int hub) const;

  mutable std::recursive_mutex mutex_;
  std::vector<Slot> slots_;
  std::vector<Listener> listeners_;
  unsigned nextInstance_ = 0x2A2B3C4D;
  unsigned nextGeneration_ = 1;
  bool windowsIdentities_ = true;
  int hidCollections_ = 2;
  bool behindPciBridge_ = false;
  const VirtualClock* clock_ = nullptr;
  std::uint32_t reenumerationMs_ = kDefaultReenumerationMs;
  std::vector<Scheduled> scheduled_;
  std::uint64_t nextOrder_ = 0;
  unsigned nextReturn_ = 1;
  std::mutex runMutex_;  // one thread runs due changes at a time, so they keep their order
  // Instance numbers Windows has handed out, by the device's identity and, without a serial, its
  // port: a device that returns as the same identity is given the same number again.
  std::vector<std::pair<std::wstring, unsigned>> instances_;
};

// Four upper-case hex digits.
std::wstring Hex4(std::uint16_t value);

}  // namespace veltra::sim

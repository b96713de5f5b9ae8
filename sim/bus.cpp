#include "sim/bus.h"

#include <algorithm>
#include <cwctype>

#include "core/text.h"

namespace veltra::sim {

std::wstring Hex4(std::uint16_t value) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out(4, L'0');
  for (int i = 3; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value = static_cast<std::uint16_t>(value >> 4);
  }
  return out;
}

namespace {
std::wstring Lower(std::wstring text) {
  for (auto& c : text) {
    c = static_cast<wchar_t>(std::towlower(c));
  }
  return text;
}
std::wstring HexN(unsigned value) {
  wchar_t buffer[16];
  FormatText(buffer, 16, L"%X", value);
  return buffer;
}
}  // namespace

int Bus::FreePort(int hub) const {
  int port = 1;
  for (const auto& slot : slots_) {
    if (slot.hub == hub && slot.port >= port) {
      port = slot.port + 1;
    }
  }
  return port;
}

int Bus::PortOf(const Slot& slot) {
  if (!slot.device->OnCompanionPort()) {
    return slot.port;
  }
  return slot.port > kCompanionPortOffset ? slot.port - kCompanionPortOffset
                                          : slot.port + kCompanionPortOffset;
}

std::wstring Bus::SerialOf(const Slot& slot) const {
  std::wstring serial = slot.device->Serial();
  if (serial.empty()) {
    return serial;
  }
  // Windows takes a serial that a device of the same IDs already on the bus carries for none:
  // the later one is known by its port, as a device without a serial is.
  const UsbId id = slot.device->Id();
  for (const auto& other : slots_) {
    if (&other != &slot && other.present && other.generation < slot.generation) {
      const UsbId otherId = other.device->Id();
      if (otherId.vid == id.vid && otherId.pid == id.pid && other.device->Serial() == serial) {
        return L"";
      }
    }
  }
  return serial;
}

std::wstring Bus::IdentityKey(const Slot& slot) const {
  const UsbId id = slot.device->Id();
  std::wstring key = Hex4(id.vid) + Hex4(id.pid) + L"\\";
  const std::wstring serial = SerialOf(slot);
  key += serial.empty()
             ? L"port " + std::to_wstring(slot.hub) + L"." + std::to_wstring(PortOf(slot))
             : serial;
  return key;
}

bool Bus::KnownIdentity(const Slot& slot) const {
  const std::wstring key = IdentityKey(slot);
  for (const auto& known : instances_) {
    if (known.first == key) {
      return true;
    }
  }
  return false;
}

unsigned Bus::InstanceOf(const Slot& slot) {
  if (!windowsIdentities_) {
    return nextInstance_++;
  }
  const std::wstring key = IdentityKey(slot);
  for (const auto& known : instances_) {
    if (known.first == key) {
      return known.second;
    }
  }
  instances_.emplace_back(key, nextInstance_++);
  return instances_.back().second;
}

void Bus::SetWindowsIdentities(bool on) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  windowsIdentities_ = on;
}

void Bus::SetBehindPciBridge(bool on) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  behindPciBridge_ = on;
}

void Bus::SetHidCollections(int collections) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  hidCollections_ = std::max(1, collections);
}

void Bus::MoveToNextFreePort(VirtualDevice* device, int hub) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const int port = FreePort(hub);
  for (auto& slot : slots_) {
    if (slot.device.get() == device && !slot.present) {
      slot.hub = hub;
      slot.port = port;
    }
  }
}

void Bus::Plug(const std::shared_ptr<VirtualDevice>& device, int hub) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    device->AttachBus(this);
    slots_.push_back(Slot{device, FreePort(hub), hub, true, nextGeneration_++, 0});
    slots_.back().instance = InstanceOf(slots_.back());
  }
  Raise(device.get(), true);
}

void Bus::Unplug(VirtualDevice* device) {
  Leave(device);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto it = slots_.begin(); it != slots_.end(); ++it) {
    if (it->device.get() == device) {
      slots_.erase(it);
      break;
    }
  }
}

void Bus::Leave(VirtualDevice* device) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const Slot* slot = FindSlot(device);
    if (slot == nullptr || !slot->present) {
      return;
    }
  }
  Raise(device, false);  // raised while the old identity is still visible
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& slot : slots_) {
    if (slot.device.get() == device) {
      slot.present = false;
    }
  }
}

void Bus::Return(VirtualDevice* device) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (clock_ != nullptr) {
      for (auto& slot : slots_) {
        if (slot.device.get() == device && !slot.present) {
          // Windows installs a driver for an identity it has not seen before.
          const std::uint32_t install =
              KnownIdentity(slot) ? 0 : device->unknowns().driverInstallMs;
          if (reenumerationMs_ + install == 0) {
            continue;
          }
          const unsigned returning = nextReturn_++;
          slot.returning = returning;
          Schedule(clock_->NowMs() + reenumerationMs_ + install,
                   [this, device, returning] { ReturnNow(device, returning); });
          return;
        }
      }
    }
  }
  ReturnNow(device, 0);
}

void Bus::ReturnNow(VirtualDevice* device, unsigned returning) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    bool found = false;
    for (auto& slot : slots_) {
      if (slot.device.get() == device && !slot.present && slot.returning == returning) {
        slot.returning = 0;
        slot.present = true;
        slot.generation = nextGeneration_++;
        slot.instance = InstanceOf(slot);
        found = true;
      }
    }
    if (!found) {
      return;
    }
  }
  Raise(device, true);
}

void Bus::SetClock(const VirtualClock* clock) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  clock_ = clock;
}

void Bus::SetReenumerationMs(std::uint32_t ms) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  reenumerationMs_ = ms;
}

void Bus::Schedule(std::uint64_t due, std::function<void()> change) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  scheduled_.push_back(Scheduled{due, nextOrder_++, std::move(change)});
}

void Bus::PlugAt(std::uint64_t atMs, const std::shared_ptr<VirtualDevice>& device, int hub) {
  Schedule(atMs, [this, device, hub] { Plug(device, hub); });
}

void Bus::UnplugAt(std::uint64_t atMs, VirtualDevice* device) {
  Schedule(atMs, [this, device] { Unplug(device); });
}

std::optional<std::uint64_t> Bus::NextDue() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::optional<std::uint64_t> next;
  for (const auto& entry : scheduled_) {
    if (!next || entry.due < *next) {
      next = entry.due;
    }
  }
  return next;
}

void Bus::RunDue() {
  // A change that moves the clock itself (none does today) would come back here on this thread.
  thread_local bool running = false;
  if (running || clock_ == nullptr) {
    return;
  }
  running = true;
  std::lock_guard<std::mutex> serial(runMutex_);
  // Each pass takes out the earliest due change; the schedule only shrinks here.
  for (;;) {
    std::function<void()> change;
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      const std::uint64_t now = clock_->NowMs();
      auto first = scheduled_.end();
      for (auto it = scheduled_.begin(); it != scheduled_.end(); ++it) {
        if (it->due <= now && (first == scheduled_.end() || it->due < first->due ||
                               (it->due == first->due && it->order < first->order))) {
          first = it;
        }
      }
      if (first == scheduled_.end()) {
        break;
      }
      change = std::move(first->change);
      scheduled_.erase(first);
    }
    change();
  }
  running = false;
}

void Bus::Replug(VirtualDevice* device) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (FindSlot(device) == nullptr) {
      return;
    }
  }
  Leave(device);
  device->PowerCycle();
  Return(device);
}

std::vector<std::shared_ptr<VirtualDevice>> Bus::Present() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::shared_ptr<VirtualDevice>> out;
  for (const auto& slot : slots_) {
    if (slot.present) {
      out.push_back(slot.device);
    }
  }
  return out;
}

bool Bus::IsPresent(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  return slot != nullptr && slot->present;
}

unsigned Bus::Enumeration(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  return slot != nullptr && slot->present ? slot->generation : 0;
}

const Bus::Slot* Bus::FindSlot(const VirtualDevice* device) const {
  for (const auto& slot : slots_) {
    if (slot.device.get() == device) {
      return &slot;
    }
  }
  return nullptr;
}

std::wstring Bus::InstanceKey(const Slot& slot) const {
  // The serial when the device has one; otherwise an instance ID the OS makes up (with "&").
  std::wstring serial = SerialOf(slot);
  if (!serial.empty()) {
    return serial;
  }
  return L"5&" + HexN(slot.instance) + L"&0&" + std::to_wstring(PortOf(slot));
}

std::wstring Bus::UsbInterfacePath(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  if (slot == nullptr || !slot->present) {
    return L"";
  }
  const UsbId id = device->Id();
  return Lower(L"\\\\?\\usb#vid_" + Hex4(id.vid) + L"&pid_" + Hex4(id.pid) + L"#" +
               InstanceKey(*slot)) +
         L"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

std::wstring Bus::CapturePath(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  if (slot == nullptr || !slot->present || !device->HasVideoInterface()) {
    return L"";
  }
  const UsbId id = device->Id();
  return Lower(L"\\\\?\\usb#vid_" + Hex4(id.vid) + L"&pid_" + Hex4(id.pid) + L"&mi_00#7&" +
               HexN(slot->instance) + L"&0&0000") +
         L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

std::wstring Bus::HidPath(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  if (slot == nullptr || !slot->present || !device->HasHidInterface()) {
    return L"";
  }
  const UsbId id = device->Id();
  return Lower(L"\\\\?\\hid#vid_" + Hex4(id.vid) + L"&pid_" + Hex4(id.pid) + L"&mi_02#8&" +
               HexN(slot->instance) + L"&0&0000") +
         L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

std::wstring Bus::HardwareId(const VirtualDevice* device) const {
  const UsbId id = device->Id();
  return L"USB\\VID_" + Hex4(id.vid) + L"&PID_" + Hex4(id.pid) + L"&REV_0100";
}

std::wstring Bus::LocationPath(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  if (slot == nullptr) {
    return L"";
  }
  std::wstring path = behindPciBridge_ ? L"PCIROOT(0)#PCI(1C04)#PCI(0000)#USBROOT(0)#USB("
                                       : L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(";
  path += std::to_wstring(PortOf(*slot)) + L")";
  if (slot->hub > 0) {
    path += L"#USB(" + std::to_wstring(slot->hub) + L")";
  }
  return path;
}

std::wstring Bus::ParentInstanceId(const VirtualDevice* device) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Slot* slot = FindSlot(device);
  if (slot == nullptr) {
    return L"";
  }
  const UsbId id = device->Id();
  return L"USB\\VID_" + Hex4(id.vid) + L"&PID_" + Hex4(id.pid) + L"\\" + InstanceKey(*slot);
}

std::wstring Bus::CompanionLocationPath(const std::wstring& location) {
  // The first port element after the root hub names the connector's port.
  const std::wstring root = L"USBROOT(0)#USB(";
  const std::size_t at = location.find(root);
  if (at == std::wstring::npos) {
    return L"";
  }
  const std::size_t digits = at + root.size();
  const std::size_t close = location.find(L')', digits);
  if (close == std::wstring::npos || close == digits) {
    return L"";
  }
  int port = 0;
  for (std::size_t i = digits; i < close; ++i) {
    if (location[i] < L'0' || location[i] > L'9') {
      return L"";
    }
    port = port * 10 + (location[i] - L'0');
  }
  const int companion =
      port > kCompanionPortOffset ? port - kCompanionPortOffset : port + kCompanionPortOffset;
  return location.substr(0, digits) + std::to_wstring(companion) + location.substr(close);
}

VirtualDevice* Bus::FindByPath(const std::wstring& path) const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (const auto& slot : slots_) {
    if (!slot.present) {
      continue;
    }
    VirtualDevice* device = slot.device.get();
    for (const auto& candidate : {UsbInterfacePath(device), CapturePath(device), HidPath(device)}) {
      if (!candidate.empty() && TextEqualsNoCase(candidate.c_str(), path.c_str())) {
        return device;
      }
    }
  }
  return nullptr;
}

void Bus::AddListener(Listener listener) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  listeners_.push_back(std::move(listener));
}

void Bus::Raise(const VirtualDevice* device, bool arrival) {
  std::vector<Listener> listeners;
  int collections = 1;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    listeners = listeners_;
    collections = hidCollections_;
  }
  const UsbId id = device->Id();
  const std::wstring usbPath = UsbInterfacePath(device);
  const std::wstring hidPath = device->HasHidInterface() ? HidPath(device) : L"";
  for (const auto& listener : listeners) {
    listener(BusEvent{arrival, InterfaceClass::kUsbDevice, id, usbPath});
    for (int i = 0; i < collections && device->HasHidInterface(); ++i) {
      listener(BusEvent{arrival, InterfaceClass::kHid, id, hidPath});
    }
  }
}

}  // namespace veltra::sim

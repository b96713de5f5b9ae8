#include "sim/sim_discovery.h"

#include <algorithm>

#include "core/text.h"

namespace veltra::sim {

namespace {

constexpr const wchar_t* kCaptureClassGuid = L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
constexpr const wchar_t* kVideoClassGuid = L"{6994ad05-93ef-11d0-a3cc-00a0c9223196}";
// CoCreateInstance when the class is not registered.
constexpr std::int32_t kRegdbEClassNotReg = static_cast<std::int32_t>(0x80040154u);

// The second hardware ID and location path Windows lists after the ones the program reads.
std::wstring WithoutRevision(const std::wstring& hardwareId) {
  const auto rev = hardwareId.find(L"&REV_");
  return rev == std::wstring::npos ? hardwareId : hardwareId.substr(0, rev);
}
constexpr const wchar_t* kAcpiLocation = L"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)";

// Writes strings the way SetupAPI returns a registry value: a multi-string is each string ended
// by 0 and the list by one more 0; a single string is one string and its 0. Empty: no value.
SetupCall WriteValue(const std::vector<std::wstring>& strings, bool multi, wchar_t* buffer,
                     std::uint32_t bufferChars) {
  std::wstring value;
  for (const auto& s : strings) {
    if (s.empty()) {
      continue;
    }
    value += s;
    value.push_back(L'\0');
    if (!multi) {
      break;
    }
  }
  if (value.empty()) {
    return SetupCall{false, kErrorInvalidData, 0};
  }
  if (multi) {
    value.push_back(L'\0');
  }
  const auto needed = static_cast<std::uint32_t>(value.size());
  if (buffer == nullptr || bufferChars < needed) {
    return SetupCall{false, kErrorInsufficientBuffer, needed};
  }
  std::copy(value.begin(), value.end(), buffer);
  return SetupCall{true, 0, needed};
}

SetupCall WritePath(const std::wstring& path, bool readable, wchar_t* buffer,
                    std::uint32_t bufferChars) {
  const auto needed = static_cast<std::uint32_t>(path.size() + 1);
  if (buffer == nullptr || bufferChars < needed) {
    return SetupCall{false, kErrorInsufficientBuffer, needed};
  }
  if (!readable) {
    return SetupCall{false, kErrorInvalidData, 0};
  }
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = L'\0';
  return SetupCall{true, 0, needed};
}

}  // namespace

// ---- events ------------------------------------------------------------------------------------

// Shared with the bus listener, which may outlive the SimDiscovery (the bus keeps its listeners).
struct SimDiscovery::EventSink {
  std::mutex queueMutex;
  std::vector<DeviceChange> queue;
  std::recursive_mutex listenerMutex;  // held while a listener runs, so detaching waits for it
  ChangeListener listener;
  bool attached = true;

  void Deliver(const DeviceChange& change) {
    {
      std::lock_guard<std::recursive_mutex> lock(listenerMutex);
      if (!attached) {
        return;
      }
      if (listener) {
        listener(change);
        return;
      }
    }
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.push_back(change);
  }
};

// ---- the capture walk --------------------------------------------------------------------------

class SimDiscovery::Walk : public CaptureDeviceWalk {
 public:
  Walk(SimDiscovery& owner, std::shared_ptr<std::atomic<int>> counter)
      : owner_(owner), counter_(std::move(counter)) {
    ++*counter_;
  }
  ~Walk() override { --*counter_; }

  std::int32_t CreateClassEnumerator() override {
    entries_ = owner_.CaptureEntries();
    std::int32_t forced = kSOk;
    {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      forced = owner_.classEnumResult_;
      failBindAt_ = owner_.failBindAt_;
    }
    if (forced != kSOk) {
      return forced;
    }
    enumerated_ = !entries_.empty();
    return enumerated_ ? kSOk : kSFalse;
  }
  void Reset() override {
    next_ = 0;
    current_ = -1;
    bound_ = false;
  }
  bool NextMoniker() override {
    ReleaseMoniker();
    if (!enumerated_ || next_ >= entries_.size()) {
      return false;
    }
    current_ = static_cast<int>(next_++);
    return true;
  }
  std::int32_t BindPropertyBag() override {
    if (current_ < 0) {
      return kEFail;
    }
    if (current_ == failBindAt_) {
      return kEFail;
    }
    bound_ = true;
    return kSOk;
  }
  bool ReadProperty(const wchar_t* name, std::wstring* value) override {
    if (!bound_ || value == nullptr || name == nullptr) {
      return false;
    }
    const CaptureEntry& entry = entries_[static_cast<std::size_t>(current_)];
    const std::wstring property(name);
    if (property == L"DevicePath" && entry.pathReadable) {
      *value = entry.devicePath;
      return true;
    }
    if (property == L"FriendlyName" && entry.nameReadable) {
      *value = entry.friendlyName;
      return true;
    }
    return false;
  }
  void ReleaseMoniker() override {
    current_ = -1;
    bound_ = false;
  }

 private:
  SimDiscovery& owner_;
  std::shared_ptr<std::atomic<int>> counter_;
  std::vector<CaptureEntry> entries_;
  bool enumerated_ = false;
  std::size_t next_ = 0;
  int current_ = -1;
  bool bound_ = false;
  int failBindAt_ = -1;
};

// ---- device information sets -------------------------------------------------------------------

class SimDiscovery::InterfaceSet : public DeviceInterfaceSet {
 public:
  InterfaceSet(SimDiscovery& owner, InterfaceSetClass cls,
               std::shared_ptr<std::atomic<int>> counter)
      : cls_(cls), counter_(std::move(counter)) {
    ++*counter_;
    if (cls == InterfaceSetClass::kUsbDevice) {
      usb_ = owner.UsbEntries();
    } else {
      video_ = owner.VideoInterfaceEntries();
    }
  }
  ~InterfaceSet() override { --*counter_; }

  bool EnumInterface(std::uint32_t index) override {
    if (index >= Count()) {
      return false;
    }
    interface_ = static_cast<int>(index);
    return true;
  }
  bool EnumDeviceInfo(std::uint32_t index) override {
    // As the Windows adapter clears its device data before the call, a failed call leaves no
    // device current.
    device_ = -1;
    if (index >= DeviceCount()) {
      return false;
    }
    device_ = static_cast<int>(index);
    return true;
  }
  SetupCall GetRegistryProperty(std::uint32_t property, wchar_t* buffer,
                                std::uint32_t bufferChars) override {
    if (device_ < 0) {
      return SetupCall{false, kErrorNoMoreItems, 0};
    }
    if (cls_ != InterfaceSetClass::kUsbDevice) {
      return SetupCall{false, kErrorInvalidData, 0};
    }
    const UsbEntry& entry = usb_[static_cast<std::size_t>(device_)];
    switch (property) {
      case kSpdrpHardwareId:
        return WriteValue(entry.hardwareIds, true, buffer, bufferChars);
      case kSpdrpLocationPaths:
        return WriteValue(entry.locationPaths, true, buffer, bufferChars);
      case kSpdrpDeviceDesc:
        return WriteValue({entry.description}, false, buffer, bufferChars);
      default:
        return SetupCall{false, kErrorInvalidData, 0};
    }
  }
  SetupCall GetInterfaceDetail(wchar_t* buffer, std::uint32_t bufferChars) override {
    if (interface_ < 0) {
      return SetupCall{false, kErrorNoMoreItems, 0};
    }
    const auto i = static_cast<std::size_t>(interface_);
    if (cls_ == InterfaceSetClass::kUsbDevice) {
      return WritePath(usb_[i].interfacePath, usb_[i].detailReadable, buffer, bufferChars);
    }
    const SetupCall call =
        WritePath(video_[i].interfacePath, video_[i].detailReadable, buffer, bufferChars);
    if (call.ok && buffer != nullptr) {
      device_ = OwnerOf(i);  // the device data SetupAPI returns with the detail
    }
    return call;
  }
  bool GetParentInstanceId(wchar_t* buffer, std::uint32_t bufferChars) override {
    if (cls_ != InterfaceSetClass::kVideo || device_ < 0 || buffer == nullptr || bufferChars == 0) {
      return false;
    }
    const VideoInterfaceEntry& entry = video_[DeviceEntry(static_cast<std::size_t>(device_))];
    if (!entry.parentReadable || entry.parentInstanceId.empty()) {
      return false;
    }
    const std::size_t n = std::min<std::size_t>(entry.parentInstanceId.size(), bufferChars - 1);
    std::copy_n(entry.parentInstanceId.begin(), n, buffer);
    buffer[n] = L'\0';
    return true;
  }

 private:
  std::uint32_t Count() const {
    return static_cast<std::uint32_t>(cls_ == InterfaceSetClass::kUsbDevice ? usb_.size()
                                                                            : video_.size());
  }
  // The video-class set lists each device once, however many interfaces it exposes: an entry
  // starts a device unless an earlier entry has its parent instance ID.
  bool StartsDevice(std::size_t i) const {
    for (std::size_t j = 0; j < i; ++j) {
      if (!video_[i].parentInstanceId.empty() &&
          video_[j].parentInstanceId == video_[i].parentInstanceId) {
        return false;
      }
    }
    return true;
  }
  std::uint32_t DeviceCount() const {
    if (cls_ == InterfaceSetClass::kUsbDevice) {
      return Count();
    }
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < video_.size(); ++i) {
      n += StartsDevice(i) ? 1 : 0;
    }
    return n;
  }
  // The entry that describes device k, and the device that owns interface i.
  std::size_t DeviceEntry(std::size_t k) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < video_.size(); ++i) {
      if (StartsDevice(i) && n++ == k) {
        return i;
      }
    }
    return 0;
  }
  int OwnerOf(std::size_t i) const {
    int device = -1;
    for (std::size_t j = 0; j < video_.size(); ++j) {
      if (StartsDevice(j)) {
        ++device;
      }
      if (!video_[i].parentInstanceId.empty() &&
          video_[j].parentInstanceId == video_[i].parentInstanceId) {
        return device;
      }
      if (j == i) {
        return device;
      }
    }
    return device;
  }

  InterfaceSetClass cls_;
  std::shared_ptr<std::atomic<int>> counter_;
  std::vector<UsbEntry> usb_;
  std::vector<VideoInterfaceEntry> video_;
  int interface_ = -1;
  int device_ = -1;
};

// ---- SimDiscovery ------------------------------------------------------------------------------

SimDiscovery::SimDiscovery(Bus& bus)
    : bus_(bus),
      sink_(std::make_shared<EventSink>()),
      openObjects_(std::make_shared<std::atomic<int>>(0)) {
  std::shared_ptr<EventSink> sink = sink_;
  bus_.AddListener([sink](const BusEvent& event) {
    DeviceChange change;
    change.event = event.arrival ? kDbtDeviceArrival : kDbtDeviceRemoveComplete;
    change.deviceType = kDbtDevtypDeviceInterface;
    change.cls = event.cls == InterfaceClass::kHid ? DeviceInterfaceClass::kHid
                                                   : DeviceInterfaceClass::kUsbDevice;
    change.path = event.path;
    sink->Deliver(change);
  });
}

SimDiscovery::~SimDiscovery() {
  std::lock_guard<std::recursive_mutex> lock(sink_->listenerMutex);
  sink_->attached = false;
  sink_->listener = nullptr;
}

std::int32_t SimDiscovery::CreateSystemDeviceEnum(std::unique_ptr<CaptureDeviceWalk>* walk) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failSystemEnum_) {
      return kRegdbEClassNotReg;
    }
  }
  if (walk == nullptr) {
    return kEFail;
  }
  *walk = std::make_unique<Walk>(*this, openObjects_);
  return kSOk;
}

std::unique_ptr<DeviceInterfaceSet> SimDiscovery::OpenInterfaceSet(InterfaceSetClass cls) {
  return std::make_unique<InterfaceSet>(*this, cls, openObjects_);
}

bool SimDiscovery::DevicePropertyAvailable() {
  std::lock_guard<std::mutex> lock(mutex_);
  return propertyAvailable_;
}

OsVersion SimDiscovery::ReadOsVersion() {
  std::lock_guard<std::mutex> lock(mutex_);
  return version_;
}

void SimDiscovery::SetChangeListener(const ChangeListener& listener) {
  std::lock_guard<std::recursive_mutex> lock(sink_->listenerMutex);
  sink_->listener = listener;
}

std::vector<DeviceChange> SimDiscovery::TakeEvents() {
  std::lock_guard<std::mutex> lock(sink_->queueMutex);
  std::vector<DeviceChange> out;
  out.swap(sink_->queue);
  return out;
}

void SimDiscovery::SetOsVersion(std::uint32_t major, std::uint32_t minor) {
  std::lock_guard<std::mutex> lock(mutex_);
  version_ = OsVersion{true, major, minor};
}

void SimDiscovery::SetDevicePropertyAvailable(bool available) {
  std::lock_guard<std::mutex> lock(mutex_);
  propertyAvailable_ = available;
}

void SimDiscovery::FailSystemDeviceEnum(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failSystemEnum_ = fail;
}

void SimDiscovery::SetClassEnumeratorResult(std::int32_t hr) {
  std::lock_guard<std::mutex> lock(mutex_);
  classEnumResult_ = hr;
}

void SimDiscovery::FailBindAtMoniker(int index) {
  std::lock_guard<std::mutex> lock(mutex_);
  failBindAt_ = index;
}

void SimDiscovery::FailFriendlyName(const VirtualDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  badName_.insert(device);
}

void SimDiscovery::FailDevicePath(const VirtualDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  badPath_.insert(device);
}

void SimDiscovery::FailInterfaceDetail(const VirtualDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  badDetail_.insert(device);
}

void SimDiscovery::FailParentProperty(const VirtualDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  badParent_.insert(device);
}

void SimDiscovery::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  failSystemEnum_ = false;
  classEnumResult_ = kSOk;
  failBindAt_ = -1;
  badName_.clear();
  badPath_.clear();
  badDetail_.clear();
  badParent_.clear();
}

void SimDiscovery::AddCaptureEntry(const CaptureEntry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  addedCapture_.push_back(entry);
}

void SimDiscovery::AddUsbEntry(const UsbEntry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  addedUsb_.push_back(entry);
}

void SimDiscovery::AddVideoInterfaceEntry(const VideoInterfaceEntry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  addedVideo_.push_back(entry);
}

void SimDiscovery::ClearAddedEntries() {
  std::lock_guard<std::mutex> lock(mutex_);
  addedCapture_.clear();
  addedUsb_.clear();
  addedVideo_.clear();
}

std::vector<SimDiscovery::CaptureEntry> SimDiscovery::CaptureEntries() const {
  std::vector<CaptureEntry> out;
  const auto present = bus_.Present();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& device : present) {
    const std::wstring path = bus_.CapturePath(device.get());
    if (path.empty()) {
      continue;  // no video interface, or gone since Present()
    }
    CaptureEntry entry;
    entry.devicePath = path;
    entry.friendlyName = device->FriendlyName();
    entry.pathReadable = badPath_.count(device.get()) == 0;
    entry.nameReadable = badName_.count(device.get()) == 0;
    out.push_back(entry);
  }
  out.insert(out.end(), addedCapture_.begin(), addedCapture_.end());
  return out;
}

std::vector<SimDiscovery::UsbEntry> SimDiscovery::UsbEntries() const {
  std::vector<UsbEntry> out;
  const auto present = bus_.Present();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& device : present) {
    UsbEntry entry;
    entry.interfacePath = bus_.UsbInterfacePath(device.get());
    if (entry.interfacePath.empty()) {
      continue;
    }
    const std::wstring hardwareId = bus_.HardwareId(device.get());
    entry.hardwareIds = {hardwareId, WithoutRevision(hardwareId)};
    entry.locationPaths = {bus_.LocationPath(device.get()), kAcpiLocation};
    entry.description = device->Description();
    entry.detailReadable = badDetail_.count(device.get()) == 0;
    out.push_back(entry);
  }
  out.insert(out.end(), addedUsb_.begin(), addedUsb_.end());
  return out;
}

std::vector<SimDiscovery::VideoInterfaceEntry> SimDiscovery::VideoInterfaceEntries() const {
  std::vector<VideoInterfaceEntry> out;
  const auto present = bus_.Present();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& device : present) {
    const std::wstring capture = bus_.CapturePath(device.get());
    if (capture.empty()) {
      continue;
    }
    VideoInterfaceEntry entry;
    entry.interfacePath = VideoInterfacePath(capture);
    entry.parentInstanceId = bus_.ParentInstanceId(device.get());
    entry.detailReadable = badDetail_.count(device.get()) == 0;
    entry.parentReadable = badParent_.count(device.get()) == 0;
    out.push_back(entry);
    if (twoVideo_.count(device.get()) != 0) {
      VideoInterfaceEntry second = entry;
      const auto mi = second.interfacePath.find(L"&mi_00#");
      if (mi != std::wstring::npos) {
        second.interfacePath.replace(mi, 7, L"&mi_01#");
      }
      out.push_back(second);
    }
  }
  out.insert(out.end(), addedVideo_.begin(), addedVideo_.end());
  return out;
}

void SimDiscovery::SetTwoVideoInterfaces(const VirtualDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  twoVideo_.insert(device);
}

int SimDiscovery::OpenObjects() const {
  return openObjects_->load();
}

std::wstring SimDiscovery::VideoInterfacePath(const std::wstring& capturePath) {
  std::wstring path = capturePath;
  const std::wstring from(kCaptureClassGuid);
  const auto at = path.find(from);
  if (at != std::wstring::npos) {
    path.replace(at, from.size(), kVideoClassGuid);
  }
  return path;
}

bool SimDiscovery::CompanionLocationPath(const wchar_t* location, wchar_t* companion,
                                         std::uint32_t chars) {
  if (location == nullptr || companion == nullptr || chars == 0) {
    return false;
  }
  const std::wstring other = Bus::CompanionLocationPath(location);
  if (other.empty()) {
    return false;
  }
  CopyText(companion, chars, other.c_str());
  return true;
}

}  // namespace veltra::sim

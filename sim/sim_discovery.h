// The bench's DeviceDiscovery port: the OS's view of the devices on the virtual bus.
//
// - Video capture devices: one per present device with a video interface, in plug order, with the
//   capture path and the device's FriendlyName.
// - Present USB devices: every present device, with its hardware IDs, location paths, device
//   description and USB device interface path.
// - Video interfaces (KSCATEGORY_VIDEO): one per capture device, on the same instance key
//   (…&mi_00#7&…), with the parent instance ID of the USB device that carries it.
// - The OS version (10.0 unless told otherwise) and whether the device-property function exists.
// - Arrival/removal events: every bus event becomes a DeviceChange record for its interface class.
//
// Each walk takes a snapshot when it is opened, as the OS does; entries added with the Add...
// calls follow the bus devices. Fault knobs make single reads fail so that the passes' failure
// handling runs for real.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/device_discovery.h"
#include "sim/bus.h"

namespace veltra::sim {

class SimDiscovery : public DeviceDiscovery {
 public:
  // A capture device as the system device enumerator lists it.
  struct CaptureEntry {
    std::wstring devicePath;
    std::wstring friendlyName;
    bool pathReadable = true;
    bool nameReadable = true;
  };
  // A present USB device as SetupAPI lists it (an empty property is reported as missing).
  struct UsbEntry {
    std::vector<std::wstring> hardwareIds;
    std::vector<std::wstring> locationPaths;
    std::wstring description;
    std::wstring interfacePath;
    bool detailReadable = true;
  };
  // A present video interface.
  struct VideoInterfaceEntry {
    std::wstring interfacePath;
    // Interfaces of one device carry the same parent instance ID; the set lists that device once.
    std::wstring parentInstanceId;
    bool detailReadable = true;
    bool parentReadable = true;
  };

  explicit SimDiscovery(Bus& bus);
  ~SimDiscovery() override;
  SimDiscovery(const SimDiscovery&) = delete;
  SimDiscovery& operator=(const SimDiscovery&) = delete;

  // ---- DeviceDiscovery ----
  std::int32_t CreateSystemDeviceEnum(std::unique_ptr<CaptureDeviceWalk>* walk) override;
  std::unique_ptr<DeviceInterfaceSet> OpenInterfaceSet(InterfaceSetClass cls) override;
  bool CompanionLocationPath(const wchar_t* location, wchar_t* companion,
                             std::uint32_t chars) override;
  bool DevicePropertyAvailable() override;
  OsVersion ReadOsVersion() override;
  // With a listener set, every event goes to it (on the thread that changed the bus) instead of
  // the queue; without one, events wait in the queue for TakeEvents.
  void SetChangeListener(const ChangeListener& listener) override;

  // ---- events ----
  std::vector<DeviceChange> TakeEvents();

  // ---- bench controls ----
  void SetOsVersion(std::uint32_t major, std::uint32_t minor);
  void SetDevicePropertyAvailable(bool available);
  // CoCreateInstance of the system device enumerator fails (class not registered).
  void FailSystemDeviceEnum(bool fail);
  // Forces the class enumerator's result (kSOk: the normal rule, S_FALSE when the category is
  // empty).
  void SetClassEnumeratorResult(std::int32_t hr);
  // BindToStorage fails for the moniker at this 0-based position of every walk (-1: never).
  void FailBindAtMoniker(int index);
  // Per-device read failures (the device stays on the bus).
  void FailFriendlyName(const VirtualDevice* device);
  void FailDevicePath(const VirtualDevice* device);
  void FailInterfaceDetail(const VirtualDevice* device);  // USB-device and video walks alike
  void FailParentProperty(const VirtualDevice* device);
  void ClearFaults();

  // Entries no bus device produces (odd or over-long strings for the parsers).
  void AddCaptureEntry(const CaptureEntry& entry);
  void AddUsbEntry(const UsbEntry& entry);
  void AddVideoInterfaceEntry(const VideoInterfaceEntry& entry);
  // The device exposes a second video interface (MI_01): the video-class set then lists more
  // interfaces than devices, so an interface index is not a device index.
  void SetTwoVideoInterfaces(const VirtualDevice* device);
  void ClearAddedEntries();

  // The snapshots a walk opened now would see.
  std::vector<CaptureEntry> CaptureEntries() const;
  std::vector<UsbEntry> UsbEntries() const;
  std::vector<VideoInterfaceEntry> VideoInterfaceEntries() const;

  // Walks and sets opened and not yet destroyed (a pass must release what it opened).
  int OpenObjects() const;

  // The KSCATEGORY_VIDEO interface path of a capture path (same instance key, video class).
  static std::wstring VideoInterfacePath(const std::wstring& capturePath);

 private:
  struct EventSink;
  class Walk;
  class InterfaceSet;

  Bus& bus_;
  mutable std::mutex mutex_;
  std::shared_ptr<EventSink> sink_;
  std::shared_ptr<std::atomic<int>> openObjects_;
  OsVersion version_{true, 10, 0};
  bool propertyAvailable_ = true;
  bool failSystemEnum_ = false;
  std::int32_t classEnumResult_ = kSOk;
  int failBindAt_ = -1;
  std::set<const VirtualDevice*> badName_;
  std::set<const VirtualDevice*> badPath_;
  std::set<const VirtualDevice*> badDetail_;
  std::set<const VirtualDevice*> badParent_;
  std::set<const VirtualDevice*> twoVideo_;
  std::vector<CaptureEntry> addedCapture_;
  std::vector<UsbEntry> addedUsb_;
  std::vector<VideoInterfaceEntry> addedVideo_;
};

}  // namespace veltra::sim

// Device-discovery port: the OS's lists of video capture devices, present USB devices and video
// interfaces, the OS version, and the arrival/removal events by interface class.
//
// The enumerations are handed to the logic one OS call at a time (the discovery passes in
// src/devices own the order of the calls, their traces and what each failure means); the adapters
// only make the call and report its outcome. Texts cross the port as wide strings; sizes are in
// wide characters, not bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/types.h"

namespace veltra {

// WM_DEVICECHANGE events and the broadcast device type the program looks at.
constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr std::uint32_t kDbtDevtypDeviceInterface = 5;

enum class DeviceInterfaceClass { kHid, kUsbDevice, kOther };

// One WM_DEVICECHANGE notification as the logic sees it (event = wParam; the broadcast header's
// device type and, for device-interface broadcasts, the interface class GUID).
struct DeviceChange {
  std::uint32_t event = 0;
  std::uint32_t deviceType = 0;
  DeviceInterfaceClass cls = DeviceInterfaceClass::kOther;
  // The interface's path as the notification names it (dbcc_name); empty when it names none.
  std::wstring path;
};

// COM results the capture walk distinguishes (HRESULT values).
constexpr std::int32_t kSOk = 0;
constexpr std::int32_t kSFalse = 1;
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
inline bool HrFailed(std::int32_t hr) {
  return hr < 0;
}

// SetupDiGetDeviceRegistryPropertyW properties the passes read.
constexpr std::uint32_t kSpdrpDeviceDesc = 0x00;
constexpr std::uint32_t kSpdrpHardwareId = 0x01;
constexpr std::uint32_t kSpdrpLocationPaths = 0x23;

// Last-error codes the adapters report (the Win32 values).
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorInvalidData = 13;
constexpr std::uint32_t kErrorNoMoreItems = 259;

// One walk over the video input category of the DirectShow system device enumerator. The walk
// owns every COM object it holds; destroying it releases them (property bag, moniker, moniker
// enumerator, device enumerator).
class CaptureDeviceWalk {
 public:
  virtual ~CaptureDeviceWalk() = default;

  // ICreateDevEnum::CreateClassEnumerator(CLSID_VideoInputDeviceCategory, flags 0): kSOk, kSFalse
  // (empty category) or a failure HRESULT. Only after kSOk may the moniker calls follow.
  virtual std::int32_t CreateClassEnumerator() = 0;
  // IEnumMoniker::Reset.
  virtual void Reset() = 0;
  // IEnumMoniker::Next(1): true when a moniker was returned (S_OK). Any moniker and property bag
  // still held from the previous step are released first.
  virtual bool NextMoniker() = 0;
  // IMoniker::BindToStorage(no bind context, no left moniker, IID_IPropertyBag) on the current
  // moniker: the HRESULT.
  virtual std::int32_t BindPropertyBag() = 0;
  // IPropertyBag::Read(name) into a VT_BSTR variant with no error log. The string is copied out
  // (whole) and freed. False when the read fails or no bag is bound.
  virtual bool ReadProperty(const wchar_t* name, std::wstring* value) = 0;
  // Releases the current property bag and moniker.
  virtual void ReleaseMoniker() = 0;
};

// The result of one SetupAPI call: its success, the last-error code it left (0 on success) and,
// for size queries, the size it asked for in wide characters.
struct SetupCall {
  bool ok = false;
  std::uint32_t lastError = 0;
  std::uint32_t requiredChars = 0;
};

// Which device-interface class a device information set is opened for
// (SetupDiGetClassDevsW with DIGCF_PRESENT | DIGCF_DEVICEINTERFACE).
enum class InterfaceSetClass {
  kUsbDevice,  // GUID_DEVINTERFACE_USB_DEVICE
  kVideo,      // KSCATEGORY_VIDEO
};

// A device information set of present interfaces. It holds the "current" interface data and
// device data that the enumeration calls fill, as SetupAPI's callers do; destroying it is
// SetupDiDestroyDeviceInfoList.
class DeviceInterfaceSet {
 public:
  virtual ~DeviceInterfaceSet() = default;

  // SetupDiEnumDeviceInterfaces(set, no device data, the set's class, index): makes that
  // interface current. False when there is no interface at that index.
  virtual bool EnumInterface(std::uint32_t index) = 0;
  // SetupDiEnumDeviceInfo(set, index): makes that device current.
  virtual bool EnumDeviceInfo(std::uint32_t index) = 0;
  // SetupDiGetDeviceRegistryPropertyW on the current device. With buffer == nullptr it is the
  // size query (fails with kErrorInsufficientBuffer and the size in requiredChars). Multi-string
  // properties are written as the OS stores them (strings ended by 0, the list by one more 0);
  // nothing is written past bufferChars, and a value that does not fit fails the call.
  virtual SetupCall GetRegistryProperty(std::uint32_t property, wchar_t* buffer,
                                        std::uint32_t bufferChars) = 0;
  // SetupDiGetDeviceInterfaceDetailW on the current interface: the interface's device path. With
  // buffer == nullptr it is the size query (requiredChars counts the terminator). A read writes
  // the path, terminated, and fails when it does not fit; a successful read also makes the
  // device that owns the interface current (the device data SetupAPI returns with the detail),
  // which need not be the device at the interface's index.
  virtual SetupCall GetInterfaceDetail(wchar_t* buffer, std::uint32_t bufferChars) = 0;
  // SetupDiGetDevicePropertyW(DEVPKEY_Device_Parent) on the current device: the parent's instance
  // ID, terminated and cut to bufferChars. False when the read fails or when the function is
  // missing on this system (see DeviceDiscovery::DevicePropertyAvailable).
  virtual bool GetParentInstanceId(wchar_t* buffer, std::uint32_t bufferChars) = 0;
};

// GetVersionExW: the system's major and minor version.
struct OsVersion {
  bool ok = false;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

class DeviceDiscovery {
 public:
  using ChangeListener = std::function<void(const DeviceChange&)>;

  virtual ~DeviceDiscovery() = default;

  // CoCreateInstance(CLSID_SystemDeviceEnum, no aggregation, CLSCTX_INPROC_SERVER,
  // IID_ICreateDevEnum): the HRESULT; *walk is set on success and left empty otherwise.
  virtual std::int32_t CreateSystemDeviceEnum(std::unique_ptr<CaptureDeviceWalk>* walk) = 0;

  // SetupDiGetClassDevsW(class, no enumerator, no window, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE).
  // Empty when the set cannot be opened.
  virtual std::unique_ptr<DeviceInterfaceSet> OpenInterfaceSet(InterfaceSetClass cls) = 0;

  // The location path of the other port of the same connector: a USB 3 connector has a
  // SuperSpeed port and a USB 2 companion port, which Windows numbers apart, so a SuperSpeed
  // device whose boot mode runs at high speed comes back under the companion's path. Written
  // terminated into companion (cut to chars); false when the port has no known companion.
  virtual bool CompanionLocationPath(const wchar_t* location, wchar_t* companion,
                                     std::uint32_t chars) {
    (void)location;
    (void)companion;
    (void)chars;
    return false;
  }

  // Whether SetupDiGetDevicePropertyW was found at start-up (looked up by name in the loaded
  // SetupAPI module; systems before version 6 lack it).
  virtual bool DevicePropertyAvailable() = 0;

  virtual OsVersion ReadOsVersion() = 0;

  // Where arrival and removal events do not come as WM_DEVICECHANGE to the dialog's window (the
  // bench), the adapter reports them here, from whatever thread raised them. The Windows adapter
  // never calls it: the dialog registers for notifications itself.
  virtual void SetChangeListener(const ChangeListener& listener) { (void)listener; }
};

}  // namespace veltra

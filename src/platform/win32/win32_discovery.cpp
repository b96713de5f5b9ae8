#include "platform/win32/win32_discovery.h"

#include "platform/win32/win32_windows.h"
// COM, DirectShow and SetupAPI need the Windows types declared first.
#include <objbase.h>
#include <oleauto.h>
#include <setupapi.h>
#include <strmif.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace veltra {

namespace {

// The class and interface IDs, written out here so that the build needs no GUID library of
// DirectShow or the kernel-streaming headers.
constexpr GUID kClsidSystemDeviceEnum = {
    0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr GUID kIidICreateDevEnum = {
    0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr GUID kClsidVideoInputDeviceCategory = {
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr GUID kIidIPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr GUID kGuidDevinterfaceUsbDevice = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr GUID kKsCategoryVideo = {
    0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// DEVPKEY_Device_Parent.
const DEVPROPKEY kDevpkeyDeviceParent = {
    {0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 8};

constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
static_assert(kPresentInterfaces == 0x12, "present device interfaces");
static_assert(kSpdrpHardwareId == SPDRP_HARDWAREID && kSpdrpLocationPaths == SPDRP_LOCATION_PATHS &&
                  kSpdrpDeviceDesc == SPDRP_DEVICEDESC,
              "registry properties");
static_assert(kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER, "last-error code");
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW");
#if defined(__i386__)
// The detail header SetupAPI checks on 32-bit Windows.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "detail header");
#endif
static_assert(sizeof(WCHAR) == sizeof(wchar_t), "UTF-16 wide characters");

// The parent instance ID is read into 520 bytes.
constexpr DWORD kParentIdChars = 260;

using GetDevicePropertyFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const DEVPROPKEY*,
                                          DEVPROPTYPE*, PBYTE, DWORD, PDWORD, DWORD);

// Owns one COM interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For the out-parameter of a call: releases what was held first.
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  void Reset() {
    if (p_ != nullptr) {
      p_->Release();
      p_ = nullptr;
    }
  }

 private:
  T* p_ = nullptr;
};

// A VT_BSTR variant whose string is freed with SysFreeString however the caller leaves.
class BstrVariant {
 public:
  BstrVariant() {
    ::VariantInit(&value_);
    value_.vt = VT_BSTR;
    value_.bstrVal = nullptr;
  }
  ~BstrVariant() {
    if (value_.vt == VT_BSTR && value_.bstrVal != nullptr) {
      ::SysFreeString(value_.bstrVal);
    } else if (value_.vt != VT_BSTR) {
      ::VariantClear(&value_);
    }
  }
  BstrVariant(const BstrVariant&) = delete;
  BstrVariant& operator=(const BstrVariant&) = delete;

  VARIANT* Get() { return &value_; }
  bool HoldsString() const { return value_.vt == VT_BSTR && value_.bstrVal != nullptr; }
  std::wstring Text() const { return std::wstring(value_.bstrVal, ::SysStringLen(value_.bstrVal)); }

 private:
  VARIANT value_;
};

class ComCaptureWalk : public CaptureDeviceWalk {
 public:
  explicit ComCaptureWalk(ComPtr<ICreateDevEnum> devEnum) : devEnum_(std::move(devEnum)) {}
  ~ComCaptureWalk() override {
    // Bag and moniker before their enumerator, the enumerator before the device enumerator.
    bag_.Reset();
    moniker_.Reset();
    monikers_.Reset();
    devEnum_.Reset();
  }

  std::int32_t CreateClassEnumerator() override {
    if (!devEnum_) {
      return E_POINTER;
    }
    return devEnum_->CreateClassEnumerator(kClsidVideoInputDeviceCategory, monikers_.Out(), 0);
  }
  void Reset() override {
    if (monikers_) {
      monikers_->Reset();
    }
  }
  bool NextMoniker() override {
    ReleaseMoniker();
    if (!monikers_) {
      return false;
    }
    ULONG fetched = 0;
    const HRESULT hr = monikers_->Next(1, moniker_.Out(), &fetched);
    return hr == S_OK && moniker_;
  }
  std::int32_t BindPropertyBag() override {
    bag_.Reset();
    if (!moniker_) {
      return E_POINTER;
    }
    return moniker_->BindToStorage(nullptr, nullptr, kIidIPropertyBag, bag_.OutVoid());
  }
  bool ReadProperty(const wchar_t* name, std::wstring* value) override {
    if (!bag_ || name == nullptr || value == nullptr) {
      return false;
    }
    BstrVariant variant;
    if (FAILED(bag_->Read(name, variant.Get(), nullptr)) || !variant.HoldsString()) {
      return false;
    }
    *value = variant.Text();
    return true;
  }
  void ReleaseMoniker() override {
    bag_.Reset();
    moniker_.Reset();
  }

 private:
  ComPtr<ICreateDevEnum> devEnum_;
  ComPtr<IEnumMoniker> monikers_;
  ComPtr<IMoniker> moniker_;
  ComPtr<IPropertyBag> bag_;
};

class SetupInterfaceSet : public DeviceInterfaceSet {
 public:
  SetupInterfaceSet(HDEVINFO set, const GUID& cls, GetDevicePropertyFn getDeviceProperty)
      : set_(set), class_(cls), getDeviceProperty_(getDeviceProperty) {}
  ~SetupInterfaceSet() override { ::SetupDiDestroyDeviceInfoList(set_); }
  SetupInterfaceSet(const SetupInterfaceSet&) = delete;
  SetupInterfaceSet& operator=(const SetupInterfaceSet&) = delete;

  bool EnumInterface(std::uint32_t index) override {
    interface_ = SP_DEVICE_INTERFACE_DATA{};
    interface_.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return ::SetupDiEnumDeviceInterfaces(set_, nullptr, &class_, index, &interface_) != FALSE;
  }
  bool EnumDeviceInfo(std::uint32_t index) override {
    device_ = SP_DEVINFO_DATA{};
    device_.cbSize = sizeof(SP_DEVINFO_DATA);
    return ::SetupDiEnumDeviceInfo(set_, index, &device_) != FALSE;
  }
  SetupCall GetRegistryProperty(std::uint32_t property, wchar_t* buffer,
                                std::uint32_t bufferChars) override {
    DWORD type = 0;
    DWORD required = 0;
    const DWORD bytes = buffer != nullptr ? bufferChars * sizeof(WCHAR) : 0;
    const BOOL ok = ::SetupDiGetDeviceRegistryPropertyW(
        set_, &device_, property, &type, reinterpret_cast<PBYTE>(buffer), bytes, &required);
    return Result(ok, (required + sizeof(WCHAR) - 1) / sizeof(WCHAR));
  }
  SetupCall GetInterfaceDetail(wchar_t* buffer, std::uint32_t bufferChars) override {
    constexpr DWORD kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (buffer == nullptr) {
      DWORD required = 0;
      const BOOL ok =
          ::SetupDiGetDeviceInterfaceDetailW(set_, &interface_, nullptr, 0, &required, nullptr);
      const DWORD pathBytes = required > kHeader ? required - kHeader : 0;
      return Result(ok, (pathBytes + sizeof(WCHAR) - 1) / sizeof(WCHAR));
    }
    // The detail record is DWORD-aligned: its size field comes first.
    const DWORD bytes = kHeader + bufferChars * sizeof(WCHAR);
    std::vector<DWORD> block((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    // The device data of the device that owns the interface comes with the detail: its parent
    // instance ID is the one the serial is read from.
    SP_DEVINFO_DATA owner{};
    owner.cbSize = sizeof(SP_DEVINFO_DATA);
    const BOOL ok =
        ::SetupDiGetDeviceInterfaceDetailW(set_, &interface_, detail, bytes, nullptr, &owner);
    if (ok != FALSE) {
      device_ = owner;
    }
    const SetupCall result = Result(ok, bufferChars);
    if (result.ok && bufferChars > 0) {
      std::size_t n = 0;
      for (; n + 1 < bufferChars && detail->DevicePath[n] != L'\0'; ++n) {
        buffer[n] = detail->DevicePath[n];
      }
      buffer[n] = L'\0';
    }
    return result;
  }
  bool GetParentInstanceId(wchar_t* buffer, std::uint32_t bufferChars) override {
    if (getDeviceProperty_ == nullptr || buffer == nullptr || bufferChars == 0) {
      return false;
    }
    WCHAR parent[kParentIdChars] = {};
    DEVPROPTYPE type = 0;
    if (!getDeviceProperty_(set_, &device_, &kDevpkeyDeviceParent, &type,
                            reinterpret_cast<PBYTE>(parent), sizeof parent, nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
      return false;
    }
    parent[kParentIdChars - 1] = L'\0';
    std::size_t n = 0;
    for (; n + 1 < bufferChars && parent[n] != L'\0'; ++n) {
      buffer[n] = parent[n];
    }
    buffer[n] = L'\0';
    return true;
  }

 private:
  static SetupCall Result(BOOL ok, DWORD requiredChars) {
    SetupCall call;
    call.ok = ok != FALSE;
    call.lastError = call.ok ? 0 : ::GetLastError();
    call.requiredChars = requiredChars;
    return call;
  }

  HDEVINFO set_;
  GUID class_;
  GetDevicePropertyFn getDeviceProperty_;
  SP_DEVICE_INTERFACE_DATA interface_{};
  SP_DEVINFO_DATA device_{};
};

}  // namespace

Win32Discovery::Win32Discovery() {
  HMODULE setupApi = ::GetModuleHandleW(L"Setupapi.dll");
  if (setupApi != nullptr) {
    getDeviceProperty_ =
        reinterpret_cast<void*>(::GetProcAddress(setupApi, "SetupDiGetDevicePropertyW"));
  }
}

std::int32_t Win32Discovery::CreateSystemDeviceEnum(std::unique_ptr<CaptureDeviceWalk>* walk) {
  ComPtr<ICreateDevEnum> devEnum;
  const HRESULT hr = ::CoCreateInstance(kClsidSystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                        kIidICreateDevEnum, devEnum.OutVoid());
  if (FAILED(hr) || !devEnum) {
    return FAILED(hr) ? hr : E_POINTER;
  }
  if (walk != nullptr) {
    *walk = std::make_unique<ComCaptureWalk>(std::move(devEnum));
  }
  return hr;
}

std::unique_ptr<DeviceInterfaceSet> Win32Discovery::OpenInterfaceSet(InterfaceSetClass cls) {
  const GUID& guid =
      cls == InterfaceSetClass::kUsbDevice ? kGuidDevinterfaceUsbDevice : kKsCategoryVideo;
  HDEVINFO set = ::SetupDiGetClassDevsW(&guid, nullptr, nullptr, kPresentInterfaces);
  if (set == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  return std::make_unique<SetupInterfaceSet>(
      set, guid, reinterpret_cast<GetDevicePropertyFn>(getDeviceProperty_));
}

bool Win32Discovery::DevicePropertyAvailable() {
  return getDeviceProperty_ != nullptr;
}

OsVersion Win32Discovery::ReadOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  OsVersion version;
  version.ok = ::GetVersionExW(&info) != FALSE;
  if (version.ok) {
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
  }
  return version;
}

}  // namespace veltra

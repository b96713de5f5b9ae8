// The companion port of a USB connector on Windows. A USB 3 connector has a SuperSpeed port and a
// USB 2 port, which Windows numbers apart (on the xHCI root hub, or on the two hub devices of an
// external USB 3 hub). The hub reports, for each port, the number of its companion and the hub
// that has it (IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES, Windows 8 and later; an empty name means
// the same hub). The location path of a device names its hub's location and its port last:
// "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(1)" is port 1 of the hub at "...#USB(2)".
//
// The program runs from Windows 7, whose headers leave the request out: this file alone asks for
// Windows 8's declarations. On Windows 7 the hub refuses the request, and only the location path
// itself finds the camera.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x06020000
#endif
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_windows.h"
// clang-format off
#include <winioctl.h>
#include <setupapi.h>
#include <initguid.h>
#include <usbiodef.h>
#include <usbioctl.h>
// clang-format on

#include <cstddef>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_interface_walk.h"

namespace veltra {

namespace {

// Hubs looked at: far more than a machine has.
constexpr DWORD kMaxHubs = 256;
// A location path with its list terminator fits here, as the discovery passes read it.
constexpr DWORD kLocationChars = 1024;

bool SameText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) {
      return false;
    }
  }
  return true;
}

// The symbolic link name without the "\\?\" the interface path starts with.
std::wstring WithoutPrefix(const std::wstring& path) {
  const std::wstring prefix = L"\\\\?\\";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

struct Hub {
  std::wstring path;      // its device interface path, to open it
  std::wstring location;  // its first location path
};

// Every present USB hub with its interface path and location path.
std::vector<Hub> PresentHubs() {
  std::vector<Hub> hubs;
  auto addHub = [&hubs](HDEVINFO set, SP_DEVINFO_DATA& device, const wchar_t* path) {
    std::vector<wchar_t> location(kLocationChars + 2, L'\0');
    if (::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_LOCATION_PATHS, nullptr,
                                            reinterpret_cast<PBYTE>(location.data()),
                                            kLocationChars * sizeof(wchar_t), nullptr) != FALSE) {
      hubs.push_back(Hub{path, location.data()});
    }
    return false;  // every hub
  };
  ForEachPresentInterface(GUID_DEVINTERFACE_USB_HUB, kMaxHubs, addHub);
  return hubs;
}

// The companion's port number and hub name for port `port` of the hub at path; false when the
// hub cannot tell (before Windows 8) or the port has none.
bool CompanionOf(const std::wstring& hubPath, ULONG port, USHORT* companionPort,
                 std::wstring* companionHub) {
  UniqueHandle hub(::CreateFileW(hubPath.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!hub.Valid()) {
    return false;
  }
  USB_PORT_CONNECTOR_PROPERTIES probe{};
  probe.ConnectionIndex = port;
  DWORD returned = 0;
  if (::DeviceIoControl(hub.Get(), IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES, &probe, sizeof probe,
                        &probe, sizeof probe, &returned, nullptr) == FALSE ||
      probe.ActualLength < sizeof probe) {
    return false;
  }
  std::vector<DWORD> block((probe.ActualLength + sizeof(WCHAR) + sizeof(DWORD) - 1) /
                           sizeof(DWORD));
  auto* properties = reinterpret_cast<PUSB_PORT_CONNECTOR_PROPERTIES>(block.data());
  properties->ConnectionIndex = port;
  if (::DeviceIoControl(hub.Get(), IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES, properties,
                        probe.ActualLength, properties, probe.ActualLength, &returned,
                        nullptr) == FALSE ||
      properties->CompanionPortNumber == 0) {
    return false;
  }
  const std::size_t nameChars =
      (probe.ActualLength - offsetof(USB_PORT_CONNECTOR_PROPERTIES, CompanionHubSymbolicLinkName)) /
      sizeof(WCHAR);
  std::wstring name(properties->CompanionHubSymbolicLinkName, nameChars);
  name.resize(name.find(L'\0') == std::wstring::npos ? name.size() : name.find(L'\0'));
  *companionPort = properties->CompanionPortNumber;
  *companionHub = name;
  return true;
}

}  // namespace

bool Win32Discovery::CompanionLocationPath(const wchar_t* location, wchar_t* companion,
                                           std::uint32_t chars) {
  if (location == nullptr || companion == nullptr || chars == 0) {
    return false;
  }
  const std::wstring path(location);
  const std::size_t last = path.rfind(L"#USB(");
  if (last == std::wstring::npos || path.back() != L')') {
    return false;
  }
  const std::wstring hubLocation = path.substr(0, last);
  const std::wstring digits = path.substr(last + 5, path.size() - last - 6);
  if (digits.empty() || digits.size() > 3 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
    return false;
  }
  const auto port = static_cast<ULONG>(std::stoul(digits));
  const std::vector<Hub> hubs = PresentHubs();
  for (const Hub& hub : hubs) {
    if (!SameText(hub.location, hubLocation)) {
      continue;
    }
    USHORT companionPort = 0;
    std::wstring companionHub;
    if (!CompanionOf(hub.path, port, &companionPort, &companionHub)) {
      return false;
    }
    std::wstring otherLocation = hub.location;  // an empty name: the same hub
    if (!companionHub.empty()) {
      otherLocation.clear();
      for (const Hub& other : hubs) {
        if (SameText(WithoutPrefix(other.path), WithoutPrefix(companionHub))) {
          otherLocation = other.location;
        }
      }
      if (otherLocation.empty()) {
        return false;
      }
    }
    const std::wstring result = otherLocation + L"#USB(" + std::to_wstring(companionPort) + L")";
    if (result.size() >= chars) {
      return false;
    }
    result.copy(companion, result.size());
    companion[result.size()] = L'\0';
    return true;
  }
  return false;
}

}  // namespace veltra

#include "devices/device_presence.h"

#include <memory>

#include "core/text.h"
#include "devices/id_text.h"
#include "platform/device_discovery.h"
#include "platform/ports.h"

namespace veltra {

std::unique_ptr<wchar_t[]> ReadCurrentInterfacePath(DeviceInterfaceSet& set) {
  const SetupCall size = set.GetInterfaceDetail(nullptr, 0);
  std::unique_ptr<wchar_t[]> path = AllocateChars(size.requiredChars);
  if (path == nullptr || !set.GetInterfaceDetail(path.get(), size.requiredChars).ok) {
    return nullptr;
  }
  return path;
}

bool UsbDeviceInterfaceListed(const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') {
    return false;
  }
  const std::unique_ptr<DeviceInterfaceSet> set =
      Discovery().OpenInterfaceSet(InterfaceSetClass::kUsbDevice);
  if (set == nullptr) {
    return true;
  }
  return FindInterface(*set, [path](std::uint32_t, const wchar_t* listed) {
    return TextEqualsNoCase(listed, path);
  });
}

}  // namespace veltra

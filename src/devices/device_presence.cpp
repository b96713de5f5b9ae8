#include "devices/device_presence.h"

#include <memory>

#include "core/text.h"
#include "devices/id_text.h"
#include "platform/device_discovery.h"
#include "platform/ports.h"

namespace veltra {

bool UsbDeviceInterfaceListed(const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') {
    return false;
  }
  const std::unique_ptr<DeviceInterfaceSet> set =
      Discovery().OpenInterfaceSet(InterfaceSetClass::kUsbDevice);
  if (set == nullptr) {
    return true;
  }
  for (std::uint32_t index = 0; index < kMaxEnumerationIndex && set->EnumInterface(index);
       ++index) {
    const SetupCall size = set->GetInterfaceDetail(nullptr, 0);
    const std::unique_ptr<wchar_t[]> detail = AllocateChars(size.requiredChars);
    if (detail != nullptr && set->GetInterfaceDetail(detail.get(), size.requiredChars).ok &&
        TextEqualsNoCase(detail.get(), path)) {
      return true;
    }
  }
  return false;
}

}  // namespace veltra

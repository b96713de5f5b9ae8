#include "core/text.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/known_devices.h"

namespace veltra {

bool SunplusCameraListed() {
  DeviceList& list = Controller().List();
  const int count = list.Listed();
  for (int i = 0; i < count; ++i) {
    if (TextEqualsNoCase(list.DeviceTable[i].vidText, kVidSunplus) &&
        TextEqualsNoCase(list.DeviceTable[i].pidText, kPidSunplusCamera)) {
      return true;
    }
  }
  return false;
}

}  // namespace veltra

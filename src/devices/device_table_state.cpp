#include "core/text.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "loaders/fx3_download.h"

namespace veltra {

bool SunplusCameraListed() {
  DeviceList& list = Controller().List();
  const int count = list.Listed();
  for (int i = 0; i < count; ++i) {
    const DeviceRecord& record = list.DeviceTable[i];
    if (DeviceRules().Lookup(record.vidText, record.pidText).family == DeviceFamily::kSunplus) {
      return true;
    }
  }
  return false;
}

}  // namespace veltra

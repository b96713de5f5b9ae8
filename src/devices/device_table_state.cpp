#include <cstring>

#include "core/boot_loader_step.h"
#include "core/text.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "loaders/fx3_download.h"

namespace veltra {

DeviceRecord g_DeviceTable[kMaxDevices] = {};
std::atomic<int> g_nDeviceCount{0};
// The list's boot-loader step: the list takes over a boot ROM whenever it finds one, not only
// during an update (see device_table.h).
BootLoaderStep g_bootLoaderStep;

bool SunplusCameraListed() {
  const int count = ListedDeviceCount();
  for (int i = 0; i < count; ++i) {
    const DeviceRecord& record = g_DeviceTable[i];
    if (DeviceRules().Lookup(record.vidText, record.pidText).family == DeviceFamily::kSunplus) {
      return true;
    }
  }
  return false;
}

void ResetDeviceTable() {
  std::memset(g_DeviceTable, 0, sizeof g_DeviceTable);
  g_nDeviceCount = 0;
  g_bootLoaderStep.Reset();
}

}  // namespace veltra

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "devices/known_devices.h"
#include "loaders/fx3_download.h"

namespace veltra {

DeviceRecord g_DeviceTable[kMaxDevices] = {};
std::atomic<int> g_nDeviceCount{0};

bool SunplusCameraListed() {
  const int count = std::clamp(g_nDeviceCount.load(), 0, kMaxDevices);
  for (int i = 0; i < count; ++i) {
    if (TextEqualsNoCase(g_DeviceTable[i].vidText, kVidSunplus) &&
        TextEqualsNoCase(g_DeviceTable[i].pidText, kPidSunplusCamera)) {
      return true;
    }
  }
  return false;
}

void ResetDeviceTable() {
  std::memset(g_DeviceTable, 0, sizeof g_DeviceTable);
  g_nDeviceCount = 0;
  CurrentUpdate().bLoaderThreadStarted = 0;
  CurrentUpdate().bLoaderDownloadBusy = 0;
}

}  // namespace veltra

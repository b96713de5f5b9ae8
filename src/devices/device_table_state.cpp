#include <cstring>

#include "core/update_session.h"
#include "devices/device_table.h"
#include "devices/discovery_passes.h"
#include "loaders/fx3_download.h"

namespace veltra {

DeviceRecord g_DeviceTable[kMaxDevices] = {};
std::atomic<int> g_nDeviceCount{0};
Flag g_bSunplusCameraListed{0};

void ResetDeviceTable() {
  std::memset(g_DeviceTable, 0, sizeof g_DeviceTable);
  g_nDeviceCount = 0;
  CurrentUpdate().bLoaderThreadStarted = 0;
  g_bSunplusCameraListed = 0;
  CurrentUpdate().bLoaderDownloadBusy = 0;
}

}  // namespace veltra

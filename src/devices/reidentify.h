// Finding the updated camera again after it re-enumerated, or noticing that it has gone.
#pragma once

namespace veltra {

int MatchUniqueIDForUpdatedDeviceHID();
int MatchUniqueIDForUpdatedDeviceDFU();
int UpdateDeviceRemoved();

}  // namespace veltra

// Finding the updated camera again after it re-enumerated, or noticing that it has gone.
#pragma once

namespace veltra {

int MatchUniqueIDForUpdatedDeviceHID();
int MatchUniqueIDForUpdatedDeviceDFU();
int UpdateDeviceRemoved();
// An update that starts while the camera waits in its update mode: arms the serial match with
// the serial that the update-mode device's own path carries (the camera keeps it in every mode),
// so that the camera is found again when it returns with another path.
void ArmUniqueIDMatchFromUpdateMode(const wchar_t* devicePath);

}  // namespace veltra

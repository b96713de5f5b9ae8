// Finding the updated camera again after it re-enumerated, or noticing that it has gone.
#pragma once

#include "core/update_session.h"

namespace veltra {

// Each works on the update session it is handed: its serial, its saved paths, its update path.
int MatchUniqueIDForUpdatedDeviceHID(const UpdateSession& update);
int MatchUniqueIDForUpdatedDeviceDFU(const UpdateSession& update);
int UpdateDeviceRemoved(UpdateSession& update);
// An update that starts while the camera waits in its update mode: arms the serial match with
// the serial that the update-mode device's own path carries (the camera keeps it in every mode),
// so that the camera is found again when it returns with another path.
void ArmUniqueIDMatchFromUpdateMode(UpdateSession& update, const wchar_t* devicePath);
// Whether listed record i carries the path the update started on. A camera without a USB serial
// shares the made-up unique ID with every other such camera, so the ID cannot tell two of them
// apart; Windows keeps such a device's instance ID, and with it its paths, when it returns on the
// port it left from, so that path names it.
bool ListedUnderUpdatePath(const UpdateSession& update, int i);

}  // namespace veltra

// Finding the updated camera again after it re-enumerated, or noticing that it has gone.
#pragma once

#include "core/update_session.h"
#include "devices/device_rules.h"

namespace veltra {

// Which listed devices may be the camera (ListedAs) is the device rules' word on each device's
// IDs (devices/device_rules.h).
enum class CameraFound { kNone, kFound, kMoreThanOne };
struct FoundCamera {
  CameraFound result = CameraFound::kNone;
  int index = -1;  // the record, when found
};

// The one rule that finds the camera being updated among the listed devices of that kind,
// whatever their paths were before: the one that carries its whole USB serial; otherwise, only
// when no serial matches, the one at its location path or its connector's companion port. A
// serial the camera's identity took from an update mode (the update began there) may be its
// family's fixed one: then only the place finds it. A serial several listed devices carry
// decides only together with the place. A device that answers to none of these is never taken;
// two that answer alike are kMoreThanOne, and the update cannot tell which one is its camera.
FoundCamera FindUpdatedCamera(const CameraIdentity& camera, ListedAs kind);

// Each works on the update session it is handed: the camera's identity, its update path. The
// two matches select the updated camera back in its normal mode (FindUpdatedCamera).
int MatchUniqueIDForUpdatedDeviceHID(const UpdateSession& update);
int MatchUniqueIDForUpdatedDeviceDFU(const UpdateSession& update);
int UpdateDeviceRemoved(UpdateSession& update);
// An update that starts while the camera waits in its update mode: arms the serial match with
// the serial that the update-mode device's own path carries (the camera keeps it in every mode),
// so that the camera is found again when it returns with another path.
void ArmUniqueIDMatchFromUpdateMode(UpdateSession& update, const wchar_t* devicePath);

}  // namespace veltra

// The wait for a DFU camera's restart after the end of its download: what its return says.
#pragma once

#include "core/update_session.h"

namespace veltra::camera {

// While the update waits for the camera to restart after a DFU download that ended with the
// camera leaving, and no worker runs: whether the camera is listed back in its DFU update mode
// (DF00 or DF01) instead of its firmware, found by the one rule that finds the camera
// (FindUpdatedCamera). The image did not take.
bool UpdatedCameraBackInDfuMode(const UpdateSession& update);

}  // namespace veltra::camera

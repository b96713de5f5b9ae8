#pragma once

#include "core/device_record.h"
#include "core/update_observer.h"

namespace veltra {

// Reads the camera's firmware version and tells view (runs on the refresher thread, with the
// camera it was handed when READ F/W VERSION was pressed).
void GetFirmwarVersion(UpdateObserver& view, const SelectedCamera& camera);

}  // namespace veltra

#pragma once

#include "core/device_record.h"

namespace veltra {

// Reads the camera's firmware version and shows it (runs on the refresher thread, with the camera
// it was handed when READ F/W VERSION was pressed).
void GetFirmwarVersion(const SelectedCamera& camera);

}  // namespace veltra

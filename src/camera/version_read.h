#pragma once

#include "core/update_observer.h"

namespace veltra {

// Reads the firmware version of the camera listed at index (the one selected when READ F/W
// VERSION was pressed) and tells view (runs on the refresher thread).
void GetFirmwarVersion(UpdateObserver& view, int index);

}  // namespace veltra

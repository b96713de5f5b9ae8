#pragma once

#include "core/device_record.h"
#include "core/dfu_link.h"

namespace veltra {

// RESET as the refresher thread runs it, the one thread that addresses the camera for it: first
// the reset the dialog once sent itself (through the generic extension unit, or the DFU reset
// request on fresh handles), then the reset of the camera's route (ResetSelectedDevice). Both go
// out on a connection of the reset's own, closed when it is done: the update's connection stays
// the dialog thread's.
void ResetCamera(const SelectedCamera& camera);

// The reset of the camera's route: the generic extension unit, the reset call of its family, or,
// for a camera in its update mode, the DFU reset request over WinUSB on link. Clears the RESET
// busy flag when it is done.
void ResetSelectedDevice(const SelectedCamera& camera, DfuLink& link);

}  // namespace veltra

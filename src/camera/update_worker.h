// The update worker: one firmware download of the DFU or NXP route, from the state check to the
// user's message. Runs on its own thread (started by the update dispatch or the device-change
// handling with Sys().StartThread).
#pragma once

#include "platform/types.h"

namespace veltra {

std::uint32_t UpdateFirmware();

}  // namespace veltra

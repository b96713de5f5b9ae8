// The update worker: one firmware download of the DFU or NXP route, from the state check to the
// user's message. Runs on its own thread (started by the update dispatch or the device-change
// handling with Sys().StartThread).
#pragma once

#include "platform/types.h"

namespace veltra {

std::uint32_t UpdateFirmware();

// Set while a worker started by StartUpdateWorker runs (from before its thread starts until its
// body has returned). An update has one worker per pass: the device-change handling starts no
// other while this is set, whatever arrives meanwhile.
extern Flag g_bUpdateWorkerRunning;

// Starts UpdateFirmware on a thread of its own and keeps its handle. When no thread can be
// created the user is told ("Could'nt Create Thread") and false is returned.
bool StartUpdateWorker();

// Ends an update whose camera came back running its old firmware instead of its update mode (its
// mode switch did not take, or it restarted before its last pass): nothing is left armed, the
// controls come back, and the user is told the download failed. Dialog thread.
void EndUpdateWithoutUpdateMode();

}  // namespace veltra

// The update worker: one firmware download of the DFU or NXP route, from the state check to the
// user's message. Runs on its own thread, started by the update dispatch or by the device-change
// handling when the camera returns in its update mode; it works on the update session it is given.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// What the worker is handed by value as it starts (taken on the dialog thread by
// TakeWorkerStart): it reads nothing of the device table or the selection while the dialog thread
// may rebuild them.
struct WorkerStart {
  // The selected camera is a Pesca camera in its update mode: a success ends with the Warning
  // dialog while it restarts.
  bool pescaUpdateMode = false;
};
WorkerStart TakeWorkerStart(const UpdateSession& update);

std::uint32_t UpdateFirmware(UpdateSession& update, WorkerStart start);

// Starts UpdateFirmware on a thread of its own and keeps its handle in the session (closing the
// one it replaces); bWorkerRunning is set from before the thread starts until its body returns.
// Tells the user when no thread could be created.
void StartUpdateWorker(UpdateSession& update);

// Ends an update whose camera came back running its old firmware instead of its update mode (its
// mode switch did not take, or it restarted before its last pass): nothing is left armed, the
// controls come back, and the user is told the download failed. Dialog thread.
void EndUpdateWithoutUpdateMode(UpdateSession& update);

}  // namespace veltra

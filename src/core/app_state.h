// Process-wide state that is not about one update (the values of one update are in the update
// session, core/update_session.h). Each object says why it is process-wide; docs/architecture.md
// lists every such object of the program. Flags are 32-bit atomics (the threads hand work to each
// other through them without locks); text fields are fixed buffers that are always cut to fit and
// terminated. The device table and the chosen image are declared in their own headers.
#pragma once

#include "platform/types.h"

namespace veltra {

constexpr int kMaxDevices = 20;

// The selection lives as long as the list does and is read by every device-change handler.
extern std::atomic<int> g_nSelectedIndex;
extern std::atomic<int> g_nLastSelectedIndex;
extern wchar_t g_szSelectedDevicePath[kPathChars];

// The refresher thread runs for the whole program.
extern Handle g_hUIEvent;
extern Handle g_hUIThread;
extern Flag g_bUIThreadRun;
// READ F/W VERSION and RESET refuse each other; neither is an update.
extern Flag g_bReadVersionBusy;
extern Flag g_bResetBusy;

// Puts every field above back to its start-up value (tests start each case from a fresh process
// state this way).
void ResetAppState();

}  // namespace veltra

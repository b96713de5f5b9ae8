// The refresher thread: runs the slow camera commands (firmware version read, reset) off the
// dialog thread. READ F/W VERSION and RESET set their busy flag and signal
// the refresher's hUIEvent; one signal wakes the thread once, and the version read wins
// when both flags are set.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace veltra {

// Name of the manual-reset event the thread waits on.
constexpr const wchar_t* kUIEventName = L"UpdateUIThreadProcHandle";

// Stops any running refresher thread, creates the event and then the thread.
void createThreadUpdateUI();
// The thread's body; event is the one created for it (kNullHandle: it can serve nothing).
std::uint32_t UpdateUIThreadProc(Handle event);
// Co-operative stop: clears the refresher's bUIThreadRun, wakes the thread and waits for
// it while the dialog's messages are handled (bounded, so that an exit does not hang behind a
// version read the user has not answered yet), then closes both handles. Called on the dialog
// thread.
void StopUpdateUIThread();

}  // namespace veltra

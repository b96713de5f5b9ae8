#include "app/refresher.h"

#include "camera/device_reset.h"
#include "camera/version_read.h"
#include "core/debug_trace.h"
#include "core/update_controller.h"
#include "platform/ports.h"

namespace veltra {

namespace {
// How long the stop waits for the thread to finish a command it is running. The thread only
// ever runs one command, so an idle thread ends at once; a version read that waits for the user
// to dismiss its message box is left to end with the process.
constexpr std::uint32_t kStopWaitMs = 5000;
// After a failed wait the thread pauses before the next pass instead of spinning.
constexpr std::uint32_t kFailedWaitPauseMs = 100;
}  // namespace

std::uint32_t UpdateUIThreadProc(Handle event) {
  // Without an event no request can reach the thread, so it ends instead of idling.
  if (event == kNullHandle) {
    return 0;
  }
  while (Controller().Refresher().bUIThreadRun.load() != 0) {
    DebugPrint(1, L"UpdateUIThreadProc before wait\r\n");
    if (Sys().WaitForObject(event, kWaitInfinite) != kWaitObject0) {
      Sys().Sleep(kFailedWaitPauseMs);
      continue;
    }
    Sys().ResetEventObject(event);
    // The stop wakes the thread too; a request flag left set must not run during shut-down.
    if (Controller().Refresher().bUIThreadRun.load() == 0) {
      break;
    }
    CameraCommands& commands = Controller().Commands();
    if (commands.bReadVersionBusy.load() != 0) {
      GetFirmwarVersion(CurrentUpdate().Observer(), commands.ReadVersionCamera());
    } else if (commands.bResetBusy.load() != 0) {
      ResetCamera(commands.ResetCamera());
    }
  }
  return 0;
}

void createThreadUpdateUI() {
  StopUpdateUIThread();
  // The event exists before the thread can wait on it; the run flag is set before the thread
  // starts so that a stop right after the start cannot be undone by the thread.
  const Handle event = Sys().CreateEventObject(true, false, kUIEventName);
  Controller().Refresher().hUIEvent = event;
  Controller().Refresher().bUIThreadRun = 1;
  const Handle thread = Sys().StartThread([event]() { return UpdateUIThreadProc(event); });
  if (thread == kNullHandle) {
    Controller().Refresher().bUIThreadRun = 0;
    return;
  }
  Controller().Refresher().hUIThread = thread;
  DebugPrint(1, L"createThreadUpdateUI CreateThread success \r\n");
}

void StopUpdateUIThread() {
  const Handle thread = Controller().Refresher().hUIThread;
  const Handle event = Controller().Refresher().hUIEvent;
  // Taken before the wait: a stop made again while this one handles the dialog's messages finds
  // nothing left to stop or close.
  Controller().Refresher().hUIThread = kNullHandle;
  Controller().Refresher().hUIEvent = kNullHandle;
  if (thread == kNullHandle) {
    // No thread to end; an event left from a failed thread start goes too.
    if (event != kNullHandle) {
      Sys().CloseEventObject(event);
    }
    return;
  }
  Controller().Refresher().bUIThreadRun = 0;
  if (event != kNullHandle) {
    Sys().SetEventObject(event);
  }
  // A version read or a reset may be under way and wait on this (the dialog's) thread: its
  // message box, the list's selection. A plain wait would hold both until the bound ran out and
  // freeze the window meanwhile; the dialog's messages are handled while the thread finishes.
  Dialog().WaitThreadPumping(thread, kStopWaitMs);
  const std::uint32_t exitCode = Sys().ThreadExitCode(thread);
  if (exitCode == 0) {
    DebugPrint(1, L"_threadUpdateUI ThExitCode = %d \n", static_cast<int>(exitCode));
  }
  if (event != kNullHandle) {
    Sys().CloseEventObject(event);
  }
  Sys().CloseThread(thread);
}

}  // namespace veltra

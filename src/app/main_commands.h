// The main dialog's commands and start-up step, called by MainDialogProc on the dialog thread.
#pragma once

#include "core/update_session.h"

namespace veltra {

// The dialog-initialisation step: controls, executable path, device notifications and the
// start-up scan. Non-zero when the scan found a device.
int SetInitialVaue();

void OnBrowseCommand(UpdateSession& update);
void OnReadVersionCommand();
void OnUpdateCommand(UpdateSession& update);
void OnResetCommand();
void OnSelectionChange(UpdateSession& update);
// EXIT and the close box: closes the library and the USB handles, stops the refresher thread and
// ends the program.
void OnExitCommand();

}  // namespace veltra

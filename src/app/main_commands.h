// The main dialog's commands and start-up step, called by MainDialogProc on the dialog thread.
#pragma once

namespace veltra {

// The dialog-initialisation step: controls, executable path, device notifications and the
// start-up scan. Non-zero when the scan found a device.
int SetInitialVaue();

void OnBrowseCommand();
void OnReadVersionCommand();
void OnUpdateCommand();
void OnResetCommand();
void OnSelectionChange();
// EXIT and the close box: closes the library and the USB handles, stops the refresher thread and
// ends the program.
void OnExitCommand();

}  // namespace veltra

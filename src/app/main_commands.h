// The main dialog's commands and start-up step, called by MainDialogProc on the dialog thread.
#pragma once

#include "core/update_session.h"

namespace veltra {

// The dialog-initialisation step: controls, executable path, device notifications and the
// start-up scan. Non-zero when the scan found a device.
int SetInitialVaue();

// Lets the user pick a firmware file and reads it into the selection. binFirst: the file dialog
// offers raw *.bin images first (the selected camera takes its image through the NXP flash
// loader), otherwise *.img files. One of the kBrowse* outcomes (image/firmware_image.h); a refused
// file's own message has been shown.
int Browse(UpdateSession& update, bool binFirst);
void OnBrowseCommand(UpdateSession& update);
void OnReadVersionCommand();
void OnUpdateCommand(UpdateSession& update);
void OnResetCommand();
void OnSelectionChange(UpdateSession& update);
// EXIT and the close box: closes the library and the USB handles, stops the refresher thread and
// ends the program.
void OnExitCommand();

}  // namespace veltra

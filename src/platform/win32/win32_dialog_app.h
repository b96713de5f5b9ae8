// The program's start-up on Windows and its message loop, once the ports are installed: the
// single-instance test, COM, the label font, the hidden main window, the modeless main dialog.
// Shared by the product's entry and the demo's, which differ only in the ports they install.
#pragma once

#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_windows.h"

namespace veltra {

// Runs the program; the result is the process's exit code (the quit message's wParam, 0 when
// start-up stops early or another copy is running). The main dialog is created with the dialog
// view as its parameter, which notes its handle.
int RunVeltraApplication(HINSTANCE instance, int showCommand, Win32DialogView& view);

}  // namespace veltra

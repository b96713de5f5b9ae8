// The Windows procedures of the program's windows. Each forwards to the portable procedure of
// app/dialog_procedures.h and adds what only Windows has: painting, colours and fonts, and the
// translation of WM_DEVICECHANGE into the DeviceChange record the logic reads.
#pragma once

#include "platform/win32/win32_windows.h"

namespace veltra {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MainDialogWin32Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The label font of the coloured texts, made on the first call (start-up).
HFONT LabelFont();
// The modal dialogs' procedures by resource ID (130, 143, 144), or nullptr.
DLGPROC ModalDialogWin32Proc(int dialogId);

}  // namespace veltra

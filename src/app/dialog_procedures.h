// The portable dialog procedures of the program's four dialogs. The Windows adapter forwards its
// DLGPROCs to them (adding the colours and fonts), the headless dialog of the tests calls them
// directly. Each returns what a DLGPROC returns: TRUE (1) when it handled the message.
#pragma once

#include <cstdint>

#include "core/window_messages.h"

namespace veltra {

// Main dialog 129: commands, timers, device changes and the worker threads' messages.
std::intptr_t MainDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);
// Confirmation dialog 130: OK starts the update by the selected camera's family.
std::intptr_t ConfirmDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
// "Warning" dialog 143, shown while the camera finishes its update; the user cannot close it.
std::intptr_t WarningDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
// "Error" dialog 144, shown when the Warning dialog timed out.
std::intptr_t ErrorDialogProc(Handle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);

// The procedure of a modal dialog by its resource ID (130, 143, 144), or nullptr.
DialogProcedure ModalDialogProcedure(int dialogId);

}  // namespace veltra

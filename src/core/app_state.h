// Process-wide state that is not about one update (the values of one update are in the update
// session, core/update_session.h). Each object says why it is process-wide. Flags are 32-bit
// atomics (the threads hand work to each other through them without locks); text fields are
// fixed buffers that are always cut to fit and terminated. State owned by one subsystem (the
// DFU transfer context, the image kind, the device table) is declared in its own header.
#pragma once

#include "platform/types.h"

namespace veltra {

constexpr int kMaxDevices = 20;

// The windows of the one program instance, set once at start-up by the Windows adapter.
extern Handle g_hInstance;
extern Handle g_hMainWnd;
extern Handle g_hMainDlg;
extern Handle g_hDeviceCombo;
extern Handle g_hLabelFont;

// The executable's folder, where the loader files are looked for; set once at start-up.
extern wchar_t g_szExePath[kPathChars];
extern int g_exeDirLength;

// The selection lives as long as the list does and is read by every device-change handler.
extern std::atomic<int> g_nSelectedIndex;
extern std::atomic<int> g_nLastSelectedIndex;
extern wchar_t g_szSelectedDevicePath[kPathChars];
// The chosen file outlives one update (a failed update can be retried with it).
extern wchar_t g_szFirmwarePath[kPathChars];
extern wchar_t g_szFirmwareTitle[kPathChars];

// The refresher thread runs for the whole program.
extern Handle g_hUIEvent;
extern Handle g_hUIThread;
extern Flag g_bUIThreadRun;
// READ F/W VERSION and RESET refuse each other; neither is an update.
extern Flag g_bReadVersionBusy;
extern Flag g_bResetBusy;

// The modal dialogs that are open, for the device-change handling that reaches into them.
extern std::atomic<Handle> g_hConfirmDlg;
extern std::atomic<Handle> g_hWarnDlg;

// Puts every field above back to its start-up value (tests start each case from a fresh process
// state this way).
void ResetAppState();

}  // namespace veltra

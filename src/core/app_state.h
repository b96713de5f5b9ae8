// Process-wide application state shared by every subsystem: the selection, paths and update
// flags. Flags are 32-bit atomics (the threads hand work to each other through them without
// locks); text fields are fixed buffers that are always cut to fit and terminated.
// State owned by one subsystem (the DFU transfer context, the download flags, the image kind,
// the device table) is declared in that subsystem's own header.
#pragma once

#include "platform/types.h"

namespace veltra {

constexpr int kMaxDevices = 20;

extern Handle g_hInstance;
extern Handle g_hMainWnd;
extern Handle g_hMainDlg;
extern Handle g_hDeviceCombo;
extern Handle g_hLabelFont;

extern wchar_t g_szExePath[kPathChars];
extern int g_exeDirLength;

extern std::atomic<int> g_nSelectedIndex;
extern std::atomic<int> g_nLastSelectedIndex;
extern wchar_t g_szSelectedDevicePath[kPathChars];
extern wchar_t g_szFirmwarePath[kPathChars];
extern wchar_t g_szFirmwareTitle[kPathChars];

extern Handle g_hUIEvent;
extern Handle g_hUIThread;
extern Flag g_bUIThreadRun;
extern Flag g_bReadVersionBusy;
extern Flag g_bResetBusy;

// Set when a removal of a USB device left nothing on the bus (the updated camera has gone to
// restart), cleared when a rebuild finds a device again. The Warning dialog reads it as it comes
// up: a removal handled before the dialog existed could neither stop its time-out nor enable
// its OK.

extern std::atomic<Handle> g_hConfirmDlg;
extern std::atomic<Handle> g_hWarnDlg;

// Puts every field above back to its start-up value (tests start each case from a fresh process
// state this way).
void ResetAppState();

}  // namespace veltra

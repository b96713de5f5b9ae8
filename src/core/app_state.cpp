#include "core/app_state.h"

#include <cstring>

#include "core/update_session.h"

namespace veltra {

Handle g_hInstance = kNullHandle;
Handle g_hMainWnd = kNullHandle;
Handle g_hMainDlg = kNullHandle;
Handle g_hDeviceCombo = kNullHandle;
Handle g_hLabelFont = kNullHandle;

wchar_t g_szExePath[kPathChars] = {};
int g_exeDirLength = 0;

std::atomic<int> g_nSelectedIndex{0};
std::atomic<int> g_nLastSelectedIndex{0};
wchar_t g_szSelectedDevicePath[kPathChars] = {};
wchar_t g_szFirmwarePath[kPathChars] = {};
wchar_t g_szFirmwareTitle[kPathChars] = {};

Handle g_hUIEvent = kNullHandle;
Handle g_hUIThread = kNullHandle;
Flag g_bUIThreadRun{0};
Flag g_bReadVersionBusy{0};
Flag g_bResetBusy{0};

std::atomic<Handle> g_hConfirmDlg{kNullHandle};
std::atomic<Handle> g_hWarnDlg{kNullHandle};

void ResetAppState() {
  g_hInstance = g_hMainWnd = g_hMainDlg = g_hDeviceCombo = g_hLabelFont = kNullHandle;
  std::memset(g_szExePath, 0, sizeof g_szExePath);
  g_exeDirLength = 0;
  g_nSelectedIndex = 0;
  g_nLastSelectedIndex = 0;
  std::memset(g_szSelectedDevicePath, 0, sizeof g_szSelectedDevicePath);
  std::memset(g_szFirmwarePath, 0, sizeof g_szFirmwarePath);
  std::memset(g_szFirmwareTitle, 0, sizeof g_szFirmwareTitle);
  g_hUIEvent = g_hUIThread = kNullHandle;
  g_bUIThreadRun = 0;
  g_bReadVersionBusy = 0;
  g_bResetBusy = 0;
  g_hConfirmDlg = kNullHandle;
  g_hWarnDlg = kNullHandle;
  CurrentUpdate().Reset();
}

}  // namespace veltra

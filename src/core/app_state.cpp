#include "core/app_state.h"

#include <cstring>

#include "platform/ports.h"

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
wchar_t g_szUpdateDevicePath[kPathChars] = {};
wchar_t g_savedDevicePaths[kMaxDevices][kPathChars] = {};
wchar_t g_USBUniqueID[20] = {};

Handle g_hUIEvent = kNullHandle;
Handle g_hUIThread = kNullHandle;
Flag g_bUIThreadRun{0};
Flag g_bReadVersionBusy{0};
Flag g_bResetBusy{0};

Flag g_bUpdateDeviceGone{1};
Flag g_bUpdatedFromHIDMode{0};
Flag g_bIsStartUpdatedFromDFU{0};
Flag g_bMatchByUniqueID{0};
Flag g_bAwaitingModeSwitch{1};
Flag g_bPescaDevice{0};
Flag g_bAllDevicesGone{0};

std::atomic<Handle> g_hFirmwareThread{kNullHandle};

void KeepFirmwareThread(Handle thread) {
  const Handle previous = g_hFirmwareThread.exchange(thread);
  if (previous != kNullHandle && previous != thread) {
    Sys().CloseThread(previous);
  }
}
std::atomic<Handle> g_hConfirmDlg{kNullHandle};
std::atomic<Handle> g_hWarnDlg{kNullHandle};
std::atomic<std::uint32_t> g_progressTotal{0};
Flag g_blinkState{0};

void ResetAppState() {
  g_hInstance = g_hMainWnd = g_hMainDlg = g_hDeviceCombo = g_hLabelFont = kNullHandle;
  std::memset(g_szExePath, 0, sizeof g_szExePath);
  g_exeDirLength = 0;
  g_nSelectedIndex = 0;
  g_nLastSelectedIndex = 0;
  std::memset(g_szSelectedDevicePath, 0, sizeof g_szSelectedDevicePath);
  std::memset(g_szFirmwarePath, 0, sizeof g_szFirmwarePath);
  std::memset(g_szFirmwareTitle, 0, sizeof g_szFirmwareTitle);
  std::memset(g_szUpdateDevicePath, 0, sizeof g_szUpdateDevicePath);
  std::memset(g_savedDevicePaths, 0, sizeof g_savedDevicePaths);
  std::memset(g_USBUniqueID, 0, sizeof g_USBUniqueID);
  g_hUIEvent = g_hUIThread = kNullHandle;
  g_bUIThreadRun = 0;
  g_bReadVersionBusy = 0;
  g_bResetBusy = 0;
  g_bUpdateDeviceGone = 1;
  g_bUpdatedFromHIDMode = 0;
  g_bIsStartUpdatedFromDFU = 0;
  g_bMatchByUniqueID = 0;
  g_bAwaitingModeSwitch = 1;
  g_bPescaDevice = 0;
  g_bAllDevicesGone = 0;
  g_hFirmwareThread = kNullHandle;
  g_hConfirmDlg = kNullHandle;
  g_hWarnDlg = kNullHandle;
  g_progressTotal = 0;
  g_blinkState = 0;
}

}  // namespace veltra

// The device table (one record per listed camera, up to 20) and the device list control that
// shows it: list entry i always belongs to record i.
#pragma once

#include "core/app_state.h"

namespace veltra {

struct DeviceRecord {
  wchar_t friendlyName[kPathChars];
  wchar_t vidText[20];
  wchar_t pidText[20];
  wchar_t devicePath[kPathChars];
};

// The device table mirrors the list the user sees, for the whole program.
extern DeviceRecord g_DeviceTable[kMaxDevices];
extern std::atomic<int> g_nDeviceCount;

// Rebuilds the list from the table and selects entry 0; starts the boot-loader downloads for
// FX3 and RT1060 ROM records.
void AddDeviceNameInCombbox();
// The second form: no Cypress FX3 case (an FX3 record gets an ordinary entry).
void AddDeviceNameInCombboxNoCypress();
void RemoveDeviceNameInCombbox();

void ResetDeviceTable();

}  // namespace veltra

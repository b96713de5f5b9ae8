// The two discovery passes that fill the device table, and boot-loader-mode matching.
#pragma once

#include "platform/types.h"

namespace veltra {

// The last discovery listed a Sunplus-based camera (its Mirel channel has no version read);
// read and cleared by the start-up scan. Process-wide: it outlives the listing that sets it,
// whichever of the program's listings that was.
extern Flag g_bSunplusCameraListed;

int GetAvailableDevices();  // video capture devices
int DeviceConnect();        // present USB devices in update or boot-loader mode
int FindMatchDFUDevice(const wchar_t* hardwareId);
void GetVidPid(wchar_t* text, wchar_t* vid, wchar_t* pid);  // vid/pid: at least 10 characters

}  // namespace veltra

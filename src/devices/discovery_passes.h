// The two discovery passes that fill the device table, and boot-loader-mode matching.
#pragma once

#include "core/update_observer.h"
#include "platform/types.h"

namespace veltra {

// A Sunplus-based camera (1BCF) is among the listed records. It answers the Mirel channel but has
// no version read of its own.
bool SunplusCameraListed();

int GetAvailableDevices();  // video capture devices
// Present USB devices in update or boot-loader mode. A device whose path cannot be read ends the
// pass; view is told which step failed.
int DeviceConnect(UpdateObserver& view);
int FindMatchDFUDevice(const wchar_t* hardwareId);
void GetVidPid(wchar_t* text, wchar_t* vid, wchar_t* pid);  // vid/pid: at least 10 characters

}  // namespace veltra

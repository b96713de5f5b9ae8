// A camera's USB serial (its unique ID), cut from the parent instance ID of its video interface.
#pragma once

#include "platform/types.h"

namespace veltra {

int EnumerateImageDevice(wchar_t* devicePath, wchar_t* uniqueId);  // uniqueId: >= 11 characters
void GetUSBInstanceID(wchar_t* devicePath, wchar_t* key);

}  // namespace veltra

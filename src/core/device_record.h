// One listed camera as the device table keeps it: list entry i always belongs to record i.
#pragma once

#include "platform/types.h"

namespace veltra {

constexpr int kMaxDevices = 20;

struct DeviceRecord {
  wchar_t friendlyName[kPathChars];
  wchar_t vidText[20];
  wchar_t pidText[20];
  wchar_t devicePath[kPathChars];
};

}  // namespace veltra

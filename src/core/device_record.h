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

// A listed camera as a thread other than the dialog's is handed it: the list entry's index and a
// copy of its record, taken on the dialog thread when the command is given, so that the thread
// reads nothing the dialog thread empties and refills meanwhile. An index outside the listed
// records comes with an empty record.
struct SelectedCamera {
  int index = -1;
  DeviceRecord record = {};
};

}  // namespace veltra

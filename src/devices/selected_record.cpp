#include "devices/selected_record.h"

#include "core/text.h"

namespace veltra {

DeviceRecord* SelectedRecord() {
  const int index = g_nSelectedIndex.load();
  const int count = g_nDeviceCount.load();
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &g_DeviceTable[index];
}

bool RecordVendorIs(DeviceRecord* record, const wchar_t* id) {
  if (record == nullptr) {
    return false;
  }
  UpperInPlace(record->vidText);
  return TextEquals(record->vidText, id);
}

bool RecordProductIs(DeviceRecord* record, const wchar_t* id) {
  if (record == nullptr) {
    return false;
  }
  UpperInPlace(record->pidText);
  return TextEquals(record->pidText, id);
}

const wchar_t* PathOf(const DeviceRecord* record) {
  return record == nullptr ? L"" : record->devicePath;
}

}  // namespace veltra

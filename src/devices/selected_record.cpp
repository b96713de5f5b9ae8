#include "devices/selected_record.h"

#include "core/text.h"
#include "devices/known_devices.h"

namespace veltra {

DeviceRecord* SelectedRecord() {
  const int index = Controller().List().nSelectedIndex;
  const int count = Controller().List().nDeviceCount;
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &Controller().List().DeviceTable[index];
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

bool RecordTakesNxpImage(DeviceRecord* record) {
  return (RecordVendorIs(record, kVidMaker) &&
          (RecordProductIs(record, kPidNxpCamera) || RecordProductIs(record, kPidFlashLoader))) ||
         (RecordVendorIs(record, kVidNxp) && RecordProductIs(record, kPidRt1060Rom));
}

const wchar_t* PathOf(const DeviceRecord* record) {
  return record == nullptr ? L"" : record->devicePath;
}

}  // namespace veltra
